#include "manager/setup.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <boost/algorithm/string.hpp>

#include "game/geometry.h"
#include "game/setup.h"

namespace manager {

namespace {

std::string cell_name(int group) {
  std::uint8_t const c = geometry::PLAYABLE[static_cast<std::size_t>(group)];
  int const row = geometry::row_of(c);
  return "group " + std::to_string(group + 1) + " (row " + std::to_string(row) + ", index " +
         std::to_string(geometry::index_in_row(row, geometry::column_of(c))) + ")";
}

// Splits "{a},{b,c},{}" into its group bodies; false when the text is not such a list.
bool split_groups(std::string const& text, std::vector<std::string>& groups, std::string& error) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!groups.empty()) {
      if (text[pos] != ',') {
        error = "expected \",\" after " + cell_name(static_cast<int>(groups.size()) - 1);
        return false;
      }
      ++pos;
    }
    if (pos >= text.size() || text[pos] != '{') {
      error = "expected \"{\" to open group " + std::to_string(groups.size() + 1);
      return false;
    }
    std::size_t const close = text.find('}', pos);
    if (close == std::string::npos) {
      error = "group " + std::to_string(groups.size() + 1) + " is not closed by \"}\"";
      return false;
    }
    std::string body = text.substr(pos + 1, close - pos - 1);
    if (body.find('{') != std::string::npos) {
      error = "group " + std::to_string(groups.size() + 1) + " holds a \"{\"";
      return false;
    }
    groups.push_back(std::move(body));
    pos = close + 1;
  }
  return true;
}

}  // namespace

Vorak random_setup(std::uint32_t seed) {
  std::string description = random_opening_description(seed);
  Vorak state(0);
  state.create_board(description);
  return state;
}

std::optional<Vorak> read_board(std::string text, std::string& error) {
  boost::algorithm::trim(text);
  if (boost::algorithm::starts_with(text, "BoardState{")) {
    if (text.back() != '}') {
      error = "the BoardState line does not end with \"}\"";
      return std::nullopt;
    }
    text = text.substr(11, text.size() - 12);
  }
  std::vector<std::string> groups;
  if (!split_groups(text, groups, error)) return std::nullopt;
  if (groups.size() != geometry::PLAYABLE_CELLS) {
    error = "a board has 60 groups, one per playable cell; this one has " +
            std::to_string(groups.size());
    return std::nullopt;
  }
  for (std::size_t i = 0; i < groups.size(); ++i) {
    if (groups[i].empty()) continue;
    std::vector<std::string> fields;
    boost::algorithm::split(fields, groups[i], boost::algorithm::is_any_of(","));
    if (fields[0] != "WHITE" && fields[0] != "BLACK") {
      error = cell_name(static_cast<int>(i)) + ": the owner must be WHITE or BLACK, not \"" +
              fields[0] + "\"";
      return std::nullopt;
    }
    if (fields.size() < 2) {
      error = cell_name(static_cast<int>(i)) + ": a stack needs at least one piece";
      return std::nullopt;
    }
    for (std::size_t f = 1; f < fields.size(); ++f) {
      if (fields[f] != "Vorak" && fields[f] != "Moriel" && fields[f] != "Wemm") {
        error = cell_name(static_cast<int>(i)) + ": \"" + fields[f] +
                "\" is no piece (Vorak, Moriel or Wemm)";
        return std::nullopt;
      }
    }
  }

  Vorak state(0);
  state.create_board(text);
  for (Players p : {WHITE, BLACK}) {
    for (Pieces k : {VORAK, MORIEL, WEMM}) {
      std::string const what = std::string(p == WHITE ? "White" : "Black") + " " + piece_name(k);
      if (state.counter(p, k) > MAX_STACKS_OF_A_KIND) {
        error = "more than " + std::to_string(MAX_STACKS_OF_A_KIND) + " " + what + " stacks";
        return std::nullopt;
      }
      if (state.counter(p, k) == 0) {
        error = "no " + what + " stack: the game would be over before it starts";
        return std::nullopt;
      }
    }
  }
  return state;
}

std::optional<Vorak> read_board_file(std::string const& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  constexpr std::size_t LIMIT = 1 << 20;
  std::string text(LIMIT + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > LIMIT) {
    error = path + " is larger than a board description can be";
    return std::nullopt;
  }
  std::optional<Vorak> state = read_board(text, error);
  if (!state) error = path + ": " + error;
  return state;
}

}  // namespace manager
