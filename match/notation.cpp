// Conversion between the internal move string and the server's notation, in which a cell is
// its row and its index among the playable cells of that row.
#include <string>

#include <boost/algorithm/string/erase.hpp>
#include <boost/lexical_cast.hpp>

#include "game/vorak.h"

namespace {

unsigned short digit_at(std::string const& text, std::size_t pos) {
  return boost::lexical_cast<unsigned short>(pos < text.size() ? text.substr(pos, 1)
                                                               : std::string());
}

unsigned short to_index(unsigned short row, unsigned short column) {
  if (row == 4 && column >= 4) return static_cast<unsigned short>(column - 1);
  if (row > 4) return static_cast<unsigned short>(column - (row - 4));
  return column;
}

unsigned short to_column(unsigned short row, unsigned short index) {
  if (row == 4 && index >= 4) return static_cast<unsigned short>(index + 1);
  if (row > 4) return static_cast<unsigned short>(index + (row - 4));
  return index;
}

}  // namespace

void Vorak::translate_move_to_cgm(std::string& move) const {
  if (move.empty()) return;
  unsigned short const sr = digit_at(move, 0), sc = digit_at(move, 1);
  unsigned short const tr = digit_at(move, 2), tc = digit_at(move, 3);
  move = std::to_string(sr) + "," + std::to_string(to_index(sr, sc)) + "," + std::to_string(tr) +
         "," + std::to_string(to_index(tr, tc));
}

void Vorak::translate_move_from_cgm(std::string& move) const {
  if (move.empty()) return;
  boost::algorithm::erase_all(move, ",");
  unsigned short const sr = digit_at(move, 0), si = digit_at(move, 1);
  unsigned short const tr = digit_at(move, 2), ti = digit_at(move, 3);
  move = std::to_string(sr) + std::to_string(to_column(sr, si)) + std::to_string(tr) +
         std::to_string(to_column(tr, ti));
}
