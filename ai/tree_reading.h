// Reading a grown tree once its search has ended: the statistics of the root's actions, of the
// actions below one of them, and the most visited line. Every form of the tree search is read
// the same way.
#ifndef DRAVIX_AI_TREE_READING_H
#define DRAVIX_AI_TREE_READING_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ai/playout.h"

// What the search found out about one action of a node.
struct ActionStats {
  FastPlayout::Move move = FastPlayout::NO_MOVE;
  std::uint32_t visits = 0;
  double wins = 0;  // won playouts of the side that plays the action
};

// One node as the readings see it.
struct NodeView {
  std::uint32_t first_child = 0;  // 0 while it has no children
  std::uint32_t child_count = 0;
  FastPlayout::Move move = FastPlayout::NO_MOVE;
  std::uint32_t visits = 0;
  double wins = 0;
};

// The readings of `Tree`, whose node 0 is the root and which gives `std::size_t nodes()` and
// `NodeView view(std::uint32_t)` (to this class at least).
template <class Tree>
class TreeReading {
 public:
  using Move = FastPlayout::Move;

  // The root's actions, in list order.
  std::vector<ActionStats> root_actions() const { return children(0); }
  // The actions below the root's action `first` (the second action of the turn, or the
  // opponent's turn after a single-action turn); empty when the tree has not grown there.
  std::vector<ActionStats> actions_after(Move first) const {
    std::uint32_t const child = child_by_move(first);
    return child == 0 ? std::vector<ActionStats>() : children(child);
  }
  // The most visited line from the root's action `first`, `first` included, at most `length`.
  std::vector<Move> line_from(Move first, std::size_t length) const {
    std::vector<Move> line;
    std::uint32_t n = child_by_move(first);
    while (n != 0 && line.size() < length) {
      NodeView const node = tree().view(n);
      line.push_back(node.move);
      std::uint32_t best = 0;
      std::uint32_t best_visits = 0;
      for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
        std::uint32_t const visits = tree().view(i).visits;
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

 private:
  Tree const& tree() const { return static_cast<Tree const&>(*this); }

  std::vector<ActionStats> children(std::uint32_t n) const {
    std::vector<ActionStats> stats;
    if (tree().nodes() == 0) return stats;
    NodeView const node = tree().view(n);
    for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
      NodeView const child = tree().view(i);
      stats.push_back({child.move, child.visits, child.wins});
    }
    return stats;
  }

  // The root's child for the action `move`; 0 when there is none.
  std::uint32_t child_by_move(Move move) const {
    if (tree().nodes() == 0) return 0;
    NodeView const root = tree().view(0);
    for (std::uint32_t i = root.first_child; i < root.first_child + root.child_count; ++i)
      if (tree().view(i).move == move) return i;
    return 0;
  }
};

#endif
