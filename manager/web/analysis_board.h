// The page's analysis board: a position set up, pasted or taken from a record, with the side to
// act and the action of its turn, read from what the page sends and played forward under the
// referee's rules.
#ifndef DRAVIX_MANAGER_WEB_ANALYSIS_BOARD_H
#define DRAVIX_MANAGER_WEB_ANALYSIS_BOARD_H

#include <optional>
#include <string>

#include "game/vorak.h"
#include "manager/record.h"

namespace manager {

// A position with `player`'s action due; the turn's step (and whether it is White's opening turn
// of one action) is in the position's turn counter.
struct BoardSetup {
  Vorak position{0};
  Players player = WHITE;
};

// Reads {"board": a board description, "player": "white" or "black", "step": 1 or 2,
// "opening": true for White's opening turn of one action} as the page sends it. nullopt, with
// `error` saying why, for what is not such a position or one the game cannot be played from.
std::optional<BoardSetup> read_setup(Json const& request, std::string& error);

// The setup as the page draws and plays it: its "board", "player", "step" and "opening" as
// read_setup takes them, "position" (as position_json draws it), the "legal" actions of the side
// to act ({"move", "from", "to"}), "pass" when the pass is one, and "over": null, or the
// {"winner", "detail"} of a game that has ended.
Json setup_json(BoardSetup const& setup);

// The page's request to see a setup, or to play {"move": server notation, "" for the pass} on
// it: the setup after it as setup_json, or {"error": ...}.
Json play_on(Json const& request);

}  // namespace manager

#endif
