// The nodes of a tree that one thread grows alone: plain counters in one array, allocated once
// up to the tree's share of the memory and kept from one search to the next.
#ifndef DRAVIX_AI_TREE_LOCAL_STORE_H
#define DRAVIX_AI_TREE_LOCAL_STORE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ai/playout.h"
#include "ai/tree/node.h"
#include "ai/tree/node_memory.h"

class LocalStore {
 public:
  using Move = FastPlayout::Move;

  // Room for `capacity` nodes, at least the root and one list of children, at most what 32-bit
  // indices reach.
  explicit LocalStore(std::size_t capacity)
      : capacity_(std::clamp<std::size_t>(capacity, 1 + FastPlayout::MAX_MOVES, MOST_NODES)),
        memory_(capacity_ * sizeof(Node)),
        nodes_(memory_.objects<Node>(capacity_)) {
    clear();
  }

  // A tree of the root alone.
  void clear() {
    size_ = 1;
    reset(nodes_[0], FastPlayout::NO_MOVE);
  }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool has_room(std::size_t count) const { return size_ + count <= capacity_; }

  std::uint32_t first_child(std::uint32_t n) const { return nodes_[n].first_child; }
  std::uint32_t child_count(std::uint32_t n) const {
    return nodes_[n].bits & node_bits::COUNT_MASK;
  }
  // Only the thread that chooses at a node changes its children: a choice can be reused.
  static constexpr bool ONE_THREAD = true;
  bool claim(std::uint32_t) { return true; }  // nobody else expands here
  void release(std::uint32_t) {}

  // A leaf's children may be only the first of its actions, the rest added when the choice
  // reaches them: most leaves are visited a few times, and their unvisited children would
  // take most of the memory and of the time spent writing it.
  static constexpr bool PARTIAL_LISTS = true;
  // The children of the claimed leaf `n`, one for each of the first `kept` of `moves` in their
  // order; false when there is no room for them.
  bool add_children(std::uint32_t n, FastPlayout::List const& moves, std::size_t kept) {
    kept = std::min(kept, moves.size());
    if (!has_room(kept)) return false;
    auto const first = static_cast<std::uint32_t>(size_);
    for (std::size_t i = 0; i < kept; ++i) reset(nodes_[size_++], moves[i]);
    auto bits = static_cast<std::uint16_t>(kept);
    if (kept < moves.size()) bits |= node_bits::PARTIAL;
    nodes_[n].first_child = first;
    nodes_[n].bits = node_bits::with_proof(bits, proof(n));
    return true;
  }
  bool partial(std::uint32_t n) const { return nodes_[n].bits & node_bits::PARTIAL; }
  // Every one of `moves`, the whole list whose first ones the partial node `n` has: its
  // children move to a new block with their statistics and subtrees, the rest follow them. The
  // old block is left unused. False when there is no room.
  bool widen(std::uint32_t n, FastPlayout::List const& moves) {
    if (!has_room(moves.size())) return false;
    std::uint32_t const had = child_count(n);
    auto const first = static_cast<std::uint32_t>(size_);
    std::copy_n(&nodes_[nodes_[n].first_child], had, &nodes_[first]);
    for (std::size_t i = had; i < moves.size(); ++i) reset(nodes_[first + i], moves[i]);
    size_ += moves.size();
    nodes_[n].first_child = first;
    nodes_[n].bits = node_bits::with_proof(static_cast<std::uint16_t>(moves.size()), proof(n));
    return true;
  }
  Move move(std::uint32_t n) const { return nodes_[n].move; }
  std::uint32_t visits(std::uint32_t n) const { return nodes_[n].visits; }
  std::uint32_t wins(std::uint32_t n) const { return nodes_[n].wins; }
  Proof proof(std::uint32_t n) const { return node_bits::proof_of(nodes_[n].bits); }
  void prove(std::uint32_t n, Proof proof) {
    nodes_[n].bits = node_bits::with_proof(nodes_[n].bits, proof);
  }
  void enter(std::uint32_t n) { ++nodes_[n].visits; }
  void credit(std::uint32_t n) { ++nodes_[n].wins; }

  NodeView view(std::uint32_t n) const {
    Node const& node = nodes_[n];
    NodeView v;
    v.first_child = node.first_child;
    v.child_count = child_count(n);
    v.move = node.move;
    v.visits = node.visits;
    v.wins = node.wins;
    v.proof = proof(n);
    return v;
  }

 private:
  // Node indices are 32 bits.
  static constexpr std::size_t MOST_NODES = 0xFFFFFFF0u;

  struct Node {
    std::uint32_t first_child;  // index of the first child; 0 while not expanded
    std::uint32_t visits;
    std::uint32_t wins;  // for the side that played `move`
    Move move;
    std::uint16_t bits;  // the child count and the proof (node_bits)
  };
  static_assert(sizeof(Node) == 16, "four nodes to a cache line");
  static void reset(Node& node, Move move) { node = Node{0, 0, 0, move, 0}; }

  std::size_t capacity_;
  NodeMemory memory_;
  Node* nodes_;
  std::size_t size_ = 1;
};

#endif
