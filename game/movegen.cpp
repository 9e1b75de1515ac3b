// The legality test and the move lists, cell by cell as the rules state them. The search's
// playouts use a faster form of the same rules (ai/playout.h), checked against this one.
#include <string>
#include <vector>

#include "game/geometry.h"
#include "game/rules.h"
#include "game/vorak.h"

void Vorak::is_move_valid(bool& valid, unsigned short const& from_row,
                          unsigned short const& from_column, unsigned short const& to_row,
                          unsigned short const& to_column, unsigned short const& step,
                          Actions const& action) const {
  Entry const& from = board[from_row][from_column];
  Entry const& to = board[to_row][to_column];

  if (to.owner != from.owner) {
    if (action > CAPTURE_WEMM) return;
    if (action == CAPTURE_VORAK && to.piece != VORAK) return;
    if (action == CAPTURE_MORIEL && to.piece != MORIEL) return;
    if (action == CAPTURE_WEMM && to.piece != WEMM) return;
    if (to.height <= from.height) valid = true;
    return;
  }

  if (step != rules::STACKING_STEP) return;
  if (to.piece != VORAK && to.piece != MORIEL && to.piece != WEMM) return;
  unsigned short const target_count = counter(to.owner == WHITE ? WHITE : BLACK, to.piece);
  switch (action) {
    case ANY:
      if (target_count >= rules::KEEP_ONE) valid = true;
      break;
    case STACK_STRONG_PLENTY:
      if (rules::strong(from.piece) && target_count >= rules::PLENTY) valid = true;
      break;
    case STACK_VORAK_PLENTY:
    case STACK_MORIEL_PLENTY:
    case STACK_WEMM_PLENTY:
      if (from.piece == static_cast<Pieces>(action - STACK_VORAK_PLENTY + VORAK) &&
          target_count >= rules::PLENTY)
        valid = true;
      break;
    case STACK_VORAK:
    case STACK_MORIEL:
    case STACK_WEMM:
      if (from.piece == static_cast<Pieces>(action - STACK_VORAK + VORAK) &&
          target_count >= rules::KEEP_ONE)
        valid = true;
      break;
    default:
      break;
  }
}

void Vorak::get_moves_for_piece(std::vector<std::string>& moves, unsigned short const& row,
                                unsigned short const& column, unsigned short const& step,
                                Actions const& action) const {
  for (int d = 0; d < geometry::DIRECTIONS; ++d) {
    bool valid = false;
    int r = row + geometry::ROW_STEP[d];
    int c = column + geometry::COLUMN_STEP[d];
    while (r >= 0 && r < SIZE && c >= 0 && c < SIZE && board[r][c].piece == BLANK) {
      r += geometry::ROW_STEP[d];
      c += geometry::COLUMN_STEP[d];
    }
    if (r < 0 || r >= SIZE || c < 0 || c >= SIZE) continue;
    if (board[r][c].piece == BLOCK) continue;  // a line never passes the centre or the rim
    unsigned short const to_row = static_cast<unsigned short>(r);
    unsigned short const to_column = static_cast<unsigned short>(c);
    is_move_valid(valid, row, column, to_row, to_column, step, action);
    if (valid)
      moves.push_back(std::to_string(row) + std::to_string(column) + std::to_string(r) +
                      std::to_string(c));
  }
}

void Vorak::get_moves_by_action(std::vector<std::string>& moves, Players const& player,
                                unsigned short const& step, Actions const& action) const {
  for (unsigned short r = 0; r < SIZE; ++r)
    for (unsigned short c = 0; c < SIZE; ++c) {
      Entry const& e = board[r][c];
      if (e.piece != BLANK && e.piece != BLOCK && e.owner == player)
        get_moves_for_piece(moves, r, c, step, action);
    }
}

void Vorak::get_moves(std::vector<std::string>& moves, Players const& player,
                      unsigned short const& step) const {
  if (step == 1) {
    get_moves_by_action(moves, player, 1, CAPTURE_VORAK);
    if (moves.empty()) get_moves_by_action(moves, player, 1, CAPTURE_MORIEL);
    if (moves.empty()) get_moves_by_action(moves, player, 1, CAPTURE_WEMM);
    return;
  }
  get_moves_by_action(moves, player, 2, STACK_STRONG_PLENTY);
  if (moves.empty()) get_moves_by_action(moves, player, 2, ANY);
  moves.emplace_back();
}

std::vector<std::string> legal_actions(Vorak const& state, Players player) {
  std::vector<std::string> moves;
  if (state.step() == 1) {
    state.get_moves_by_action(moves, player, 1, CAPTURE);
  } else {
    state.get_moves_by_action(moves, player, 2, ANY);
    moves.emplace_back();
  }
  return moves;
}
