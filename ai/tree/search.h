// One search of a position by the tree search, on one thread or several: each thread grows a
// tree of its own and the trees are read together at the root (root parallelism), or all grow
// one tree (tree parallelism). The nodes are kept from one search to the next, so that a turn
// starts without allocating.
#ifndef DRAVIX_AI_TREE_SEARCH_H
#define DRAVIX_AI_TREE_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ai/playout.h"
#include "ai/search_watch.h"
#include "ai/tree/local_store.h"
#include "ai/tree/reading.h"
#include "ai/tree/settings.h"
#include "ai/tree/shared_store.h"
#include "ai/tree/turn_clock.h"
#include "game/vorak.h"

class TreeSearch {
 public:
  using Move = FastPlayout::Move;

  explicit TreeSearch(TreeSettings const& settings);
  ~TreeSearch();

  // Grows fresh trees for `root.own_player`, whose action is due, with one thread per seed (the
  // calling thread among them) until `clock` expires, or for `playouts` playouts per thread if
  // not 0. The root's actions are listed before the clock is asked, so that a search that ends
  // at once still knows them, in the order of its priors. A thread that cannot be started
  // leaves the search to those that could; the first failure of a thread is thrown once all
  // have ended. The readings are valid once it has returned. A `watch` is handed snapshots of
  // the first thread's tree, and ends the search early when it is cancelled.
  void run(Vorak const& root, std::vector<std::uint64_t> const& seeds, TurnClock const& clock,
           std::uint64_t playouts, SearchWatch* watch = nullptr);

  // The readings, every tree's added up.
  std::vector<ActionStats> root_actions() const;
  std::vector<ActionStats> actions_after(Move first) const;
  // The longest of the trees' most visited lines from `first`.
  std::vector<Move> line_from(Move first, std::size_t length) const;
  std::uint64_t playouts() const { return playouts_; }
  std::size_t nodes() const;
  std::size_t capacity() const;
  // The most visits a leaf had to take before its children were added, at any reckoning of any
  // thread: the end of a search lowers it again, when few playouts are left for the room.
  std::uint32_t expand_after() const { return expand_after_; }

  // A root's visits stop short of this, so that no counter of 32 bits wraps.
  static constexpr std::uint32_t MOST_VISITS = 0xFFFF0000u;

 private:
  template <class F>
  void for_each_store(F const& f) const {
    if (shared_) f(*shared_);
    for (std::size_t i = 0; i < active_; ++i) f(*locals_[i]);
  }
  // The stores for `threads` threads in the settings' form: those there are, while there are
  // enough (a search on fewer threads takes the first ones), else new ones. Their nodes take
  // the memory bound less what the `searchers` threads' descents keep of their own.
  void prepare(std::size_t threads, std::size_t searchers);
  // What one thread did.
  struct Lane {
    std::uint64_t playouts;
    std::uint32_t expand_after;
  };
  // What a thread tells a watch: nothing but whether to go on, or (`lanes` > 0, the first
  // thread) also its tree, whose playouts stand for those of `lanes` threads.
  struct Watching {
    SearchWatch* watch = nullptr;
    std::size_t lanes = 0;
  };
  template <class Store>
  Lane grow(Store& store, FastPlayout const& start, Players own, std::uint64_t seed,
            TurnClock clock, std::uint64_t playouts, std::size_t sharers, Watching watching);

  TreeSettings settings_;
  std::vector<std::unique_ptr<LocalStore>> locals_;  // root parallelism: one per thread
  std::size_t active_ = 0;                           // those of the last search
  std::unique_ptr<SharedStore> shared_;              // tree parallelism
  std::size_t shared_searchers_ = 0;                 // the threads its size left room for
  std::uint64_t playouts_ = 0;
  std::uint32_t expand_after_ = 0;
};

// Merges the same actions' statistics from several trees that list them alike.
std::vector<ActionStats> merged(std::vector<std::vector<ActionStats>> const& per_tree);

// The action the trees' statistics choose: a proven win first, never a proven loss while
// another remains, else the most visited, the better win rate among equals; with no visits
// at all, the first action in the trees' order (the best of the priors). NO_MOVE when there
// is no action.
ActionStats best_action(std::vector<ActionStats> const& actions);

#endif
