// The tree search with every thread growing one tree (tree parallelism): the same selection,
// expansion and playouts as TreeSearch, on nodes that the threads share. A thread on its way
// down counts a visit at every node of its path before its playout has a result, a virtual
// loss that turns the other threads to other lines until the result comes back up; the win,
// if any, is added then. The nodes are allocated once, up to the cap, and only the thread that
// claims a leaf adds its children.
#ifndef DRAVIX_AI_SHARED_TREE_H
#define DRAVIX_AI_SHARED_TREE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

#include "ai/playout.h"
#include "ai/tree_policy.h"
#include "ai/tree_reading.h"
#include "game/vorak.h"

class SharedTree : public TreeReading<SharedTree> {
 public:
  using Move = FastPlayout::Move;

  // Allocates `settings.max_nodes` nodes, untouched until a search reaches them.
  explicit SharedTree(TreeSettings const& settings);
  ~SharedTree();
  SharedTree(SharedTree const&) = delete;
  SharedTree& operator=(SharedTree const&) = delete;

  // Grows a fresh tree for `root.own_player`, whose first action of a turn is due, with one
  // thread per seed (the calling thread among them) until the calendar second reaches
  // `deadline`, or for `playouts` playouts per thread if not 0. The readings are valid once it
  // has returned.
  void run(Vorak const& root, std::vector<std::uint64_t> const& seeds, std::time_t deadline,
           std::uint64_t playouts);

  std::uint64_t playouts() const { return playouts_; }
  std::size_t nodes() const { return next_.load(std::memory_order_relaxed); }

 private:
  // A node's children are published by the release store of its `first_child`: whoever reads
  // a child index there by an acquire load sees their moves, zeroed counts and `child_count`,
  // none of which changes until the next search.
  struct Node {
    std::atomic<std::uint32_t> first_child;  // 0, EXPANDING, or the index of the first child
    std::atomic<std::uint32_t> visits;       // virtual losses of the playouts under way included
    std::atomic<std::uint32_t> wins;         // for the side that played `move`
    std::uint16_t child_count;
    Move move;
  };
  static constexpr std::uint32_t EXPANDING = 0xFFFFFFFF;  // a thread is adding the children
  struct Worker;

  // Searches with one thread until its clock or playout count runs out.
  void work(Worker& worker, FastPlayout const& start, Players own, std::time_t deadline,
            std::uint64_t playouts);
  // One playout: down the tree by UCT with virtual losses, at most one expansion, a random
  // game to its end, and the wins back up the path.
  void iterate(Worker& worker, FastPlayout const& start, Players own);
  // The children of `n` made for the mover's legal actions in `p`, with `n` claimed: false,
  // releasing the claim, when there is no room for them.
  bool expand(std::uint32_t n, Worker& worker);

  friend class TreeReading<SharedTree>;
  NodeView view(std::uint32_t n) const;

  TreeSettings settings_;
  std::unique_ptr<Node[]> nodes_;
  std::atomic<std::uint32_t> next_{0};  // the nodes in use; never beyond the cap
  std::uint64_t playouts_ = 0;
};

#endif
