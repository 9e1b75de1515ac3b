// Any text as a board description: reading it, every move list of both colours, executing each
// listed move, and a short random game must keep the position sound, and the search's compact
// playout form must agree with the member functions on it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "game/vorak.h"
#include "tests/support/playout_forms.h"
#include "tests/support/positions.h"
#include "tests/support/state_checks.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_sound(Vorak const& v) {
  require(support::soundness_fault(v).empty());
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
    require(support::playout_forms_difference(state).empty());
    if (!support::play_random_action(state, mover, rng)) break;
    check_sound(state);
  }
  return 0;
}
