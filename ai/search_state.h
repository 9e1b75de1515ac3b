// The move choice's shared state: the program's random engine and playout tables, the rule
// thresholds of the playout policy, and what a search writes to (its context).
#ifndef DRAVIX_AI_SEARCH_STATE_H
#define DRAVIX_AI_SEARCH_STATE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include <boost/functional/hash.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/unordered_map.hpp>

#include "game/vorak.h"

// The program's one random engine, seeded once from the calendar time at start-up.
extern boost::random::mt19937 gen;

using SequenceTable = boost::unordered_map<std::string, std::uint32_t, boost::hash<std::string>>;
// Won and lost playouts of the current search, per opening sequence of the program's actions.
extern SequenceTable bestMoves;
extern SequenceTable worstMoves;

// Actions executed in the playouts of the latest search of the program; the benchmark reports
// it per playout.
extern std::uint64_t playoutActions;

// Searchers of the same position at once in the program's own searches (monte_carlo): 1, the
// default, is the search of one thread; 0 means one per core.
extern unsigned searchThreads;

// 0, the default: the flat search of the program's first actions runs for the thinking time.
// Otherwise it runs exactly this many clock checks, whatever the time: a fuzzed match loop gets
// a search of milliseconds that still runs every part of the real one.
extern std::uint64_t searchSteps;

// How the program chooses its actions: the flat search over opening sequences (the default), or
// the tree search (ai/tree/engine.h).
enum class Engine { FLAT, MCTS };
extern Engine searchEngine;
// "flat" or "mcts", and back; nothing for another name.
char const* engine_name(Engine engine);
std::optional<Engine> engine_from(std::string const& name);

// The look-ahead is tried when the opponent is down to this many stacks of some kind.
constexpr unsigned short LOW_STACKS = 2;
// Without a single win among more playouts than this, the policy drops its preferences.
constexpr std::uint32_t CONCERNED_AFTER = 9000;

// Draws an index from 0 to n - 1, every one equally likely; n must not be 0.
int draw_index(boost::random::mt19937& engine, std::size_t n);
inline int draw_index(std::size_t n) {
  return draw_index(gen, n);
}

// What the elimination look-ahead found: the winner and the one or two captures leading there.
struct Decision {
  Players winner = NONE;
  std::string first;   // internal move string
  std::string second;  // empty for a decision at depth one
};

// Tries the mover's captures and pairs of captures, in list order, on copies of `state`, and
// reports the first that ends the game. The mover's first action of a turn must be due.
bool elimination_lookahead(Vorak const& state, Players mover, Decision& decision);

// True when `mover`'s opponent is down to LOW_STACKS or fewer stacks of some kind.
inline bool opponent_low(unsigned short v, unsigned short m, unsigned short w) {
  return v <= LOW_STACKS || m <= LOW_STACKS || w <= LOW_STACKS;
}

// What one search draws from and writes to: the program-wide engine, tables and console for
// the program's own search, a searcher's own ones otherwise.
struct SearchContext {
  boost::random::mt19937& engine;
  SequenceTable& best;
  SequenceTable& worst;
  std::ostream* out;                 // the search's report; nullptr: nothing is written
  std::uint64_t* actions = nullptr;  // where to count the actions played out, if anywhere
};

// gen, bestMoves, worstMoves, standard output and playoutActions.
SearchContext program_context();

// The choice from the tables after a search (get_best_move), for any context.
std::string choose_sequence(Vorak& state, SearchContext const& context);
// The random player's choice (random_ai), for any context.
std::string random_choice(Vorak const& state, SearchContext const& context);

#endif
