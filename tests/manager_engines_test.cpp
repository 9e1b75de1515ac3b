// The tree search as a player: whole games under the referee against the built-in players,
// its time bound, its report, its threads and the wins it must not miss, in both parallel forms;
// and the shared tree's bounds. How strong it is belongs to duels, not to these tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "ai/tree/descent.h"
#include "ai/tree/engine.h"
#include "ai/tree/local_store.h"
#include "ai/tree/search.h"
#include "manager/players.h"
#include "manager/referee.h"
#include "manager/seat.h"
#include "manager/setup.h"
#include "tests/support/positions.h"

using namespace manager;

namespace {

TreeSettings quick(std::uint64_t playouts, Parallel parallel = Parallel::ROOT) {
  TreeSettings settings;
  settings.max_playouts = playouts;
  settings.parallel = parallel;
  return settings;
}

// The forms to test, each with the threads it runs on: the shared tree is only shared with two.
constexpr std::pair<Parallel, unsigned> FORMS[] = {{Parallel::ROOT, 1}, {Parallel::TREE, 2}};

// Plays one game of the tree search (as `colour`, in the form `parallel` with `threads`
// threads) against `opponent` from the setup of `seed`; returns the referee at the end.
Referee play(std::uint32_t seed, Players colour, SeatKind opponent, Parallel parallel,
             unsigned threads) {
  Referee ref(random_setup(seed));
  TreeEngine engine(seed, quick(300, parallel));
  boost::random::mt19937 other(seed);
  while (!ref.over()) {
    Vorak position = ref.position();
    position.own_player = ref.to_move();
    position.seconds_per_move = 5;
    std::string move;
    if (ref.to_move() == colour)
      move = engine.choose(position, threads, nullptr);
    else if (opponent == SeatKind::GREEDY)
      move = choose_greedy(position, ref.to_move(), other);
    else
      move = choose_random(position, ref.to_move(), other);
    std::optional<std::string> const text = to_server_notation(move);
    Referee::Verdict const verdict = ref.submit(text ? *text : "not a move: " + move);
    EXPECT_TRUE(verdict.accepted) << "seed " << seed << ": " << verdict.error;
  }
  return ref;
}

}  // namespace

TEST(tree_engine, plays_only_legal_actions_against_the_built_in_players) {
  for (auto [parallel, threads] : FORMS)
    for (SeatKind opponent : {SeatKind::RANDOM, SeatKind::GREEDY})
      for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(parallel_name(parallel));
        Referee const ref = play(seed, seed % 2 ? WHITE : BLACK, opponent, parallel, threads);
        EXPECT_TRUE(ref.reason() == Reason::ELIMINATION || ref.reason() == Reason::NO_CAPTURE)
            << "seed " << seed << ": " << reason_name(ref.reason()) << " " << ref.detail();
      }
}

TEST(tree_engine, keeps_to_the_turns_time_and_answers_the_second_action_at_once) {
  for (auto [parallel, threads] : FORMS) {
    SCOPED_TRACE(parallel_name(parallel));
    Vorak position = random_setup(3);
    position.execute_move(legal_actions(position, WHITE).front(), false);  // Black's turn now
    position.own_player = BLACK;
    position.seconds_per_move = 1;
    TreeEngine engine(3, quick(0, parallel));
    std::ostringstream report;
    auto const start = std::chrono::steady_clock::now();
    std::string const first = engine.choose(position, 2, &report);
    position.execute_move(first, false);
    std::ostringstream quiet;
    std::string const second = engine.choose(position, 2, &quiet);
    auto const took = std::chrono::steady_clock::now() - start;
    // A little beyond the second for the threads to be joined on a loaded machine, no more.
    EXPECT_LT(took, std::chrono::milliseconds(1100));
    EXPECT_GT(position.playouts, 0u);
    EXPECT_EQ(quiet.str(), "");
    std::string const text = report.str();
    EXPECT_TRUE(text.rfind("Dravix Bot looks confident.\nTree search: ", 0) == 0 ||
                text.rfind("Dravix Bot looks concerned.\nTree search: ", 0) == 0)
        << text;
    EXPECT_NE(text.find(" " + std::to_string(position.playouts) + " playouts"), std::string::npos)
        << text;
    std::vector<std::string> const seconds = legal_actions(position, BLACK);
    EXPECT_NE(std::find(seconds.begin(), seconds.end(), second), seconds.end()) << second;
  }
}

