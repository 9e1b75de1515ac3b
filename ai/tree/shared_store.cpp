// The shared nodes: handed out from one counter, published by a release store.
#include "ai/tree/shared_store.h"

#include <algorithm>

SharedStore::SharedStore(std::size_t capacity)
    : capacity_(std::clamp<std::size_t>(capacity, 1 + FastPlayout::MAX_MOVES, MOST_NODES)),
      memory_(capacity_ * sizeof(Node)),
      nodes_(memory_.objects<Node>(capacity_)) {
  clear();
}

SharedStore::~SharedStore() = default;

void SharedStore::reset(Node& node, Move move) {
  node.first_child.store(0, std::memory_order_relaxed);
  node.visits.store(0, std::memory_order_relaxed);
  node.wins.store(0, std::memory_order_relaxed);
  node.move = move;
  node.bits.store(0, std::memory_order_relaxed);
}

void SharedStore::clear() {
  reset(nodes_[0], FastPlayout::NO_MOVE);
  next_.store(1, std::memory_order_relaxed);
}

bool SharedStore::add_children(std::uint32_t n, FastPlayout::List const& moves, std::size_t) {
  auto const count = static_cast<std::uint32_t>(moves.size());
  std::uint32_t first = next_.load(std::memory_order_relaxed);
  do {
    if (std::uint64_t{first} + count > capacity_) {
      release(n);
      return false;
    }
  } while (!next_.compare_exchange_weak(first, first + count, std::memory_order_relaxed));
  for (std::uint32_t i = 0; i < count; ++i) reset(nodes_[first + i], moves[i]);
  Node& node = nodes_[n];
  std::uint16_t bits = node.bits.load(std::memory_order_relaxed);
  while (!node.bits.compare_exchange_weak(
      bits, static_cast<std::uint16_t>((bits & ~node_bits::COUNT_MASK) | count),
      std::memory_order_relaxed)) {
  }
  node.first_child.store(first, std::memory_order_release);
  return true;
}

NodeView SharedStore::view(std::uint32_t n) const {
  NodeView v;
  v.first_child = first_child(n);
  v.child_count = v.first_child == 0 ? 0 : child_count(n);
  v.move = nodes_[n].move;
  v.visits = visits(n);
  v.wins = wins(n);
  v.proof = proof(n);
  return v;
}
