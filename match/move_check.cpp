// The check of moves received from the server.
#include "match/move_check.h"

#include <optional>
#include <string>

#include <boost/algorithm/string/erase.hpp>

#include "game/notation.h"
#include "match/printable.h"

// A move from the server is applied to our own copy of the position, so anything that does not
// name an opponent's stack moving onto a stack would corrupt it: such a game cannot go on.
void check_server_move(Vorak const& game, std::string const& body) {
  auto const refuse = [&body](std::string const& why) {
    throw std::string("the server sent the move \"" + client_text(body) + "\", which " + why);
  };
  std::optional<notation::Numbers> const numbers =
      notation::read_digits(boost::algorithm::erase_all_copy(body, ","));
  if (!numbers) refuse("is not four numbers");
  if (!notation::names_two_cells(*numbers)) refuse("does not name two cells of the board");

  std::string const move = notation::internal_move(*numbers);
  Entry const& source = game.board[move[0] - '0'][move[1] - '0'];
  Entry const& target = game.board[move[2] - '0'][move[3] - '0'];
  bool const colour_known = game.own_player == WHITE || game.own_player == BLACK;
  if (!holds_stack(source) || (colour_known && source.owner != opponent_of(game.own_player)))
    refuse("does not start from a stack of my opponent");
  if (!holds_stack(target)) refuse("does not end on a stack");
  if (move[0] == move[2] && move[1] == move[3]) refuse("goes from a cell onto itself");
}
