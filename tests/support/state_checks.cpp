#include "tests/support/state_checks.h"

#include <cstdint>

#include "game/geometry.h"
#include "tests/support/positions.h"

namespace support {

namespace {

// The state's fields as state_difference compares them, in the state's order: a field added to
// the state changes its size and stops the build here until it is compared too. (Only a field
// of two bytes or less placed in one of the layout's two-byte gaps would not; none fits the
// state's design of tallies and counters, and C++17 has no way to list a class's fields.)
struct ComparedFields {
  unsigned short move_count;
  Players own_player;
  unsigned short tallies[6];
  std::uint32_t playouts, wins, losses;
  unsigned short seconds_per_move;
  Entry board[Vorak::SIZE][Vorak::SIZE];
};
static_assert(sizeof(Vorak) == sizeof(ComparedFields), "a field of Vorak is not compared");

std::string cell(int r, int c) {
  return std::to_string(r) + "," + std::to_string(c);
}

std::string entry_text(Entry const& e) {
  return std::to_string(e.owner) + "/" + std::to_string(e.piece) + "/" + std::to_string(e.height);
}

template <class T>
std::string field(char const* name, T const& a, T const& b) {
  if (a == b) return "";
  return std::string(name) + " differs: " + std::to_string(a) + " vs " + std::to_string(b);
}

// The first cell in which two boards differ.
std::string board_difference(Vorak const& a, Vorak const& b) {
  for (int r = 0; r < Vorak::SIZE; ++r)
    for (int c = 0; c < Vorak::SIZE; ++c) {
      Entry const &x = a.board[r][c], &y = b.board[r][c];
      if (x.owner != y.owner || x.piece != y.piece || x.height != y.height)
        return "cell " + cell(r, c) + " differs: " + entry_text(x) + " vs " + entry_text(y);
    }
  return "";
}

}  // namespace

std::string position_difference(Vorak const& a, Vorak const& b) {
  static char const* const tally_names[] = {"white_voraks", "white_moriels", "white_wemms",
                                            "black_voraks", "black_moriels", "black_wemms"};
  Tallies const ta = tallies(a), tb = tallies(b);
  for (std::size_t i = 0; i < ta.size(); ++i)
    if (std::string const d = field(tally_names[i], ta[i], tb[i]); !d.empty()) return d;
  std::string const differences[] = {
      field("move_count", a.move_count, b.move_count),
      field("own_player", static_cast<int>(a.own_player), static_cast<int>(b.own_player)),
      field("seconds_per_move", a.seconds_per_move, b.seconds_per_move), board_difference(a, b)};
  for (std::string const& d : differences)
    if (!d.empty()) return d;
  return "";
}

std::string state_difference(Vorak const& a, Vorak const& b) {
  std::string const differences[] = {
      position_difference(a, b), field("playouts", a.playouts, b.playouts),
      field("wins", a.wins, b.wins), field("losses", a.losses, b.losses)};
  for (std::string const& d : differences)
    if (!d.empty()) return d;
  return "";
}

std::string soundness_fault(Vorak const& v) {
  Tallies counted{};
  for (int r = 0; r < Vorak::SIZE; ++r)
    for (int c = 0; c < Vorak::SIZE; ++c) {
      Entry const& e = v.board[r][c];
      if (!geometry::is_playable(r, c)) {
        if (e.owner != NONE || e.piece != BLOCK || e.height != 0)
          return "blocked cell " + cell(r, c) + " holds " + entry_text(e);
      } else if (e.piece == BLANK) {
        if (e.owner != NONE || e.height != 0)
          return "empty cell " + cell(r, c) + " holds " + entry_text(e);
      } else if ((e.owner != WHITE && e.owner != BLACK) || !holds_stack(e) || e.height < 1) {
        return "cell " + cell(r, c) + " holds " + entry_text(e);
      } else {
        ++counted[(e.owner == WHITE ? 0 : 3) + (e.piece - VORAK)];
      }
    }
  if (counted != tallies(v)) {
    std::string text = "the tallies are";
    for (unsigned short t : tallies(v)) text += " " + std::to_string(t);
    text += " but the board shows";
    for (unsigned short t : counted) text += " " + std::to_string(t);
    return text;
  }
  return "";
}

}  // namespace support
