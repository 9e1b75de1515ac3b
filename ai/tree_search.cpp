// The tree search: selection by UCT, expansion of well-visited leaves, random playouts.
#include "ai/tree_search.h"

#include <cmath>

#include "ai/clock.h"

TreeSearch::TreeSearch(std::uint64_t seed, TreeSettings const& settings)
    : settings_(settings), engine_(static_cast<std::uint32_t>(seed ^ (seed >> 32))) {}

void TreeSearch::run(Vorak const& root, std::time_t deadline, std::atomic<bool> const& stop) {
  WallClock clock(deadline);
  nodes_.clear();
  nodes_.reserve(settings_.max_nodes);
  nodes_.emplace_back();
  playouts_ = 0;
  FastPlayout const start(root);
  for (;;) {
    if (playouts_ == settings_.max_playouts && settings_.max_playouts != 0) return;
    if (stop.load(std::memory_order_relaxed) || clock.expired()) return;
    iterate(start, root.own_player);
    ++playouts_;
  }
}

void TreeSearch::iterate(FastPlayout const& start, Players own) {
  FastPlayout p = start;
  Players mover = own;
  path_.clear();
  path_.push_back(0);
  movers_.clear();
  std::uint32_t n = 0;
  Players winner = NONE;
  for (;;) {
    if (nodes_[n].child_count == 0) {
      winner = p.winner();
      if (winner != NONE) break;
      bool const grow = (n == 0 || nodes_[n].visits >= settings_.expand_after);
      if (grow) {
        list_.clear();
        p.legal(mover, list_);
        if (list_.empty()) {  // no capture to open the turn: the mover has lost
          winner = opponent_of(mover);
          break;
        }
        if (nodes_.size() + list_.size() > settings_.max_nodes) {
          winner = play_out(p, mover);
          break;
        }
        auto const first = static_cast<std::uint32_t>(nodes_.size());
        for (std::size_t i = 0; i < list_.size(); ++i) {
          Node child;
          child.move = list_[i];
          nodes_.push_back(child);
        }
        nodes_[n].first_child = first;
        nodes_[n].child_count = static_cast<std::uint16_t>(list_.size());
      } else {
        winner = play_out(p, mover);
        break;
      }
    }
    std::uint32_t const c = select(nodes_[n]);
    movers_.push_back(mover);
    p.execute(nodes_[c].move);
    if (p.move_count() % 2 == 0) mover = opponent_of(mover);
    path_.push_back(c);
    n = c;
  }
  ++nodes_[0].visits;
  for (std::size_t k = 1; k < path_.size(); ++k) {
    Node& node = nodes_[path_[k]];
    ++node.visits;
    if (movers_[k - 1] == winner) node.wins += 1;
  }
}

std::uint32_t TreeSearch::select(Node const& node) const {
  double const log_n = std::log(static_cast<double>(node.visits) + 1);
  std::uint32_t best = node.first_child;
  double best_value = -1;
  for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
    Node const& c = nodes_[i];
    if (c.visits == 0) return i;
    double const value = c.wins / c.visits + settings_.exploration * std::sqrt(log_n / c.visits);
    if (value > best_value) {
      best_value = value;
      best = i;
    }
  }
  return best;
}

Players TreeSearch::play_out(FastPlayout& p, Players mover) {
  for (;;) {
    Players const over = p.winner();
    if (over != NONE) return over;
    if (p.move_count() % 2 == 0 && p.opponent_low(mover)) {
      Decision decision;
      if (p.lookahead(mover, decision)) return decision.winner;
    }
    FastPlayout::Move move;
    if (!p.pick(mover, false, engine_, move)) return opponent_of(mover);
    p.execute(move);
    if (p.move_count() % 2 == 0) mover = opponent_of(mover);
  }
}

std::uint32_t TreeSearch::child_by_move(std::uint32_t node, Move move) const {
  Node const& n = nodes_[node];
  for (std::uint32_t i = n.first_child; i < n.first_child + n.child_count; ++i)
    if (nodes_[i].move == move) return i;
  return 0;
}

std::vector<ActionStats> TreeSearch::root_actions() const {
  std::vector<ActionStats> stats;
  if (nodes_.empty()) return stats;
  Node const& root = nodes_[0];
  for (std::uint32_t i = root.first_child; i < root.first_child + root.child_count; ++i)
    stats.push_back({nodes_[i].move, nodes_[i].visits, nodes_[i].wins});
  return stats;
}

std::vector<ActionStats> TreeSearch::actions_after(Move first) const {
  std::vector<ActionStats> stats;
  if (nodes_.empty()) return stats;
  std::uint32_t const child = child_by_move(0, first);
  if (child == 0) return stats;
  Node const& n = nodes_[child];
  for (std::uint32_t i = n.first_child; i < n.first_child + n.child_count; ++i)
    stats.push_back({nodes_[i].move, nodes_[i].visits, nodes_[i].wins});
  return stats;
}

std::vector<TreeSearch::Move> TreeSearch::line_from(Move first, std::size_t length) const {
  std::vector<Move> line;
  if (nodes_.empty()) return line;
  std::uint32_t n = child_by_move(0, first);
  while (n != 0 && line.size() < length) {
    line.push_back(nodes_[n].move);
    Node const& node = nodes_[n];
    std::uint32_t best = 0;
    for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i)
      if (best == 0 || nodes_[i].visits > nodes_[best].visits) best = i;
    if (best == 0 || nodes_[best].visits == 0) break;
    n = best;
  }
  return line;
}
