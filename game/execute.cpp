// Applying one action, in the internal four-digit notation, to the state.
#include <algorithm>
#include <iostream>
#include <string>

#include <boost/lexical_cast.hpp>

#include "game/geometry.h"
#include "game/vorak.h"

namespace {

// A missing character reads as an empty number, so short moves fail the conversion
// rather than the substring.
unsigned short digit_at(std::string const& move, std::size_t pos) {
  return boost::lexical_cast<unsigned short>(pos < move.size() ? move.substr(pos, 1)
                                                               : std::string());
}

}  // namespace

void Vorak::execute_move(std::string const& move, bool const& verbose) {
  unsigned short const previous_count = move_count;
  move_count = move_count == 0 ? 2 : static_cast<unsigned short>(move_count + 1);
  if (move.empty()) return;

  unsigned short const from_row = digit_at(move, 0);
  unsigned short const from_column = digit_at(move, 1);
  unsigned short const to_row = digit_at(move, 2);
  unsigned short const to_column = digit_at(move, 3);

  // Only a move from one stack onto another stack of the board can be applied; anything else
  // would write outside the board or corrupt the tallies, so it leaves the state as it was.
  bool const on_board = geometry::is_playable(from_row, from_column) &&
                        geometry::is_playable(to_row, to_column) &&
                        !(from_row == to_row && from_column == to_column);
  if (!on_board || !holds_stack(board[from_row][from_column]) ||
      !holds_stack(board[to_row][to_column])) {
    move_count = previous_count;
    throw BadMove{"the move " + move.substr(0, 4) + " does not go from a stack onto a stack"};
  }

  Entry& from = board[from_row][from_column];
  Entry& to = board[to_row][to_column];
  if (verbose) {
    std::cout << (from.owner == WHITE ? "White's " : "Black's ")
              << (move_count % 2 == 1 ? "first " : "final ") << "move:"
              << "\n"
              << "  From: " << get_text_entry(from_row, from_column) << "\n"
              << "  To:   " << get_text_entry(to_row, to_column) << "\n";
  }

  Entry const lifted = from;
  from = Entry{NONE, BLANK, 0};
  --counter(to.owner, to.piece);

  if (lifted.owner == to.owner) {
    to.piece = lifted.piece;
    // Saturate: a wrapped height would turn a tall stack into a low one.
    to.height = static_cast<unsigned short>(std::min(lifted.height + to.height, 65535));
  } else {
    to = lifted;
  }

  if (verbose) is_winning(verbose);
}
