// Choosing the action to play from the won and lost playouts of the turn's search.
#include <iostream>
#include <string>
#include <vector>

#include "ai/search_state.h"

SequenceTable bestMoves;
SequenceTable worstMoves;
std::uint64_t playoutActions = 0;

SearchContext program_context() {
  return SearchContext{gen, bestMoves, worstMoves, &std::cout, &playoutActions};
}

namespace {

// True when `move` may be played as the second action of the turn now due.
bool legal_second_action(Vorak const& state, std::string const& move) {
  if (move.empty()) return true;
  std::vector<std::string> moves;
  state.get_moves_by_action(moves, state.own_player, 2, ANY);
  for (std::string const& m : moves)
    if (m == move) return true;
  return false;
}

}  // namespace

std::string Vorak::get_best_move() {
  return choose_sequence(*this, program_context());
}

std::string choose_sequence(Vorak& state, SearchContext const& context) {
  bool const first_action = state.move_count % 2 == 0;
  std::ostream* const out = context.out;
  std::string chosen;
  std::uint32_t kept = 0;
  for (auto const& entry : context.best) {
    if (entry.second > kept) {
      kept = entry.second;
      chosen = entry.first;
    }
  }
  bool const won = kept > 0;
  if (!won) {
    for (auto const& entry : context.worst) {
      if (kept == 0 || entry.second < kept) {
        kept = entry.second;
        chosen = entry.first;
      }
    }
  }

  if (kept == 0) {
    if (first_action && out)
      *out << "Of the " << state.playouts << " games played, no winning move sequences found."
           << "\n";
    return random_choice(state, context);
  }

  if (first_action) {
    if (out && won) {
      *out << "Of the " << state.playouts << " games completed, " << state.wins
           << " were winning games\nplayed using " << context.best.size()
           << " different starting sequences.\nOf those this sequence (" << chosen
           << ") resulted in " << kept << " wins,\nwhich is the best result."
           << "\n";
    } else if (out) {
      *out << "Of the " << state.playouts << " games completed, " << state.losses
           << " were losing games\nplayed using " << context.worst.size()
           << " different starting sequences.\nOf those this sequence (" << chosen
           << ") resulted in " << kept << " loses,\nwhich is the best (lowest) result."
           << "\n";
    }
    // Playouts lost before the program's first action (it had no capture) count under the
    // placeholder alone, which is no move: the random player then decides, passing if need be.
    if (chosen.size() < 4) return random_choice(state, context);
    return chosen.substr(0, 4);
  }

  // The second action: four characters mean the turn's sequence passed. A placeholder for
  // a second action never recorded, or a stale table that no longer fits the position,
  // falls back on the random player rather than sending something the server must refuse.
  if (chosen.size() == 4) return std::string();
  std::string const second = chosen.size() >= 8 ? chosen.substr(4, 4) : std::string("W");
  if (second != "W" && legal_second_action(state, second)) return second;
  return random_choice(state, context);
}
