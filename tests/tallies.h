// The six tallies of a state as one value, for tests that compare or set them together.
#ifndef DRAVIX_TESTS_TALLIES_H
#define DRAVIX_TESTS_TALLIES_H

#include <array>

#include "game/vorak.h"

using Tallies = std::array<unsigned short, 6>;

// White Voraks, Moriels, Wemms, then Black's.
inline Tallies tallies(Vorak const& v) {
  return {v.white_voraks, v.white_moriels, v.white_wemms,
          v.black_voraks, v.black_moriels, v.black_wemms};
}

inline void set_tallies(Vorak& v, Tallies const& t) {
  v.white_voraks = t[0];
  v.white_moriels = t[1];
  v.white_wemms = t[2];
  v.black_voraks = t[3];
  v.black_moriels = t[4];
  v.black_wemms = t[5];
}

#endif
