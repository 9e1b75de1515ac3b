// Reading a grown tree once its search has ended: the statistics of the root's actions, of the
// actions below one of them, and the most visited line. Every node store is read the same way,
// through its `size()` and `view(n)`.
#ifndef DRAVIX_AI_TREE_READING_H
#define DRAVIX_AI_TREE_READING_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ai/playout.h"
#include "ai/tree/node.h"

// What the search found out about one action of a node.
struct ActionStats {
  FastPlayout::Move move = FastPlayout::NO_MOVE;
  std::uint64_t visits = 0;
  std::uint64_t wins = 0;  // won playouts of the side that plays the action
  Proof proof = UNPROVEN;  // for that side
};

namespace tree_reading {

template <class Store>
std::vector<ActionStats> children(Store const& store, std::uint32_t n) {
  std::vector<ActionStats> stats;
  NodeView const node = store.view(n);
  for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
    NodeView const child = store.view(i);
    stats.push_back({child.move, child.visits, child.wins, child.proof});
  }
  return stats;
}

// The root's child for the action `move`; 0 when there is none.
template <class Store>
std::uint32_t child_by_move(Store const& store, FastPlayout::Move move) {
  NodeView const root = store.view(0);
  for (std::uint32_t i = root.first_child; i < root.first_child + root.child_count; ++i)
    if (store.view(i).move == move) return i;
  return 0;
}

// The root's actions, in the tree's order.
template <class Store>
std::vector<ActionStats> root_actions(Store const& store) {
  return children(store, 0);
}

// The actions below the root's action `first` (the second action of the turn, or the
// opponent's turn after a single-action turn); empty when the tree has not grown there.
template <class Store>
std::vector<ActionStats> actions_after(Store const& store, FastPlayout::Move first) {
  std::uint32_t const child = child_by_move(store, first);
  return child == 0 ? std::vector<ActionStats>() : children(store, child);
}

// The most visited line from the root's action `first`, `first` included, at most `length`.
template <class Store>
std::vector<FastPlayout::Move> line_from(Store const& store, FastPlayout::Move first,
                                         std::size_t length) {
  std::vector<FastPlayout::Move> line;
  std::uint32_t n = child_by_move(store, first);
  while (n != 0 && line.size() < length) {
    NodeView const node = store.view(n);
    line.push_back(node.move);
    std::uint32_t best = 0;
    std::uint32_t best_visits = 0;
    for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
      std::uint32_t const visits = store.view(i).visits;
      if (best == 0 || visits > best_visits) {
        best = i;
        best_visits = visits;
      }
    }
    if (best == 0 || best_visits == 0) break;
    n = best;
  }
  return line;
}

}  // namespace tree_reading

#endif
