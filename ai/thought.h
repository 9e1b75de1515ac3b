// What a search thinks of the action due, as the manager's page draws it and its records keep
// it: the leading actions with their playouts and wins, the line it expects and the win rate it
// gives the side to act.
#ifndef DRAVIX_AI_THOUGHT_H
#define DRAVIX_AI_THOUGHT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ai/search_state.h"

struct Candidate {
  std::string move;            // internal move string, "" for the pass
  std::uint64_t playouts = 0;  // through the action: the flat search's playouts, the tree's visits
  std::uint64_t wins = 0;      // of them won by the side to act
};

struct Thought {
  // The most candidates kept, and the longest line.
  static constexpr std::size_t MOST_CANDIDATES = 5;
  static constexpr std::size_t LONGEST_LINE = 8;

  Engine engine = Engine::FLAT;
  std::uint64_t playouts = 0;  // of the whole search so far
  // The win rate of the leading (or chosen) action for the side to act, 0 to 1.
  double value = 0.5;
  // The leading action first, then in the engine's order of preference.
  std::vector<Candidate> candidates;
  // From the leading action on, internal move strings, "" for a pass.
  std::vector<std::string> line;
};

// The flat search's thought from its tables of won and lost opening sequences: for the first
// action of a turn (`first` not given) the actions that open the turn, for the second those that
// follow `first`. An action ranks by its best sequence, as the search chooses: the most wins,
// then the fewest losses; `played`, when given, leads whatever its rank. The value is that of
// the leading action's best sequence, and the line that sequence (its first action alone in
// White's opening turn, `single`, which has no second).
Thought flat_thought(SequenceTable const& best, SequenceTable const& worst,
                     std::optional<std::string> const& first, bool single,
                     std::optional<std::string> const& played);

#endif
