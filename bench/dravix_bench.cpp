// Measures the search's throughput: runs the real monte_carlo search on one position, with one
// thread or several, and reports playouts per second.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "ai/reference_playout.h"
#include "ai/search.h"
#include "ai/search_watch.h"
#include "ai/searcher.h"
#include "ai/tree/engine.h"
#include "ai/tree/settings.h"
#include "ai/watched_clock.h"
#include "dravix_version.h"
#include "game/setup.h"
#include "game/vorak.h"
#include "manager/setup.h"
#include "tests/support/positions.h"

namespace {

struct Options {
  std::string position = "opening";
  std::string board_file;
  int move_count = -1;
  Players player = WHITE;
  unsigned short seconds = 5;
  std::uint32_t seed = 1;
  bool reference = false;   // search through the member functions instead of the fast form
  bool watch = false;       // a watch takes snapshots of the search, as the manager's page does
  std::uint64_t steps = 0;  // when set, a clock of this many checks replaces the wall clock
  unsigned threads = 1;     // searchers at once; 0: one per core
  Engine engine = Engine::FLAT;
  std::optional<Parallel> parallel;  // the tree search's threads: a tree each, or one shared
  TreeSettings tree;                 // the tree search's constants, as --tune sets them
};

char const* const USAGE =
    "usage: dravix-bench [--position opening|midgame | --board FILE --move-count N]"
    " [--player white|black] [--seconds S | --steps N] [--threads N] [--seed X]"
    " [--reference] [--watch] [--engine flat|mcts [--parallel root|tree] [--tune KEY=VALUE]...]"
    " [--help] [--version]\n";

char const* const OPTION_HELP =
    "Measures playouts per second of the search on one position.\n\n"
    "  --position opening|midgame  a random opening (the default) or 24 random actions on\n"
    "  --board FILE                the position of a board description (as vorak-manager reads\n"
    "                              it), with --move-count N, the actions already played\n"
    "  --move-count N              with --board: the turn counter, 0 to 65535 (even: the first\n"
    "                              action of a turn is due)\n"
    "  --player white|black        the side that searches (default white)\n"
    "  --seconds S                 thinking time, whole seconds from 1 to 3600 (default 5)\n"
    "  --steps N                   a clock of N checks instead of the wall clock (flat search)\n"
    "  --threads N                 searchers at once, 0 for one per core (default 1)\n"
    "  --seed X                    the seed of the position and of the search (default 1)\n"
    "  --reference                 search through the member functions, not the fast form\n"
    "  --watch                     a watch takes a snapshot of the search every 250 ms, as the\n"
    "                              manager's page does while a bot seat searches\n"
    "  --engine flat|mcts          the flat search (the default) or the tree search\n"
    "  --parallel root|tree        with --engine mcts: a tree per thread, or one shared\n"
    "  --tune KEY=VALUE            with --engine mcts: exploration, widening, first_play,\n"
    "                              priors, solver or expand_after\n"
    "  -h, --help                  print this help and exit\n"
    "  --version                   print the version and exit\n"
    "Exit status: 0 measured, 2 for a bad option, value or board.\n";

[[noreturn]] void usage(std::string const& error) {
  std::cerr << "dravix-bench: " << error << "\n" << USAGE;
  std::exit(2);
}

unsigned long number(std::string const& option, char const* text, unsigned long max) {
  std::string const given = text;
  bool digits = !given.empty() && given.size() <= 10;
  for (char c : given) digits = digits && c >= '0' && c <= '9';
  if (!digits) usage(option + ": \"" + given + "\" is not a whole number");
  unsigned long long const value = std::stoull(given);
  if (value > max) usage(option + ": " + given + " is more than " + std::to_string(max));
  return static_cast<unsigned long>(value);
}

// The options that take a value; any other word that starts with a dash is unknown.
bool takes_value(std::string const& arg) {
  for (char const* name : {"--position", "--board", "--move-count", "--player", "--seconds",
                           "--steps", "--threads", "--engine", "--parallel", "--tune", "--seed"})
    if (arg == name) return true;
  return false;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string const arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << USAGE << "\n" << OPTION_HELP;
      std::exit(0);
    }
    if (arg == "--version") {
      std::cout << "dravix-bench " << DRAVIX_VERSION << "\n";
      std::exit(0);
    }
    if (arg == "--reference" || arg == "--watch") {
      (arg == "--reference" ? o.reference : o.watch) = true;
      continue;
    }
    if (!takes_value(arg)) usage("unknown option " + arg);
    if (i + 1 >= argc) usage("missing value for " + arg);
    char const* value = argv[++i];
    if (arg == "--position") {
      o.position = value;
      if (o.position != "opening" && o.position != "midgame") usage("bad position " + o.position);
    } else if (arg == "--board") {
      o.board_file = value;
    } else if (arg == "--move-count") {
      o.move_count = static_cast<int>(number(arg, value, 65535));
    } else if (arg == "--player") {
      std::string const p = value;
      if (p != "white" && p != "black") usage("bad player " + p);
      o.player = p == "white" ? WHITE : BLACK;
    } else if (arg == "--seconds") {
      o.seconds = static_cast<unsigned short>(number(arg, value, 3600));
      if (o.seconds == 0) usage("--seconds must be at least 1");
    } else if (arg == "--steps") {
      o.steps = number(arg, value, 0xFFFFFFFFul);
      if (o.steps == 0) usage("--steps must be at least 1");
    } else if (arg == "--threads") {
      o.threads = static_cast<unsigned>(number(arg, value, 1024));
    } else if (arg == "--engine") {
      std::optional<Engine> const engine = engine_from(value);
      if (!engine) usage(std::string("bad engine ") + value);
      o.engine = *engine;
    } else if (arg == "--parallel") {
      o.parallel = parallel_from(value);
      if (!o.parallel) usage(std::string("bad parallel form ") + value);
    } else if (arg == "--tune") {
      if (std::optional<std::string> const refused = tune(o.tree, value)) usage(*refused);
    } else {  // --seed
      o.seed = static_cast<std::uint32_t>(number(arg, value, 0xFFFFFFFFul));
    }
  }
  if (!o.board_file.empty() && o.move_count < 0) usage("--board needs --move-count");
  if (o.engine == Engine::MCTS && (o.reference || o.steps > 0))
    usage("the tree search runs on the fast form, for its seconds");
  if (o.parallel && o.engine != Engine::MCTS) usage("--parallel is for --engine mcts");
  if (o.watch && o.reference) usage("--watch is for the fast form's search");
  return o;
}

