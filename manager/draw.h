// The console's picture of a position: the hexagon with its rows offset, a legend, and the
// tallies.
#ifndef DRAVIX_MANAGER_DRAW_H
#define DRAVIX_MANAGER_DRAW_H

#include <string>

#include "game/vorak.h"

namespace manager {

// A stack as "W-V1" (White Vorak stack of height 1), "B-W12" (Black Wemm stack of 12); "." for
// an empty cell and "#" for the centre.
std::string cell_text(Entry const& entry);

// The board, with the source and target of `last_move` (server notation; "" for none or a
// pass) marked "( )" and "[ ]", then the legend and the tallies.
std::string draw_board(Vorak const& state, std::string const& last_move = "");

}  // namespace manager

#endif
