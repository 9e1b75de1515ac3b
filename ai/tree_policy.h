// What every form of the tree search shares: its settings, the UCT choice among a node's
// children, when a leaf gets its children, and the random playout from a leaf. The single-thread
// tree (ai/tree_search.h) and the tree that all threads grow together (ai/shared_tree.h) differ
// only in how they keep their nodes.
#ifndef DRAVIX_AI_TREE_POLICY_H
#define DRAVIX_AI_TREE_POLICY_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "game/vorak.h"

// How several threads search one position: each its own tree, merged at the root (ROOT), or
// all of them one tree, kept apart by virtual losses (TREE).
enum class Parallel { ROOT, TREE };
// "root" or "tree", and back; nothing for another name.
char const* parallel_name(Parallel parallel);
std::optional<Parallel> parallel_from(std::string const& name);

struct TreeSettings {
  double exploration = 0.7;         // the UCT constant
  std::size_t max_nodes = 1 << 22;  // the tree stops growing here; the search goes on
  std::uint32_t expand_after = 4;   // visits a leaf takes before its children are added
  std::uint64_t max_playouts = 0;   // per thread, 0 for no limit: searches that repeat exactly
  Parallel parallel = Parallel::ROOT;
};

// Whether a leaf with `visits` earlier visits gets its children now; the root always does.
inline bool ready_to_expand(bool root, std::uint32_t visits, TreeSettings const& settings) {
  return root || visits >= settings.expand_after;
}

// The child of the highest UCT value among `count` children from `first`, the first unvisited
// one before any; `child(i)` gives child i's visits and wins (for the side that played it).
template <class Child>
std::uint32_t select_by_uct(std::uint32_t first, std::uint32_t count, std::uint32_t parent_visits,
                            double exploration, Child const& child) {
  double const log_n = std::log(static_cast<double>(parent_visits) + 1);
  std::uint32_t best = first;
  double best_value = -1;
  for (std::uint32_t i = first; i < first + count; ++i) {
    auto const [visits, wins] = child(i);
    if (visits == 0) return i;
    double const value = static_cast<float>(wins) / static_cast<std::uint32_t>(visits) +
                         exploration * std::sqrt(log_n / static_cast<std::uint32_t>(visits));
    if (value > best_value) {
      best_value = value;
      best = i;
    }
  }
  return best;
}

// Plays random actions by the flat search's policy from `p`, `mover` to act, until the game is
// decided; returns the winner.
Players play_out(FastPlayout& p, Players mover, boost::random::mt19937& engine);

#endif
