// The choices of a thread's busiest nodes, kept for a while: a node with thousands of visits
// moves its children's values by less than a thousandth between two descents, yet reckoning its
// hundred or so children at every one of them took a sixth of the descent's time. Such a node
// takes the child its last reckoning chose for a share of its visits, then reckons again.
#ifndef DRAVIX_AI_TREE_STEADY_CHOICE_H
#define DRAVIX_AI_TREE_STEADY_CHOICE_H

#include <algorithm>
#include <array>
#include <cstdint>

#include "ai/tree/node.h"

class SteadyChoices {
 public:
  // Nodes with fewer visits reckon at every descent.
  static constexpr std::uint32_t FROM = 4096;
  // A reckoning holds for one descent in this many of the node's visits.
  static constexpr std::uint32_t SHARE = 4096;

  // The child of `node` to descend to, whose children are `count` from `first` and whose
  // visits are `visits`; `proof(c)` gives child c's proof, `reckon()` chooses afresh. A kept
  // choice is dropped once its child is proven either way or beyond the node's children.
  template <class ProofOf, class Reckon>
  std::uint32_t choose(std::uint32_t node, std::uint32_t first, std::uint32_t count,
                       std::uint32_t visits, ProofOf const& proof, Reckon const& reckon) {
    if (visits < FROM) return reckon();
    Kept& kept = kept_[node % SLOTS];
    if (kept.node == node && kept.left > 0 && kept.offset < count) {
      --kept.left;
      std::uint32_t const c = first + kept.offset;
      if (proof(c) == UNPROVEN) return c;
    }
    std::uint32_t const c = reckon();
    kept = Kept{node, static_cast<std::uint16_t>(c - first),
                static_cast<std::uint16_t>(std::min<std::uint32_t>(visits / SHARE, 0xFFFF))};
    return c;
  }

  // What is kept of `node` is forgotten: a proof changed its children.
  void forget(std::uint32_t node) {
    Kept& kept = kept_[node % SLOTS];
    if (kept.node == node) kept.left = 0;
  }

 private:
  // Few nodes reach FROM visits in a turn, and a clash only costs a reckoning.
  static constexpr std::uint32_t SLOTS = 4096;
  struct Kept {
    std::uint32_t node = 0;
    std::uint16_t offset = 0;  // from the node's first child, which a widening moves
    std::uint16_t left = 0;    // descents it still holds for
  };
  std::array<Kept, SLOTS> kept_{};
};

#endif
