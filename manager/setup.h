// Starting positions: the random setup, and the strict reading of a board description from a
// file.
#ifndef DRAVIX_MANAGER_SETUP_H
#define DRAVIX_MANAGER_SETUP_H

#include <cstdint>
#include <optional>
#include <string>

#include "game/vorak.h"

namespace manager {

// The game model's tallies are meaningful up to this count (its assessment table ends there).
constexpr int MAX_STACKS_OF_A_KIND = 15;

// The random opening of the game model for `seed` (30 stacks of height 1 per colour: 6 Voraks,
// 9 Moriels, 15 Wemms, shuffled over the 60 cells), as a position.
Vorak random_setup(std::uint32_t seed);

// Reads a board description as a file holds it: the body alone or the whole "BoardState{...}"
// line, blanks and line ends around it allowed. Unlike the model's lenient reader this refuses
// anything that is not exactly 60 well-formed groups, and positions the model cannot play:
// more than MAX_STACKS_OF_A_KIND stacks of a kind, or a colour already missing a kind. On
// refusal returns nullopt and says why in `error`.
std::optional<Vorak> read_board(std::string text, std::string& error);

// read_board on the contents of a file (at most 1 MiB).
std::optional<Vorak> read_board_file(std::string const& path, std::string& error);

}  // namespace manager

#endif
