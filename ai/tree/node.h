// What every node store keeps of a node, as the descent and the readings see it.
#ifndef DRAVIX_AI_TREE_NODE_H
#define DRAVIX_AI_TREE_NODE_H

#include <cstdint>

#include "ai/playout.h"

// A node's game-theoretic value once known, for the side that played its action: the solver
// proves a node when its game is over, when the side to move wins within its turn by the
// elimination look-ahead, or from its children.
enum Proof : std::int8_t { PROVEN_LOSS = -1, UNPROVEN = 0, PROVEN_WIN = 1 };

// A node's child count, whether its children are only the first of its actions, and its proof
// share 16 bits: a node has at most FastPlayout::MAX_MOVES children, well under 2^13, and a node
// of 16 bytes makes a quarter more of them in the same memory.
namespace node_bits {
constexpr unsigned PROOF_SHIFT = 14;
constexpr std::uint16_t PARTIAL = 1u << 13;
constexpr std::uint16_t COUNT_MASK = PARTIAL - 1;
static_assert(FastPlayout::MAX_MOVES <= COUNT_MASK, "a node's children fit its count");
inline std::uint16_t with_proof(std::uint16_t bits, Proof proof) {
  unsigned const code = proof == PROVEN_WIN ? 1u : proof == PROVEN_LOSS ? 2u : 0u;
  return static_cast<std::uint16_t>((bits & (COUNT_MASK | PARTIAL)) | code << PROOF_SHIFT);
}
inline Proof proof_of(std::uint16_t bits) {
  unsigned const code = bits >> PROOF_SHIFT;
  return code == 1 ? PROVEN_WIN : code == 2 ? PROVEN_LOSS : UNPROVEN;
}
}  // namespace node_bits

// One node as the readings see it.
struct NodeView {
  std::uint32_t first_child = 0;  // 0 while it has no children
  std::uint32_t child_count = 0;
  FastPlayout::Move move = FastPlayout::NO_MOVE;
  std::uint32_t visits = 0;
  std::uint32_t wins = 0;  // won playouts of the side that played `move`
  Proof proof = UNPROVEN;
};

#endif
