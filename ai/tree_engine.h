// The tree search as a player of whole turns: the turn's thinking time is spent at its first
// action, and the second is answered from the same trees. Several trees grow at once, one per
// thread, and are merged at the root (root parallelism).
#ifndef DRAVIX_AI_TREE_ENGINE_H
#define DRAVIX_AI_TREE_ENGINE_H

#include <cstdint>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ai/tree_search.h"
#include "game/vorak.h"

class TreeEngine {
 public:
  explicit TreeEngine(std::uint64_t seed, TreeSettings const& settings = TreeSettings());
  ~TreeEngine();

  // The action to play now for `position.own_player` (internal move string, "" for the
  // pass), thinking at most `position.seconds_per_move` for the whole turn with `threads`
  // trees (0: one per core). The report goes to `report` unless it is null. Writes the search
  // tallies into `position`.
  std::string choose(Vorak& position, unsigned threads, std::ostream* report);

 private:
  std::string first_action(Vorak& position, unsigned threads, std::ostream* report);
  std::string second_action(Vorak& position, std::ostream* report);
  // Grows every tree from `position` until the calendar second reaches `deadline`, or for
  // `playouts` playouts each if not 0.
  void grow(Vorak const& position, unsigned threads, std::time_t deadline, std::uint64_t playouts);

  TreeSettings settings_;
  std::uint64_t rng_;
  std::vector<std::unique_ptr<TreeSearch>> trees_;
  // What the turn's first action left for the second: the position it is due in and either
  // the trees' first action or a second capture the look-ahead already found.
  bool have_turn_ = false;
  Vorak expected_{0};
  FastPlayout::Move first_ = FastPlayout::NO_MOVE;
  bool have_decided_second_ = false;
  std::string decided_second_;
};

#endif
