// Positions for tests, fuzz targets and benchmarks: built stack by stack, or reached by random
// legal actions from a seed.
#ifndef DRAVIX_TESTS_SUPPORT_POSITIONS_H
#define DRAVIX_TESTS_SUPPORT_POSITIONS_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "game/vorak.h"

namespace support {

// White Voraks, Moriels, Wemms, then Black's.
using Tallies = std::array<unsigned short, 6>;
Tallies tallies(Vorak const& v);
void set_tallies(Vorak& v, Tallies const& t);

// Every playable cell empty, the blocked ones blocked, the tallies as given: all 0 by default,
// or, say, all 15 so that the stacking thresholds bite only where a test lowers one.
Vorak empty_position(Tallies const& t = {});

struct Stack {
  int row, column;
  Players owner;
  Pieces piece;
  unsigned short height = 1;
};

// Stacks written short, separated by spaces: row, column, colour (W or B), kind (v Vorak,
// m Moriel, w Wemm) and the height when it is not 1: "22Wv 52Bw3" is a white Vorak at 2,2 and
// a black Wemm of height 3 at 5,2. Throws std::invalid_argument on anything else.
std::vector<Stack> stacks(std::string const& text);

// Puts `stacks` on the board as they are; the tallies stay as they were.
void place(Vorak& v, std::vector<Stack> const& stacks);

// A position holding exactly `stacks`, read through a board description so that the tallies
// are the ones the description gives.
Vorak position(std::vector<Stack> const& stacks, Players own, unsigned short move_count);

using Moves = std::vector<std::string>;

Moves by_action(Vorak const& v, Players player, unsigned short step, Actions action);
// The candidate list the state's own move choice draws from, for one action of a turn.
Moves turn_candidates(Vorak const& v, Players player, unsigned short step);
bool contains(Moves const& moves, std::string const& move);

// One uniformly drawn legal action of `mover`, who becomes the opponent when it ends the turn.
// False, and nothing played, once the game is over or `mover` has no legal action.
bool play_random_action(Vorak& state, Players& mover, boost::random::mt19937& rng);

// The position `actions` random legal actions after the random opening of `opening_seed`,
// drawn by `rng`; the side to move is the state's own colour.
Vorak random_game_position(std::uint32_t opening_seed, boost::random::mt19937& rng, int actions);

}  // namespace support

#endif
