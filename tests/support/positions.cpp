#include "tests/support/positions.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include <boost/random/uniform_int_distribution.hpp>

#include "game/geometry.h"
#include "game/setup.h"

namespace support {

Tallies tallies(Vorak const& v) {
  return {v.white_voraks, v.white_moriels, v.white_wemms,
          v.black_voraks, v.black_moriels, v.black_wemms};
}

void set_tallies(Vorak& v, Tallies const& t) {
  v.white_voraks = t[0];
  v.white_moriels = t[1];
  v.white_wemms = t[2];
  v.black_voraks = t[3];
  v.black_moriels = t[4];
  v.black_wemms = t[5];
}

Vorak empty_position(Tallies const& t) {
  std::string text = "{}";
  for (int i = 1; i < 60; ++i) text += ",{}";
  Vorak v(1);
  v.create_board(text);
  set_tallies(v, t);
  return v;
}

std::vector<Stack> stacks(std::string const& text) {
  std::vector<Stack> result;
  std::istringstream in(text);
  for (std::string t; in >> t;) {
    bool const well_formed = t.size() >= 4 && std::isdigit(static_cast<unsigned char>(t[0])) &&
                             std::isdigit(static_cast<unsigned char>(t[1])) &&
                             (t[2] == 'W' || t[2] == 'B') &&
                             std::string("vmw").find(t[3]) != std::string::npos &&
                             t.find_first_not_of("0123456789", 4) == std::string::npos;
    if (!well_formed) throw std::invalid_argument("not a stack: \"" + t + "\"");
    Pieces const kind = t[3] == 'v' ? VORAK : t[3] == 'm' ? MORIEL : WEMM;
    unsigned short const height =
        t.size() > 4 ? static_cast<unsigned short>(std::stoi(t.substr(4))) : 1;
    result.push_back({t[0] - '0', t[1] - '0', t[2] == 'W' ? WHITE : BLACK, kind, height});
  }
  return result;
}

void place(Vorak& v, std::vector<Stack> const& stacks) {
  for (Stack const& s : stacks) v.board[s.row][s.column] = Entry{s.owner, s.piece, s.height};
}

Vorak position(std::vector<Stack> const& stacks, Players own, unsigned short move_count) {
  Vorak layout = empty_position();
  place(layout, stacks);
  std::string description = board_description(layout);
  Vorak state(1);
  state.create_board(description);
  state.own_player = own;
  state.move_count = move_count;
  return state;
}

Moves by_action(Vorak const& v, Players player, unsigned short step, Actions action) {
  Moves moves;
  v.get_moves_by_action(moves, player, step, action);
  return moves;
}

Moves turn_candidates(Vorak const& v, Players player, unsigned short step) {
  Moves moves;
  v.get_moves(moves, player, step);
  return moves;
}

bool contains(Moves const& moves, std::string const& move) {
  return std::find(moves.begin(), moves.end(), move) != moves.end();
}

bool play_random_action(Vorak& state, Players& mover, boost::random::mt19937& rng) {
  if (state.is_game_over() != NONE) return false;
  Moves const moves = legal_actions(state, mover);
  if (moves.empty()) return false;
  boost::random::uniform_int_distribution<std::size_t> pick(0, moves.size() - 1);
  state.execute_move(moves[pick(rng)], false);
  if (state.move_count % 2 == 0) mover = opponent_of(mover);
  return true;
}

Vorak random_game_position(std::uint32_t opening_seed, boost::random::mt19937& rng, int actions) {
  Vorak state(1);
  std::string description = random_opening_description(opening_seed);
  state.create_board(description);
  Players mover = WHITE;
  for (int i = 0; i < actions && play_random_action(state, mover, rng); ++i) {
  }
  state.own_player = mover;
  return state;
}

}  // namespace support
