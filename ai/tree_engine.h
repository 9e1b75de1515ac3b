// The tree search as a player of whole turns: the turn's thinking time is spent at its first
// action, and the second is answered from the same trees. With several threads either each grows
// a tree of its own and the trees are merged at the root (root parallelism), or all grow one
// shared tree (tree parallelism), as the settings' `parallel` says.
#ifndef DRAVIX_AI_TREE_ENGINE_H
#define DRAVIX_AI_TREE_ENGINE_H

#include <cstdint>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ai/shared_tree.h"
#include "ai/tree_search.h"
#include "game/vorak.h"

class TreeEngine {
 public:
  explicit TreeEngine(std::uint64_t seed, TreeSettings const& settings = TreeSettings());
  ~TreeEngine();

  // The action to play now for `position.own_player` (internal move string, "" for the
  // pass), thinking at most `position.seconds_per_move` for the whole turn with `threads`
  // threads (0: one per core). The report goes to `report` unless it is null. Writes the search
  // tallies into `position`.
  std::string choose(Vorak& position, unsigned threads, std::ostream* report);

 private:
  std::string first_action(Vorak& position, unsigned threads, std::ostream* report);
  std::string second_action(Vorak& position, std::ostream* report);
  // Grows the trees from `position` until the calendar second reaches `deadline`, or for
  // `playouts` playouts per thread if not 0.
  void grow(Vorak const& position, unsigned threads, std::time_t deadline, std::uint64_t playouts);
  // Calls f(tree) for every tree the last search grew.
  template <class F>
  void for_each_tree(F const& f) const {
    if (settings_.parallel == Parallel::TREE) {
      if (shared_) f(*shared_);
    } else {
      for (auto const& tree : trees_) f(*tree);
    }
  }

  TreeSettings settings_;
  std::uint64_t rng_;
  std::vector<std::unique_ptr<TreeSearch>> trees_;  // root parallelism: one per thread
  std::unique_ptr<SharedTree> shared_;              // tree parallelism: made at the first search
  // What the turn's first action left for the second: the position it is due in and either
  // the trees' first action or a second capture the look-ahead already found.
  bool have_turn_ = false;
  Vorak expected_{0};
  FastPlayout::Move first_ = FastPlayout::NO_MOVE;
  bool have_decided_second_ = false;
  std::string decided_second_;
};

#endif