// Plays random legal turns from the opening into the middle of the game: 24 actions, or
// fewer where the game would otherwise end. Stops with the first action of a turn due.
void advance_to_midgame(Vorak& state, std::uint32_t seed) {
  boost::random::mt19937 rng(seed);
  Players mover = WHITE;
  Vorak turn_start = state;
  Players turn_mover = mover;
  for (int action = 0; action < 24; ++action) {
    if (!support::play_random_action(state, mover, rng)) break;
    if (state.is_game_over() != NONE) break;
    if (state.move_count % 2 == 0) {
      turn_start = state;
      turn_mover = mover;
    }
  }
  state = turn_start;
  state.own_player = turn_mover;
}

struct Measured {
  std::string move;
  int snapshots = 0;  // taken by the watch
  double seconds = 0;
  double cpu_seconds = 0;
  std::uint32_t playouts = 0;
  double per_cpu_second() const { return cpu_seconds > 0 ? playouts / cpu_seconds : 0.0; }
};

// One search of `state` by `engine` as the options say; its tallies are written into `state`.
Measured measure(Vorak& state, Options const& o, Engine engine) {
  Measured m;
  // What the page would be handed is built and dropped here.
  SearchWatch watch([&m](Thought const&) { ++m.snapshots; });
  SearchWatch* const watching = o.watch ? &watch : nullptr;
  bool const single = state.move_count == 0;
  std::clock_t const cpu_start = std::clock();
  auto const start = std::chrono::steady_clock::now();
  if (o.steps > 0 && watching) {
    WatchedClock<StepClock> const clock(StepClock{o.steps}, watch, single);
    m.move = search<FastPlayout>(state, clock, program_context(), o.threads);
  } else if (o.steps > 0) {
    // Every thread gets the same number of clock checks.
    StepClock const clock{o.steps};
    m.move = o.reference ? search<ReferencePlayout>(state, clock, program_context(), o.threads)
                         : search<FastPlayout>(state, clock, program_context(), o.threads);
  } else if (o.reference) {
    WallClock const clock(std::time(nullptr) + state.seconds_per_move);
    m.move = search<ReferencePlayout>(state, clock, program_context(), o.threads);
  } else if (engine == Engine::MCTS) {
    // As the bot runs it, in the parallel form asked for.
    TreeSettings settings = o.tree;
    settings.parallel = o.parallel.value_or(Parallel::ROOT);
    TreeEngine tree(o.seed, settings);
    m.move = tree.choose(state, o.threads, &std::cout, watching);
  } else if (watching) {
    WatchedClock<WallClock> const clock(WallClock(std::time(nullptr) + state.seconds_per_move),
                                        watch, single);
    m.move = search<FastPlayout>(state, clock, program_context(), o.threads);
  } else {
    searchThreads = o.threads;
    searchEngine = engine;
    m.move = state.monte_carlo();
  }
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  m.playouts = state.playouts;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  Options const o = parse(argc, argv);
  Vorak state(o.seconds);
  if (!o.board_file.empty()) {
    // As strictly as the manager: a truncated or malformed board is no position to measure.
    std::string error;
    std::optional<Vorak> const board = manager::read_board_file(o.board_file, error);
    if (!board) usage(error);
    state = *board;
    state.seconds_per_move = o.seconds;
  } else {
    std::string description = random_opening_description(o.seed);
    state.create_board(description);
  }
  state.own_player = o.player;
  if (!o.board_file.empty()) {
    state.move_count = static_cast<unsigned short>(o.move_count);
  } else if (o.position == "midgame") {
    advance_to_midgame(state, o.seed);
  }
  if (state.move_count % 2 == 1) usage("the position must have the first action of a turn due");

  std::cout << "position: " << (o.board_file.empty() ? o.position : o.board_file) << ", move_count "
            << state.move_count << ", " << (state.own_player == WHITE ? "white" : "black")
            << " to play, seed " << o.seed << "\n";
  state.print_piece_counts();

  gen.seed(o.seed);
  Vorak const position = state;
  Measured const measured = measure(state, o, o.engine);
  std::string const& move = measured.move;
  double const seconds = measured.seconds;

  unsigned const threads =
      o.threads ? o.threads : std::max(1u, std::thread::hardware_concurrency());
  std::cout << "threads: " << threads << "\n"
            << "chosen move: " << (move.empty() ? "pass" : move) << "\n"
            << "elapsed seconds: " << seconds << "\n"
            << "playouts: " << state.playouts << " (won " << state.wins << ", lost " << state.losses
            << ")\n"
            << "engine: " << engine_name(o.engine) << "\n";
  if (o.engine == Engine::MCTS)
    std::cout << "parallel: " << parallel_name(o.parallel.value_or(Parallel::ROOT)) << "\n";
  if (o.engine == Engine::FLAT)
    std::cout << "average actions per playout: "
              << (state.playouts ? static_cast<double>(playoutActions) / state.playouts : 0.0)
              << "\n";
  std::cout << "playouts per second: "
            << static_cast<long>(seconds > 0 ? state.playouts / seconds : 0.0)
            << "\n"
            // Processor time of all threads where the C library measures it (elapsed time on
            // Windows): the rate of one thread undisturbed by other programs.
            << "playouts per CPU second: " << static_cast<long>(measured.per_cpu_second()) << "\n";
  if (o.watch) std::cout << "snapshots: " << measured.snapshots << "\n";
  if (o.engine == Engine::MCTS) {
    // The flat search on the same position and threads right after, so that the two rates
    // meet the same machine.
    Vorak flat = position;
    Measured const other = measure(flat, o, Engine::FLAT);
    std::cout << "flat search, playouts per CPU second: "
              << static_cast<long>(other.per_cpu_second()) << "\n"
              << "tree search against flat search: "
              << (other.per_cpu_second() > 0 ? measured.per_cpu_second() / other.per_cpu_second()
                                             : 0.0)
              << "\n";
  }
  return 0;
}
