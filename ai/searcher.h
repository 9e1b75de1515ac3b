// A search with tables and a random engine of its own, so that several searches can run at
// once (games played side by side by the manager). The console program's search uses the
// program-wide ones through Vorak::monte_carlo.
#ifndef DRAVIX_AI_SEARCHER_H
#define DRAVIX_AI_SEARCHER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ai/search_state.h"
#include "ai/search_watch.h"
#include "ai/thought.h"
#include "ai/tree/settings.h"
#include "game/vorak.h"

struct SearchSettings {
  Engine engine = Engine::FLAT;
  unsigned threads = 1;                // searchers of the same position at once; 0: every core
  Parallel parallel = Parallel::ROOT;  // how the tree search's threads share the work
  bool report = true;                  // the search's console report on standard output
  // When set, each thread's search ends after this many clock checks (the tree search: this
  // many playouts per tree) instead of at the deadline, so that a search repeats exactly.
  std::uint64_t steps = 0;
  // The tree search only. Its thinking time per turn in seconds, fractions allowed; 0 takes
  // the position's whole `seconds_per_move`.
  double seconds = 0;
  // The most memory its trees may take, in MiB; 0 for the default.
  std::size_t tree_memory_mb = 0;
  // End the turn when the calendar second reaches the start's second plus the thinking time,
  // as the flat search does, rather than by its own monotonic clock: engines compared on one
  // clock.
  bool calendar_clock = false;
};

class Searcher {
 public:
  explicit Searcher(std::uint32_t seed);
  ~Searcher();
  Searcher(Searcher const&) = delete;
  Searcher& operator=(Searcher const&) = delete;

  // The action to play now for `position.own_player`, chosen as Vorak::monte_carlo chooses:
  // a search of `position.seconds_per_move` for the first action of a turn, the same tables
  // read again for the second. Writes the search tallies into `position`. Without a report it
  // writes nothing anywhere; with one, it writes to std::cout as the program's search does.
  // With a `watch`, the search hands it snapshots as it goes and ends early when it is
  // cancelled.
  std::string choose(Vorak& position, SearchSettings const& settings, SearchWatch* watch = nullptr);
  // What the latest choice made of its action and the others: read from its tables once it has
  // chosen, never during the search.
  Thought const& thought() const;

 private:
  struct Tables;
  std::unique_ptr<Tables> tables_;
};

#endif
