// Helpers the game and move-choice tests share: tallies as one value, board comparison,
// cell checks and move lists returned by value.
#ifndef DRAVIX_TESTS_GAME_HELPERS_H
#define DRAVIX_TESTS_GAME_HELPERS_H

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

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

// The first cell in which two boards differ, or success.
inline testing::AssertionResult same_board(Vorak const& a, Vorak const& b) {
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) {
      Entry const &x = a.board[r][c], &y = b.board[r][c];
      if (x.owner != y.owner || x.piece != y.piece || x.height != y.height)
        return testing::AssertionFailure()
               << "cell " << r << "," << c << " differs: " << x.owner << "/" << x.piece << "/"
               << x.height << " vs " << y.owner << "/" << y.piece << "/" << y.height;
    }
  return testing::AssertionSuccess();
}

inline void expect_entry(Entry const& e, Players owner, Pieces piece, unsigned short height) {
  EXPECT_EQ(e.owner, owner);
  EXPECT_EQ(e.piece, piece);
  EXPECT_EQ(e.height, height);
}

using Moves = std::vector<std::string>;

inline Moves by_action(Vorak const& v, Players player, unsigned short step, Actions action) {
  Moves moves;
  v.get_moves_by_action(moves, player, step, action);
  return moves;
}

// The candidate list of one action of a turn.
inline Moves turn_candidates(Vorak const& v, Players player, unsigned short step) {
  Moves moves;
  v.get_moves(moves, player, step);
  return moves;
}

#endif