TEST(tree_engine, threads_each_grow_a_tree_and_count_together) {
  for (Parallel parallel : {Parallel::ROOT, Parallel::TREE}) {
    SCOPED_TRACE(parallel_name(parallel));
    Vorak position = random_setup(8);
    position.own_player = WHITE;
    position.seconds_per_move = 30;
    TreeEngine engine(8, quick(400, parallel));
    std::string const move = engine.choose(position, 3, nullptr);
    EXPECT_EQ(position.playouts, 3u * 400u);
    EXPECT_EQ(position.wins + position.losses, position.playouts);
    std::vector<std::string> const legal = legal_actions(position, WHITE);
    EXPECT_NE(std::find(legal.begin(), legal.end(), move), legal.end()) << move;
  }
}

// Two threads grow one tree of a mebibyte, more playouts than its nodes could follow at the
// least expansion threshold: the threshold rises, the tree stays within its nodes and grows below
// the root's actions, and every playout reaches the root's actions once, none lost between the
// threads. A second search starts afresh in the same nodes.
TEST(shared_tree, stays_within_its_memory_and_counts_every_playout_once) {
  Vorak position = random_setup(8);
  position.own_player = WHITE;
  TreeSettings settings;
  settings.memory_mb = 1;
  settings.parallel = Parallel::TREE;
  TreeSearch tree(settings);
  for (std::uint64_t playouts : {30000u, 700u}) {
    tree.run(position, {playouts, playouts + 1},
             TurnClock::monotonic(std::chrono::steady_clock::now(), 60), playouts);
    EXPECT_EQ(tree.playouts(), 2 * playouts);
    EXPECT_LE(tree.nodes(), tree.capacity());
    // The mebibyte less what the two threads' descents keep of their own.
    EXPECT_EQ(tree.capacity(), ((1u << 20) - 2 * Descent<LocalStore>::OWN_BYTES) / 16);
    // Sixty thousand playouts at four visits an expansion would want some two million nodes.
    if (playouts == 30000u) {
      EXPECT_GT(tree.expand_after(), settings.expand_after);
    }
    std::vector<ActionStats> const actions = tree.root_actions();
    EXPECT_GT(tree.nodes(), 1 + actions.size());  // grown below the root's actions
    std::uint64_t visits = 0;
    for (ActionStats const& a : actions) {
      visits += a.visits;
      EXPECT_LE(a.wins, a.visits);
    }
    EXPECT_EQ(visits, 2 * playouts);
  }
}

TEST(tree_engine, takes_a_win_within_the_turn_without_searching) {
  // Black is down to two Voraks, which White's Vorak takes one after the other.
  Vorak position = support::empty_position({1, 1, 1, 2, 3, 3});
  position.seconds_per_move = 30;
  support::place(position,
                 support::stacks("00Wv 01Bv 02Bv 40Wm 51Ww 84Bm 85Bm 86Bm 87Bw 88Bw 78Bw"));
  position.move_count = 2;
  position.own_player = WHITE;
  TreeEngine engine(5);
  std::ostringstream report;
  auto const start = std::chrono::steady_clock::now();
  EXPECT_EQ(engine.choose(position, 1, &report), "0001");
  EXPECT_EQ(position.playouts, 0u);  // not a playout
  position.execute_move("0001", false);
  EXPECT_EQ(engine.choose(position, 1, &report), "0102");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(report.str(),
            "Dravix Bot looks confident.\nTree search: a win in this turn with 0001 0102.\n");
}
