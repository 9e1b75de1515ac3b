// Judging a position from the six tallies alone.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>

#include "game/vorak.h"

namespace {

// The fewer stacks of a kind a colour has, the heavier the weight; F(17 - n) for n >= 1.
constexpr std::int16_t countWeights[16] = {15970, 987, 610, 377, 233, 144, 89, 55,
                                           34,    21,  13,  8,   5,   3,   2,  1};

// A description can place more than 15 stacks of a kind; they weigh as 15.
std::uint16_t weight(unsigned short count) {
  return static_cast<std::uint16_t>(countWeights[std::min<unsigned short>(count, 15)]);
}

}  // namespace

void log(std::string message) {
  std::cout << message << "\n";
}

int Vorak::is_winning(bool const& verbose) const {
  std::uint16_t const white = static_cast<std::uint16_t>(
      weight(white_voraks) + weight(white_moriels) + weight(white_wemms));
  std::uint16_t const black = static_cast<std::uint16_t>(
      weight(black_voraks) + weight(black_moriels) + weight(black_wemms));
  std::uint16_t const own = own_player == WHITE ? white : black;
  std::uint16_t const other = own_player == WHITE ? black : white;
  // Wider than 16 bits: with a colour bare of two or three kinds the difference would wrap and
  // turn a won position into a lost one.
  int const score = other - own;

  if (verbose) std::cout << "Score: " << other << " - " << own << " = " << score << "\n";
  if (score > 0) {
    if (verbose)
      std::cout << "Based on piece counts alone it looks like I am winning."
                << "\n";
    return 1;
  }
  if (score == 0) {
    if (verbose)
      std::cout << "Based on piece counts alone it looks like so far it's a draw."
                << "\n";
    return 0;
  }
  if (verbose) log("Based on piece counts alone it looks like I am losing.");
  return -1;
}
