#include "manager/players.h"

#include <limits>
#include <string>
#include <vector>

#include <boost/random/uniform_int_distribution.hpp>

#include "manager/referee.h"

namespace manager {

namespace {

std::string pick(std::vector<std::string> const& moves, boost::random::mt19937& engine) {
  if (moves.empty()) return std::string();
  boost::random::uniform_int_distribution<std::size_t> index(0, moves.size() - 1);
  return moves[index(engine)];
}

Entry const& target_of(Vorak const& state, std::string const& move) {
  return state.board[move[2] - '0'][move[3] - '0'];
}

bool wins_with(Vorak const& state, std::string const& move, Players player) {
  Vorak after = state;
  after.execute_move(move, false);
  return after.is_game_over() == player;
}

}  // namespace

std::string choose_random(Vorak const& state, Players player, boost::random::mt19937& engine) {
  return pick(legal_actions(state, player), engine);
}

std::string choose_greedy(Vorak const& state, Players player, boost::random::mt19937& engine) {
  std::vector<std::string> const moves = legal_actions(state, player);
  for (std::string const& m : moves)
    if (!m.empty() && wins_with(state, m, player)) return m;

  // A turn that opens here may still win with its second action. White's opening turn has
  // no second action, which the step after it shows.
  if (state.step() == 1) {
    for (std::string const& m : moves) {
      Vorak after = state;
      after.execute_move(m, false);
      if (after.step() != 2) continue;
      for (std::string const& second : legal_actions(after, player))
        if (!second.empty() && wins_with(after, second, player)) return m;
    }
  }

  Players const other = opponent_of(player);
  unsigned short fewest = std::numeric_limits<unsigned short>::max();
  std::vector<std::string> best;
  for (std::string const& m : moves) {
    if (m.empty()) continue;
    Entry const& target = target_of(state, m);
    if (target.owner != other) continue;
    unsigned short const count = state.counter(other, target.piece);
    if (count < fewest) {
      fewest = count;
      best.clear();
    }
    if (count == fewest) best.push_back(m);
  }
  return best.empty() ? pick(moves, engine) : pick(best, engine);
}

}  // namespace manager
