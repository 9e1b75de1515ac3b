// Starting positions and the board description text that carries a position to the players.
#ifndef DRAVIX_GAME_SETUP_H
#define DRAVIX_GAME_SETUP_H

#include <cstdint>
#include <string>

#include "game/vorak.h"

// The description of `state`'s position as create_board reads it: the 60 cell groups in
// canonical order, without the outer braces of the message. A stack of height h lists its
// top kind h times, since the pieces beneath the top are not kept.
std::string board_description(Vorak const& state);

// A random opening: each colour 30 stacks of height 1 (6 Voraks, 9 Moriels, 15 Wemms)
// shuffled over the 60 cells. The same seed gives the same position on every platform.
std::string random_opening_description(std::uint32_t seed);

#endif
