#include "manager/draw.h"

#include <iomanip>
#include <optional>
#include <sstream>
#include <string>

#include "game/geometry.h"
#include "game/notation.h"
#include "manager/referee.h"

namespace manager {

namespace {

// Each cell takes FIELD columns; a row is offset by half a cell per step away from the middle
// row, which turns the square array into the hexagon.
constexpr int FIELD = 8;
constexpr int HALF = FIELD / 2;

}  // namespace

std::string cell_text(Entry const& entry) {
  if (entry.piece == BLOCK) return "#";
  if (entry.piece == BLANK || (entry.owner != WHITE && entry.owner != BLACK)) return ".";
  char const kind = entry.piece == VORAK ? 'V' : entry.piece == MORIEL ? 'M' : 'W';
  return std::string(entry.owner == WHITE ? "W-" : "B-") + kind + std::to_string(entry.height);
}

std::string draw_board(Vorak const& state, std::string const& last_move) {
  int source = -1, target = -1;
  if (std::optional<std::string> const m = parse_server_move(last_move); m && !m->empty()) {
    source = geometry::cell((*m)[0] - '0', (*m)[1] - '0');
    target = geometry::cell((*m)[2] - '0', (*m)[3] - '0');
  }

  std::ostringstream out;
  for (int r = 0; r < geometry::SIZE; ++r) {
    int first = 0;
    while (!geometry::is_playable(r, first) && !(r == 4 && first == 4)) ++first;
    // Half-cell units: column c of row r sits at 2c - r, so rows 0 and 8 start 4 units in.
    int const indent = (2 * first - r + 4) * HALF;
    std::string line = "row " + std::to_string(r) + "  " + std::string(indent, ' ');
    for (int c = first; c < geometry::SIZE && (geometry::is_playable(r, c) || (r == 4 && c == 4));
         ++c) {
      int const here = geometry::cell(r, c);
      std::string const text = cell_text(state.board[r][c]);
      char const open = here == target ? '[' : here == source ? '(' : ' ';
      char const close = here == target ? ']' : here == source ? ')' : ' ';
      // Centred in the field, the marks hugging the text.
      int const pad = FIELD - 2 - static_cast<int>(text.size());
      std::string field = std::string(static_cast<std::size_t>((pad + 1) / 2), ' ') + open + text +
                          close + std::string(static_cast<std::size_t>(pad / 2), ' ');
      line += field;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
  out << "W-/B- White/Black stack, V Vorak, M Moriel, W Wemm, then its height; . empty.\n"
      << "A move is row,index,row,index, the index counting the cells of a row from the left"
      << (target >= 0 ? ";\n(source) and [target] of the last action" : "") << ".\n";
  out << "Stacks   Voraks  Moriels  Wemms\n";
  for (Players p : {WHITE, BLACK}) {
    out << std::left << std::setw(9) << colour_name(p) << std::right << std::setw(6)
        << state.counter(p, VORAK) << std::setw(9) << state.counter(p, MORIEL) << std::setw(7)
        << state.counter(p, WEMM) << "\n";
  }
  return out.str();
}

}  // namespace manager
