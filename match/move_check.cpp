// The check of moves received from the server.
#include "match/move_check.h"

#include <algorithm>

#include <boost/algorithm/string/erase.hpp>

#include "game/geometry.h"
#include "match/printable.h"

// A move from the server is applied to our own copy of the position, so anything that does not
// name an opponent's stack moving onto a stack would corrupt it: such a game cannot go on.
void check_server_move(Vorak const& game, std::string const& body) {
  auto const refuse = [&body](std::string const& why) {
    throw std::string("the server sent the move \"" + quote_excerpt(body) + "\", which " + why);
  };
  std::string const digits = boost::algorithm::erase_all_copy(body, ",");
  bool const four_digits =
      digits.size() == 4 &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!four_digits) refuse("is not four numbers");
  unsigned short const source_row = static_cast<unsigned short>(digits[0] - '0');
  unsigned short const source_index = static_cast<unsigned short>(digits[1] - '0');
  unsigned short const target_row = static_cast<unsigned short>(digits[2] - '0');
  unsigned short const target_index = static_cast<unsigned short>(digits[3] - '0');
  if (source_row >= Vorak::SIZE || target_row >= Vorak::SIZE ||
      source_index >= geometry::row_length(source_row) ||
      target_index >= geometry::row_length(target_row))
    refuse("does not name two cells of the board");

  std::string move = digits;
  game.translate_move_from_cgm(move);
  Entry const& source = game.board[move[0] - '0'][move[1] - '0'];
  Entry const& target = game.board[move[2] - '0'][move[3] - '0'];
  Players const opponent =
      game.own_player == WHITE ? BLACK : (game.own_player == BLACK ? WHITE : NONE);
  if (!holds_stack(source) || (opponent != NONE && source.owner != opponent))
    refuse("does not start from a stack of my opponent");
  if (!holds_stack(target)) refuse("does not end on a stack");
  if (move[0] == move[2] && move[1] == move[3]) refuse("goes from a cell onto itself");
}
