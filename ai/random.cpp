// The program's random source and the random player.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <boost/random/uniform_int_distribution.hpp>

#include "ai/search.h"

boost::random::mt19937 gen(static_cast<std::uint32_t>(std::time(nullptr)));

int draw_index(std::size_t n) {
  boost::random::uniform_int_distribution<int> dist(0, static_cast<int>(n) - 1);
  return dist(gen);
}

std::string Vorak::random_ai() {
  std::cout << "Randomly determining move to make."
            << "\n";
  std::vector<std::string> moves;
  get_moves(moves, own_player, step());
  // With no capture to open the turn there is nothing to draw from: offer a pass and let
  // the server rule on it.
  std::string const move = moves.empty() ? std::string() : moves[draw_index(moves.size())];
  std::cout << "Making move " << move << "\n";
  return move;
}
