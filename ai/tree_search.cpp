// The tree search: selection by UCT, expansion of well-visited leaves, random playouts.
#include "ai/tree_search.h"

#include <utility>

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
      if (ready_to_expand(n == 0, nodes_[n].visits, settings_)) {
        list_.clear();
        p.legal(mover, list_);
        if (list_.empty()) {  // no capture to open the turn: the mover has lost
          winner = opponent_of(mover);
          break;
        }
        if (nodes_.size() + list_.size() > settings_.max_nodes) {
          winner = play_out(p, mover, engine_);
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
        winner = play_out(p, mover, engine_);
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
  return select_by_uct(
      node.first_child, node.child_count, node.visits, settings_.exploration,
      [this](std::uint32_t i) { return std::pair(nodes_[i].visits, nodes_[i].wins); });
}
