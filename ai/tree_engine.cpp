// Turns of the tree search: the first action searched, the second read from the same trees.
#include "ai/tree_engine.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <iomanip>
#include <thread>

namespace {

// Playouts of the short search for a second action that the trees did not foresee: well under
// a millisecond, since the turn's time is already spent.
constexpr std::uint64_t UNFORESEEN_PLAYOUTS = 256;

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

// The stats of the same actions from every tree, added up; the trees list them alike.
std::vector<ActionStats> merged(std::vector<std::vector<ActionStats>> const& per_tree) {
  std::vector<ActionStats> total;
  for (std::vector<ActionStats> const& stats : per_tree)
    for (ActionStats const& s : stats) {
      auto same = std::find_if(total.begin(), total.end(),
                               [&](ActionStats const& t) { return t.move == s.move; });
      if (same == total.end()) {
        total.push_back(s);
      } else {
        same->visits += s.visits;
        same->wins += s.wins;
      }
    }
  return total;
}

// The most visited action, the better win rate among equals; NO_MOVE when none was visited.
ActionStats best_of(std::vector<ActionStats> const& stats) {
  ActionStats best;
  for (ActionStats const& s : stats) {
    if (s.visits == 0) continue;
    if (best.visits == 0 || s.visits > best.visits ||
        (s.visits == best.visits && s.wins > best.wins))
      best = s;
  }
  return best;
}

std::string shown(FastPlayout::Move move) {
  std::string const text = FastPlayout::text(move);
  return text.empty() ? "pass" : text;
}

}  // namespace

TreeEngine::TreeEngine(std::uint64_t seed, TreeSettings const& settings)
    : settings_(settings), rng_(seed) {}

TreeEngine::~TreeEngine() = default;

std::string TreeEngine::choose(Vorak& position, unsigned threads, std::ostream* report) {
  if (position.move_count % 2 == 1) return second_action(position, report);
  return first_action(position, threads, report);
}

void TreeEngine::grow(Vorak const& position, unsigned threads, std::time_t deadline,
                      std::uint64_t playouts) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  if (settings_.parallel == Parallel::TREE) {
    if (!shared_) {
      TreeSettings settings = settings_;
      settings.max_nodes = std::max<std::size_t>(settings_.max_nodes, 1024);
      shared_ = std::make_unique<SharedTree>(settings);
    }
    std::vector<std::uint64_t> seeds;
    for (unsigned i = 0; i < threads; ++i) seeds.push_back(split_mix(rng_));
    shared_->run(position, seeds, deadline, playouts != 0 ? playouts : settings_.max_playouts);
    return;
  }
  TreeSettings settings = settings_;
  if (playouts != 0) settings.max_playouts = playouts;
  settings.max_nodes = std::max<std::size_t>(settings_.max_nodes / threads, 1024);
  trees_.clear();
  for (unsigned i = 0; i < threads; ++i)
    trees_.push_back(std::make_unique<TreeSearch>(split_mix(rng_), settings));
  std::atomic<bool> const stop{false};
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads; ++i)
    helpers.emplace_back([&, i] { trees_[i]->run(position, deadline, stop); });
  trees_[0]->run(position, deadline, stop);
  for (std::thread& t : helpers) t.join();
}

std::string TreeEngine::first_action(Vorak& position, unsigned threads, std::ostream* report) {
  // The turn ends where the flat search's does, by the same clock: when the calendar second
  // reaches the start's second plus the thinking time. The same deadline keeps duels between
  // the two fair: a search that ended mid-second would leave the other the rest of it only.
  std::time_t const deadline = std::time(nullptr) + position.seconds_per_move;
  have_turn_ = false;
  have_decided_second_ = false;
  Players const own = position.own_player;

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
    return decision.first;
  }

  FastPlayout::List legal;
  now.legal(own, legal);
  if (legal.empty()) {  // no capture to open the turn: nothing to think about
    if (report) *report << "Dravix Bot looks concerned.\nTree search: no action to play.\n";
    return std::string();
  }

  grow(position, threads, deadline, 0);
  std::vector<std::vector<ActionStats>> per_tree;
  std::uint64_t playouts = 0;
  std::size_t nodes = 0;
  for_each_tree([&](auto const& tree) {
    per_tree.push_back(tree.root_actions());
    playouts += tree.playouts();
    nodes += tree.nodes();
  });
  std::vector<ActionStats> const actions = merged(per_tree);
  ActionStats const best = best_of(actions);
  double wins = 0;
  for (ActionStats const& a : actions) wins += a.wins;
  position.playouts = static_cast<std::uint32_t>(playouts);
  position.wins = static_cast<std::uint32_t>(wins);
  position.losses = position.playouts - position.wins;

  if (best.visits == 0) {
    if (report) *report << "Dravix Bot looks concerned.\nTree search: no action to play.\n";
    return std::string();
  }
  double const rate = best.wins / best.visits;
  if (report) {
    // The continuation of the tree in which the chosen action grew furthest.
    std::vector<FastPlayout::Move> line;
    for_each_tree([&](auto const& tree) {
      std::vector<FastPlayout::Move> l = tree.line_from(best.move, 8);
      if (l.size() > line.size()) line = std::move(l);
    });
    *report << (rate >= 0.5 ? "Dravix Bot looks confident.\n" : "Dravix Bot looks concerned.\n")
            << "Tree search: " << playouts << " playouts, " << nodes << " nodes; "
            << shown(best.move) << " played " << best.visits << " times, won " << std::fixed
            << std::setprecision(1) << 100 * rate << "%; expected:";
    for (FastPlayout::Move m : line) *report << " " << shown(m);
    *report << std::defaultfloat << "\n";
  }
  std::string const move = FastPlayout::text(best.move);
  expected_ = position;
  expected_.execute_move(move, false);
  first_ = best.move;
  have_turn_ = true;
  return move;
}

std::string TreeEngine::second_action(Vorak& position, std::ostream* report) {
  if (have_turn_ && same_position(position, expected_)) {
    have_turn_ = false;
    if (have_decided_second_) return decided_second_;
    std::vector<std::vector<ActionStats>> per_tree;
    for_each_tree([&](auto const& tree) { per_tree.push_back(tree.actions_after(first_)); });
    ActionStats const best = best_of(merged(per_tree));
    if (best.visits > 0) return FastPlayout::text(best.move);
  }
  // A position the trees did not reach: a short search of its own.
  (void)report;
  grow(position, 1, std::time(nullptr) + 1, UNFORESEEN_PLAYOUTS);
  std::vector<ActionStats> actions;
  for_each_tree([&](auto const& tree) { actions = tree.root_actions(); });
  ActionStats const best = best_of(actions);
  return best.visits > 0 ? FastPlayout::text(best.move) : std::string();
}
