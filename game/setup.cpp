// Starting positions and writing a position as a board description.
#include "game/setup.h"

#include <array>
#include <utility>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>

#include "game/geometry.h"

std::string board_description(Vorak const& state) {
  std::string text;
  for (std::size_t i = 0; i < geometry::PLAYABLE.size(); ++i) {
    int const c = geometry::PLAYABLE[i];
    Entry const& e = state.board[geometry::row_of(c)][geometry::column_of(c)];
    if (i > 0) text += ",";
    text += "{";
    if (e.owner != NONE && e.piece != BLANK && e.piece != BLOCK) {
      text += e.owner == WHITE ? "WHITE" : "BLACK";
      for (unsigned h = 0; h < e.height; ++h) (text += ",") += piece_name(e.piece);
    }
    text += "}";
  }
  return text;
}

std::string random_opening_description(std::uint32_t seed) {
  std::array<std::pair<Players, Pieces>, geometry::PLAYABLE_CELLS> stacks;
  std::size_t n = 0;
  for (Players p : {WHITE, BLACK}) {
    for (int i = 0; i < 6; ++i) stacks[n++] = {p, VORAK};
    for (int i = 0; i < 9; ++i) stacks[n++] = {p, MORIEL};
    for (int i = 0; i < 15; ++i) stacks[n++] = {p, WEMM};
  }
  // Fisher-Yates with Boost's distribution, whose draws are fixed, unlike std::shuffle's.
  boost::random::mt19937 rng(seed);
  for (std::size_t i = stacks.size() - 1; i > 0; --i) {
    boost::random::uniform_int_distribution<std::size_t> pick(0, i);
    std::swap(stacks[i], stacks[pick(rng)]);
  }
  std::string text;
  for (std::size_t i = 0; i < stacks.size(); ++i) {
    if (i > 0) text += ",";
    text += std::string("{") + (stacks[i].first == WHITE ? "WHITE," : "BLACK,") +
            piece_name(stacks[i].second) + "}";
  }
  return text;
}
