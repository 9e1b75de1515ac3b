// The nodes of one tree that every thread grows at once (tree parallelism). A thread counts a
// visit at every node of its way down before its playout has a result, a virtual loss that
// turns the other threads to other lines until the result comes back up. Only the thread that
// claims a leaf adds its children; the others play out from the leaf meanwhile. The nodes are
// allocated once, up to the cap, and handed out from one counter.
#ifndef DRAVIX_AI_TREE_SHARED_STORE_H
#define DRAVIX_AI_TREE_SHARED_STORE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ai/playout.h"
#include "ai/tree/node.h"
#include "ai/tree/node_memory.h"

class SharedStore {
 public:
  using Move = FastPlayout::Move;

  // Room for `capacity` nodes, at least the root and one list of children, at most what 32-bit
  // indices reach; the pages are touched only as the tree grows into them.
  explicit SharedStore(std::size_t capacity);
  ~SharedStore();
  SharedStore(SharedStore const&) = delete;
  SharedStore& operator=(SharedStore const&) = delete;

  // A tree of the root alone; no thread may be searching.
  void clear();
  std::size_t size() const { return next_.load(std::memory_order_relaxed); }
  std::size_t capacity() const { return capacity_; }
  bool has_room(std::size_t count) const { return size() + count <= capacity_; }

  // A node's children are published by the release store of its `first_child`: whoever reads
  // a child index there by an acquire load sees their moves, zeroed counts and child count.
  std::uint32_t first_child(std::uint32_t n) const {
    std::uint32_t const first = nodes_[n].first_child.load(std::memory_order_acquire);
    return first == EXPANDING ? 0 : first;
  }
  std::uint32_t child_count(std::uint32_t n) const {
    return nodes_[n].bits.load(std::memory_order_relaxed) & node_bits::COUNT_MASK;
  }
  // Whether this thread may add the leaf's children: no other thread has, or is doing so.
  bool claim(std::uint32_t n) {
    std::uint32_t expected = 0;
    return nodes_[n].first_child.compare_exchange_strong(expected, EXPANDING,
                                                         std::memory_order_acquire);
  }
  void release(std::uint32_t n) { nodes_[n].first_child.store(0, std::memory_order_relaxed); }
  // Other threads change a node's children between two choices there.
  static constexpr bool ONE_THREAD = false;
  // Every leaf gets all its children at once: moving a list that other threads are reading
  // and counting in is not worth its locks.
  static constexpr bool PARTIAL_LISTS = false;
  bool partial(std::uint32_t) const { return false; }
  // The children of the claimed leaf `n`, one for each of `moves` in their order (all of them,
  // whatever is `kept`); false, releasing the claim, when there is no room for them.
  bool add_children(std::uint32_t n, FastPlayout::List const& moves, std::size_t kept);

  Move move(std::uint32_t n) const { return nodes_[n].move; }
  std::uint32_t visits(std::uint32_t n) const {
    return nodes_[n].visits.load(std::memory_order_relaxed);
  }
  std::uint32_t wins(std::uint32_t n) const {
    return nodes_[n].wins.load(std::memory_order_relaxed);
  }
  Proof proof(std::uint32_t n) const {
    return node_bits::proof_of(nodes_[n].bits.load(std::memory_order_relaxed));
  }
  // A proof is a fact of the game: threads that find it at once write the same.
  void prove(std::uint32_t n, Proof proof) {
    std::uint16_t bits = nodes_[n].bits.load(std::memory_order_relaxed);
    while (!nodes_[n].bits.compare_exchange_weak(bits, node_bits::with_proof(bits, proof),
                                                 std::memory_order_relaxed)) {
    }
  }
  void enter(std::uint32_t n) { nodes_[n].visits.fetch_add(1, std::memory_order_relaxed); }
  void credit(std::uint32_t n) { nodes_[n].wins.fetch_add(1, std::memory_order_relaxed); }

  NodeView view(std::uint32_t n) const;

 private:
  static constexpr std::uint32_t EXPANDING = 0xFFFFFFFF;  // a thread is adding the children
  // Node indices are 32 bits and one value marks a claimed node.
  static constexpr std::size_t MOST_NODES = 0xFFFFFFF0u;

  struct Node {
    std::atomic<std::uint32_t> first_child;  // 0, EXPANDING, or the index of the first child
    std::atomic<std::uint32_t> visits;       // virtual losses of the playouts under way included
    std::atomic<std::uint32_t> wins;         // for the side that played `move`
    Move move;
    std::atomic<std::uint16_t> bits;  // the child count and the proof (node_bits)
  };
  static_assert(sizeof(Node) == 16, "four nodes to a cache line");
  static void reset(Node& node, Move move);

  std::size_t capacity_;
  NodeMemory memory_;
  Node* nodes_;
  std::atomic<std::uint32_t> next_{1};  // the nodes in use; never beyond the cap
};

#endif
