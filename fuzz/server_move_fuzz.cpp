// Any "Move" body against a fixed position: the received-move check either refuses it with a
// message, or the move converts and executes cleanly. The notation conversions on their own
// fail only by Boost's conversion error.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <boost/lexical_cast.hpp>

#include "game/setup.h"
#include "game/vorak.h"
#include "match/move_check.h"

namespace {

Vorak const& fixed_position() {
  static Vorak const position = [] {
    Vorak v(1);
    std::string description = random_opening_description(7);
    v.create_board(description);
    // Some empty cells and a taller stack, so every kind of refusal can happen.
    v.execute_move("", false);
    for (int r = 0; r < 9; ++r)
      for (int c = 0; c < 9; ++c)
        if (v.board[r][c].piece != BLOCK && (r + 2 * c) % 7 == 0) {
          if (v.board[r][c].piece != BLANK) --v.counter(v.board[r][c].owner, v.board[r][c].piece);
          v.board[r][c] = Entry{NONE, BLANK, 0};
        }
    v.own_player = BLACK;
    return v;
  }();
  return position;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string const body(reinterpret_cast<char const*>(data), size);
  Vorak const& position = fixed_position();

  for (Players own : {BLACK, WHITE, NONE}) {
    Vorak game(position);
    game.own_player = own;
    bool accepted = true;
    try {
      check_server_move(game, body);
    } catch (std::string const&) {
      accepted = false;
    }
    if (!accepted) continue;
    std::string move = body;
    game.translate_move_from_cgm(move);
    if (move.size() != 4) std::abort();
    std::string back = move;
    game.translate_move_to_cgm(back);
    std::string internal = back;
    game.translate_move_from_cgm(internal);
    if (internal != move) std::abort();
    game.execute_move(move, false);  // must not throw after the check
  }

  // The conversions themselves, on anything.
  for (bool to_server : {false, true}) {
    std::string text = body;
    try {
      if (to_server)
        position.translate_move_to_cgm(text);
      else
        position.translate_move_from_cgm(text);
    } catch (boost::bad_lexical_cast const&) {
    }
  }
  return 0;
}
