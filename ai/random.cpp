// The program's random source and the random player.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "ai/search_state.h"
#include "ai/uniform_draw.h"

boost::random::mt19937 gen(static_cast<std::uint32_t>(std::time(nullptr)));

int draw_index(boost::random::mt19937& engine, std::size_t n) {
  static_assert(boost::random::mt19937::word_size == 32, "the buckets assume 32-bit draws");
  return draw_uniform(engine, n);
}

std::string random_choice(Vorak const& state, SearchContext const& context) {
  if (context.out) *context.out << "Randomly determining move to make.\n";
  std::vector<std::string> moves;
  state.get_moves(moves, state.own_player, state.step());
  // With no capture to open the turn there is nothing to draw from: offer a pass and let
  // the server rule on it.
  std::string const move =
      moves.empty() ? std::string() : moves[draw_index(context.engine, moves.size())];
  if (context.out) *context.out << "Making move " << move << "\n";
  return move;
}

std::string Vorak::random_ai() {
  return random_choice(*this, program_context());
}
