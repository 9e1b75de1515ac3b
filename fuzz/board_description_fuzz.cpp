// Any text as a board description: reading it, every move list of both colours, executing each
// listed move, and a short random game must keep the position sound, and the search's compact
// playout form must agree with the member functions on it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>

#include "ai/playout.h"
#include "ai/reference_playout.h"
#include "game/geometry.h"
#include "game/vorak.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Blocked cells stay blocked, no playable cell is ever blocked, and the six tallies are what
// the board shows.
void check_sound(Vorak const& v) {
  unsigned counts[3][4] = {};
  for (int r = 0; r < Vorak::SIZE; ++r)
    for (int c = 0; c < Vorak::SIZE; ++c) {
      Entry const& e = v.board[r][c];
      if (!geometry::is_playable(r, c)) {
        require(e.owner == NONE && e.piece == BLOCK && e.height == 0);
      } else if (e.piece == BLANK) {
        require(e.owner == NONE && e.height == 0);
      } else {
        require(e.owner == WHITE || e.owner == BLACK);
        require(e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM);
        require(e.height >= 1);
        ++counts[e.owner][e.piece];
      }
    }
  for (Players p : {WHITE, BLACK})
    for (Pieces k : {VORAK, MORIEL, WEMM}) require(v.counter(p, k) == counts[p][k]);
}

template <class P>
std::vector<std::string> texts(P const& p, Players mover, bool concerned) {
  typename P::List list;
  p.candidates(mover, concerned, list);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.push_back(P::text(list[i]));
  return out;
}

void check_playout_forms(Vorak const& v) {
  ReferencePlayout const ref(v);
  FastPlayout const fast(v);
  for (Players mover : {WHITE, BLACK}) {
    for (bool concerned : {false, true})
      require(texts(fast, mover, concerned) == texts(ref, mover, concerned));
    if (v.move_count % 2 == 0 && ref.opponent_low(mover)) {
      Decision expected, actual;
      bool const decided = ref.lookahead(mover, expected);
      require(fast.lookahead(mover, actual) == decided);
      if (decided)
        require(actual.winner == expected.winner && actual.first == expected.first &&
                actual.second == expected.second);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string text(reinterpret_cast<char const*>(data), size);
  Vorak state(1);
  state.create_board(text);
  check_sound(state);

  for (Players player : {WHITE, BLACK})
    for (unsigned short step : {1, 2}) {
      for (int category = ANY; category <= STACK_STRONG_PLENTY; ++category) {
        std::vector<std::string> moves;
        state.get_moves_by_action(moves, player, step, static_cast<Actions>(category));
        for (std::string const& move : moves) {
          Vorak copy(state);
          copy.execute_move(move, false);
          check_sound(copy);
        }
      }
      std::vector<std::string> moves;
      state.get_moves(moves, player, step);
      require(step == 1 || (!moves.empty() && moves.back().empty()));
    }

  // A short random game from here, both playout forms compared at every step.
  boost::random::mt19937 rng(static_cast<std::uint32_t>(size * 2654435761u));
  Players mover = WHITE;
  for (int action = 0; action < 40 && state.is_game_over() == NONE; ++action) {
    check_playout_forms(state);
    std::vector<std::string> moves;
    state.get_moves(moves, mover, state.step());
    if (moves.empty()) break;
    boost::random::uniform_int_distribution<std::size_t> pick(0, moves.size() - 1);
    state.execute_move(moves[pick(rng)], false);
    check_sound(state);
    if (state.move_count % 2 == 0) mover = mover == WHITE ? BLACK : WHITE;
  }
  return 0;
}
