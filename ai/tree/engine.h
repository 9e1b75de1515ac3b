// The tree search as a player of whole turns: the turn's thinking time is spent at its first
// action, and the second is answered from the same trees.
#ifndef DRAVIX_AI_TREE_ENGINE_H
#define DRAVIX_AI_TREE_ENGINE_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "ai/playout.h"
#include "ai/search_watch.h"
#include "ai/thought.h"
#include "ai/tree/search.h"
#include "ai/tree/settings.h"
#include "game/vorak.h"

class TreeEngine {
 public:
  explicit TreeEngine(std::uint64_t seed, TreeSettings const& settings = TreeSettings());
  ~TreeEngine();

  TreeSettings const& settings() const { return settings_; }

  // The action to play now for `position.own_player` (internal move string, "" for the
  // pass), thinking at most the settings' seconds (else `position.seconds_per_move`) for the
  // whole turn with `threads` threads (0: one per core). The turn's clock starts at the call.
  // The report goes to `report` unless it is null. Writes the search tallies into `position`.
  // A `watch` is handed snapshots of the first action's search, and may end it early.
  std::string choose(Vorak& position, unsigned threads, std::ostream* report,
                     SearchWatch* watch = nullptr);
  // What the latest choice made of its action.
  Thought const& thought() const { return thought_; }

 private:
  using Steady = std::chrono::steady_clock;
  std::string first_action(Vorak& position, unsigned threads, std::ostream* report,
                           Steady::time_point start, SearchWatch* watch);
  std::string second_action(Vorak& position, Steady::time_point start);
  double seconds(Vorak const& position) const;
  std::vector<std::uint64_t> seeds(unsigned threads);

  TreeSettings settings_;
  std::uint64_t rng_;
  TreeSearch search_;
  // What the turn's first action left for the second: the position it is due in and either
  // the trees' first action or a second capture the look-ahead already found.
  bool have_turn_ = false;
  Vorak expected_{0};
  FastPlayout::Move first_ = FastPlayout::NO_MOVE;
  bool have_decided_second_ = false;
  std::string decided_second_;
  Thought thought_;
};

// The settings the program's own tree search runs with (Vorak::monte_carlo): set by the
// command line before the first game.
extern TreeSettings treeSettings;

#endif
