// The state's construction, the printed forms of cells and tallies, and the game-over rule.
#include <iostream>
#include <string>

#include "game/geometry.h"
#include "game/vorak.h"

Vorak::Vorak(unsigned short const& seconds)
    : move_count(0),
      own_player(NONE),
      white_voraks(0),
      white_moriels(0),
      white_wemms(0),
      black_voraks(0),
      black_moriels(0),
      black_wemms(0),
      playouts(0),
      wins(0),
      losses(0),
      seconds_per_move(seconds) {
  // Blocked cells are BLOCK from the start so that a state never shows a line through them.
  for (int r = 0; r < SIZE; ++r)
    for (int c = 0; c < SIZE; ++c)
      board[r][c] = geometry::is_playable(r, c) ? Entry{NONE, BLANK, 0} : Entry{NONE, BLOCK, 0};
}

Players Vorak::is_game_over() const {
  if (white_voraks == 0 || white_moriels == 0 || white_wemms == 0) return BLACK;
  if (black_voraks == 0 || black_moriels == 0 || black_wemms == 0) return WHITE;
  return NONE;
}

unsigned short& Vorak::counter(Players owner, Pieces piece) {
  bool white = owner == WHITE;
  switch (piece) {
    case WEMM:
      return white ? white_wemms : black_wemms;
    case MORIEL:
      return white ? white_moriels : black_moriels;
    default:
      return white ? white_voraks : black_voraks;
  }
}

unsigned short Vorak::counter(Players owner, Pieces piece) const {
  return const_cast<Vorak*>(this)->counter(owner, piece);
}

std::string Vorak::get_text_entry(unsigned short const& row, unsigned short const& column) const {
  Entry const& e = board[row][column];
  std::string text = std::to_string(row) + "," + std::to_string(column) + ": ";
  switch (e.owner) {
    case NONE:
      text += "NONE";
      break;
    case WHITE:
      text += "WHITE";
      break;
    case BLACK:
      text += "BLACK";
      break;
  }
  switch (e.piece) {
    case BLANK:
      text += ",BLANK";
      break;
    case VORAK:
      text += ",Vorak";
      break;
    case MORIEL:
      text += ",Moriel";
      break;
    case WEMM:
      text += ",Wemm";
      break;
    case BLOCK:
      text += ",BLOCK";
      break;
  }
  return text + "," + std::to_string(e.height);
}

void Vorak::print_board_state() const {
  std::string text = "Current Board:\n";
  for (unsigned short r = 0; r < SIZE; ++r)
    for (unsigned short c = 0; c < SIZE; ++c) text += get_text_entry(r, c) + "\n";
  std::cout << text;
}

void Vorak::print_piece_counts() const {
  // One space before the B when the white Wemm count has two digits keeps the column aligned.
  std::cout << "Current Totals:\nVoraks:  W" << white_voraks << "  B" << black_voraks
            << "\nMoriels: W" << white_moriels << "  B" << black_moriels << "\nWemms:   W"
            << white_wemms << (white_wemms <= 9 ? "  B" : " B") << black_wemms << std::endl;
}
