// What the tree search runs with: its constants, its memory, its clock, and how its threads
// share a position.
#ifndef DRAVIX_AI_TREE_SETTINGS_H
#define DRAVIX_AI_TREE_SETTINGS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// How several threads search one position: each its own tree, merged at the root (ROOT), or
// all of them one tree, kept apart by virtual losses (TREE).
enum class Parallel { ROOT, TREE };
// "root" or "tree", and back; nothing for another name.
char const* parallel_name(Parallel parallel);
std::optional<Parallel> parallel_from(std::string const& name);

struct TreeSettings {
  // A widening that takes in every child from a node's first visit: its leaves get all their
  // children at once.
  static constexpr double EVERY_CHILD = 1000;

  double exploration = 0.5;  // the UCT constant: 0.5 beat 0.7 in duels (see README)
  // A node considers 1 + widening * sqrt(visits) of its children, in list order or that of
  // their priors, and a leaf gets only those its window will soon reach (partial child lists).
  // Every child at once by default: in duels the widening did not pay, neither with memory to
  // spare nor with too little (see README, The tree search).
  double widening = EVERY_CHILD;
  // The value an untried child competes with (first-play urgency): a node keeps to a child
  // valued above it instead of trying every other first; 1 beat UNTRIED_FIRST in duels (see
  // README). UNTRIED_FIRST tries every child once before the UCT values choose.
  static constexpr double UNTRIED_FIRST = 1000;
  double first_play = 1.0;
  // Children ordered by their actions' features, else in list order. With the first-play
  // value the order decides which children are tried at all, and the features' order won its
  // duel (see README, The tree search); with every child tried first it had lost.
  bool priors = true;
  bool solver = true;  // wins and losses proven at the nodes and carried up the tree
  // The fewest visits a leaf takes before its children are added; more when the memory left
  // would not last the turn's expected playouts.
  std::uint32_t expand_after = 4;
  // All the trees of one search together, in MiB; 0 for DEFAULT_MEMORY_MB.
  std::size_t memory_mb = 0;
  std::uint64_t max_playouts = 0;  // per thread, 0 for no limit: searches that repeat exactly
  Parallel parallel = Parallel::ROOT;
  // Thinking time per turn in seconds, fractions allowed; 0 takes the position's
  // seconds_per_move.
  double seconds = 0;
  // End the turn by the calendar second, as the flat search does, instead of by a monotonic
  // clock started with the turn.
  bool calendar_clock = false;

  static constexpr std::size_t DEFAULT_MEMORY_MB = 512;
  std::size_t memory_bytes() const {
    return (memory_mb == 0 ? DEFAULT_MEMORY_MB : memory_mb) * std::size_t{1024} * 1024;
  }
};

// Reads one "KEY=VALUE" of the tuning keys (exploration, widening, first_play, priors, solver,
// expand_after) into `settings`; the reason of a refusal otherwise.
std::optional<std::string> tune(TreeSettings& settings, std::string const& item);

#endif
