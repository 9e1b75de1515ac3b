// Monte-Carlo tree search over the playout position: UCT on a tree of actions that grows where
// the playouts say the game is decided, with the same random playout policy as the flat search
// at its leaves. One tree, one thread; ai/tree_engine.h runs several and plays the turns, or
// grows one with every thread (ai/shared_tree.h).
#ifndef DRAVIX_AI_TREE_SEARCH_H
#define DRAVIX_AI_TREE_SEARCH_H

#include <atomic>
#include <cstdint>
#include <ctime>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "ai/tree_policy.h"
#include "ai/tree_reading.h"
#include "game/vorak.h"

class TreeSearch : public TreeReading<TreeSearch> {
 public:
  using Move = FastPlayout::Move;

  TreeSearch(std::uint64_t seed, TreeSettings const& settings);

  // Grows a fresh tree for `root.own_player`, whose first action of a turn is due, until the
  // calendar second reaches `deadline` (as the flat search's clock tells it) or `stop` is set.
  void run(Vorak const& root, std::time_t deadline, std::atomic<bool> const& stop);

  std::uint64_t playouts() const { return playouts_; }
  std::size_t nodes() const { return nodes_.size(); }

 private:
  struct Node {
    std::uint32_t first_child = 0;  // index of the first child; 0 while not expanded
    std::uint16_t child_count = 0;
    Move move = FastPlayout::NO_MOVE;
    std::uint32_t visits = 0;
    float wins = 0;  // for the side that played `move`
  };

  // One playout: down the tree by UCT, one expansion, a random game to its end, and the
  // result back up the path.
  void iterate(FastPlayout const& start, Players own);
  std::uint32_t select(Node const& node) const;

  friend class TreeReading<TreeSearch>;
  NodeView view(std::uint32_t n) const {
    Node const& node = nodes_[n];
    return {node.first_child, node.child_count, node.move, node.visits, node.wins};
  }

  TreeSettings settings_;
  boost::random::mt19937 engine_;
  std::vector<Node> nodes_;
  std::vector<std::uint32_t> path_;
  std::vector<Players> movers_;  // who played each action of the path
  std::uint64_t playouts_ = 0;
  FastPlayout::List list_;
};

#endif
