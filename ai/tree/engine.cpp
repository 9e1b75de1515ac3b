// Turns of the tree search: the first action searched, the second read from the same trees.
#include "ai/tree/engine.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "ai/tree/tree_thought.h"

TreeSettings treeSettings;

namespace {

// The short search for a second action that the trees did not foresee: at most these playouts,
// and at most this share of the turn's time, since the turn's time is already spent.
constexpr std::uint64_t UNFORESEEN_PLAYOUTS = 2000;
constexpr double UNFORESEEN_SHARE = 0.05;

std::uint64_t split_mix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

bool same_position(Vorak const& a, Vorak const& b) {
  if (a.move_count != b.move_count || a.own_player != b.own_player) return false;
  for (int r = 0; r < Vorak::SIZE; ++r)
    for (int c = 0; c < Vorak::SIZE; ++c) {
      Entry const& x = a.board[r][c];
      Entry const& y = b.board[r][c];
      if (x.owner != y.owner || x.piece != y.piece || x.height != y.height) return false;
    }
  return true;
}

std::string shown(FastPlayout::Move move) {
  std::string const text = FastPlayout::text(move);
  return text.empty() ? "pass" : text;
}

// One decimal, without touching the stream's own format.
std::string percent(double rate) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << 100 * rate;
  return text.str();
}

std::uint32_t saturated(std::uint64_t n) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(n, 0xFFFFFFFFu));
}

// A win that the look-ahead found, played without a search.
Thought sure_win(std::vector<std::string> line) {
  Thought thought;
  thought.engine = Engine::MCTS;
  thought.value = 1;
  thought.candidates.push_back({line.front(), 0, 0});
  thought.line = std::move(line);
  return thought;
}

}  // namespace

TreeEngine::TreeEngine(std::uint64_t seed, TreeSettings const& settings)
    : settings_(settings), rng_(seed), search_(settings) {}

TreeEngine::~TreeEngine() = default;

double TreeEngine::seconds(Vorak const& position) const {
  return settings_.seconds > 0 ? settings_.seconds : position.seconds_per_move;
}

std::vector<std::uint64_t> TreeEngine::seeds(unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::uint64_t> seeds;
  for (unsigned i = 0; i < threads; ++i) seeds.push_back(split_mix(rng_));
  return seeds;
}

std::string TreeEngine::choose(Vorak& position, unsigned threads, std::ostream* report,
                               SearchWatch* watch) {
  // The turn's clock starts before anything else is done for it.
  Steady::time_point const start = Steady::now();
  if (position.move_count % 2 == 1) return second_action(position, start);
  return first_action(position, threads, report, start, watch);
}

std::string TreeEngine::first_action(Vorak& position, unsigned threads, std::ostream* report,
                                     Steady::time_point start, SearchWatch* watch) {
  have_turn_ = false;
  have_decided_second_ = false;
  thought_ = tree_thought({}, ActionStats(), {}, 0);
  Players const own = position.own_player;
  position.playouts = position.wins = position.losses = 0;

  // A win within this very turn needs no search.
  FastPlayout const now(position);
  Decision decision;
  if (now.opponent_low(own) && now.lookahead(own, decision) && decision.winner == own) {
    if (report)
      *report << "Dravix Bot looks confident.\nTree search: a win in this turn with "
              << decision.first << (decision.second.empty() ? "" : " " + decision.second) << ".\n";
    expected_ = position;
    expected_.execute_move(decision.first, false);
    have_turn_ = have_decided_second_ = true;
    decided_second_ = decision.second;
    thought_ = sure_win(decision.second.empty()
                            ? std::vector<std::string>{decision.first}
                            : std::vector<std::string>{decision.first, decision.second});
    return decision.first;
  }

  TurnClock const clock =
      settings_.calendar_clock
          ? TurnClock::calendar(
                start, std::time(nullptr) + static_cast<std::time_t>(std::ceil(seconds(position))))
          : TurnClock::monotonic(start, seconds(position));
  search_.run(position, seeds(threads), clock, settings_.max_playouts, watch);
  std::vector<ActionStats> const actions = search_.root_actions();
  ActionStats const best = best_action(actions);
  if (best.move == FastPlayout::NO_MOVE) {  // no capture to open the turn
    if (report) *report << "Dravix Bot looks concerned.\nTree search: no action to play.\n";
    return std::string();
  }
  std::uint64_t wins = 0;
  for (ActionStats const& a : actions) wins += a.wins;
  position.playouts = saturated(search_.playouts());
  position.wins = saturated(wins);
  position.losses = position.playouts - std::min(position.playouts, position.wins);

  std::vector<FastPlayout::Move> const line = search_.line_from(best.move, Thought::LONGEST_LINE);
  thought_ = tree_thought(actions, best, line, search_.playouts());
  double const rate = best.proof == PROVEN_WIN ? 1
                      : best.visits == 0       ? 0.5
                                               : static_cast<double>(best.wins) / best.visits;
  if (report) {
    *report << (rate >= 0.5 ? "Dravix Bot looks confident.\n" : "Dravix Bot looks concerned.\n")
            << "Tree search: " << search_.playouts() << " playouts, " << search_.nodes()
            << " nodes; " << shown(best.move) << " played " << best.visits << " times, won "
            << percent(rate) << "%"
            << (best.proof == PROVEN_WIN    ? " (proven)"
                : best.proof == PROVEN_LOSS ? " (lost whatever it plays)"
                                            : "")
            << "; expected:";
    for (FastPlayout::Move m : line) *report << " " << shown(m);
    *report << "\n";
  }
  std::string const move = FastPlayout::text(best.move);
  expected_ = position;
  expected_.execute_move(move, false);
  first_ = best.move;
  have_turn_ = true;
  return move;
}

std::string TreeEngine::second_action(Vorak& position, Steady::time_point start) {
  if (have_turn_ && same_position(position, expected_)) {
    have_turn_ = false;
    if (have_decided_second_) {
      thought_ = sure_win({decided_second_});
      return decided_second_;
    }
    std::vector<ActionStats> const after = search_.actions_after(first_);
    ActionStats const best = best_action(after);
    if (best.move != FastPlayout::NO_MOVE && (best.visits > 0 || best.proof == PROVEN_WIN)) {
      // The turn's line from the action after the first: the most visited one, unless a proof
      // chose another, whose line is its own.
      std::vector<FastPlayout::Move> line = search_.line_from(first_, Thought::LONGEST_LINE + 1);
      if (!line.empty()) line.erase(line.begin());
      if (line.empty() || line.front() != best.move) line = {best.move};
      thought_ = tree_thought(after, best, line, search_.playouts());
      return FastPlayout::text(best.move);
    }
  }
  // A position the trees did not reach: a short search of its own, on one thread.
  have_turn_ = false;
  search_.run(position, seeds(1),
              TurnClock::monotonic(start, std::max(0.03, UNFORESEEN_SHARE * seconds(position))),
              settings_.max_playouts != 0 ? std::min(settings_.max_playouts, UNFORESEEN_PLAYOUTS)
                                          : UNFORESEEN_PLAYOUTS);
  std::vector<ActionStats> const actions = search_.root_actions();
  ActionStats const best = best_action(actions);
  thought_ = tree_thought(actions, best, search_.line_from(best.move, Thought::LONGEST_LINE),
                          search_.playouts());
  return best.move == FastPlayout::NO_MOVE ? std::string() : FastPlayout::text(best.move);
}
