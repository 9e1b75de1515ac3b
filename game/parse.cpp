// Reading the server's board description into the state.
#include <algorithm>
#include <string>
#include <vector>

#include <boost/algorithm/string.hpp>

#include "game/geometry.h"
#include "game/vorak.h"

void Vorak::create_board(std::string& description) {
  for (int r = 0; r < SIZE; ++r)
    for (int c = 0; c < SIZE; ++c)
      if (!geometry::is_playable(r, c)) board[r][c] = Entry{NONE, BLOCK, 0};

  // A description replaces the position, so its tallies start again from zero rather than
  // adding to what a previous description left.
  white_voraks = white_moriels = white_wemms = 0;
  black_voraks = black_moriels = black_wemms = 0;

  boost::algorithm::trim(description);
  boost::algorithm::erase_all(description, "}");
  if (!description.empty()) description.erase(0, 1);
  boost::algorithm::replace_all(description, ",{", "{");

  std::vector<std::string> groups;
  boost::algorithm::split(groups, description, boost::algorithm::is_any_of("{"),
                          boost::algorithm::token_compress_off);

  // Cells the description does not reach stay empty; groups beyond the 60th are ignored.
  std::size_t next = 0;
  for (std::uint8_t c : geometry::PLAYABLE) {
    Entry& cell = board[geometry::row_of(c)][geometry::column_of(c)];
    cell = next < groups.size() ? get_entry(groups[next++]) : Entry{NONE, BLANK, 0};
  }
}

Entry Vorak::get_entry(std::string const& group) {
  Entry entry{NONE, BLANK, 0};
  if (group.empty()) return entry;

  std::vector<std::string> fields;
  boost::algorithm::split(fields, group, boost::algorithm::is_any_of(","),
                          boost::algorithm::token_compress_off);
  // An owner without a single piece is no stack at all: an empty cell, no tally raised.
  if (fields.size() < 2) return entry;

  entry.owner = fields[0] == "WHITE" ? WHITE : BLACK;
  // Heights saturate rather than wrap, so a hostile description cannot make a tall stack low.
  entry.height = static_cast<unsigned short>(std::min<std::size_t>(fields.size() - 1, 65535));
  if (fields[1] == "Wemm")
    entry.piece = WEMM;
  else if (fields[1] == "Moriel")
    entry.piece = MORIEL;
  else
    entry.piece = VORAK;
  ++counter(entry.owner, entry.piece);
  return entry;
}
