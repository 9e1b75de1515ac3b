// The search plays on a compact form of the position for speed. These tests hold it to the
// state's own member functions: the same candidate lists, the same look-ahead decisions, and
// for a whole search the same draws, tallies, tables and choice; and the uniform draw, which
// both forms share, to Boost's distribution.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>

#include "ai/playout.h"
#include "ai/reference_playout.h"
#include "ai/search.h"
#include "ai/uniform_draw.h"
#include "game/setup.h"
#include "game/vorak.h"
#include "tests/support/expect.h"
#include "tests/support/playout_forms.h"
#include "tests/support/positions.h"

using namespace support;

namespace {

// A position reached from a random opening by `actions` random legal actions, some of them
// stackings, so that heights above 1 and uneven tallies occur.
Vorak random_position(std::uint32_t seed, int actions) {
  boost::random::mt19937 rng(seed * 7919u + 13u);
  return random_game_position(seed, rng, actions);
}

struct SearchResult {
  std::string move;
  std::uint32_t playouts, wins, losses;
  std::map<std::string, std::uint32_t> best, worst;
  boost::random::mt19937 engine;
  std::string output;
};

template <class P>
SearchResult search_with(Vorak state, std::uint32_t seed, std::uint64_t steps) {
  gen.seed(seed);
  StepClock clock{steps};
  std::string move;
  std::string const output = output_of([&] { move = run_search<P>(state, clock); });
  return SearchResult{move,
                      state.playouts,
                      state.wins,
                      state.losses,
                      {bestMoves.begin(), bestMoves.end()},
                      {worstMoves.begin(), worstMoves.end()},
                      gen,
                      output};
}

void expect_same_search(Vorak const& state, std::uint32_t seed, std::uint64_t steps) {
  SearchResult const ref = search_with<ReferencePlayout>(state, seed, steps);
  SearchResult const fast = search_with<FastPlayout>(state, seed, steps);
  EXPECT_EQ(fast.move, ref.move);
  EXPECT_EQ(fast.playouts, ref.playouts);
  EXPECT_EQ(fast.wins, ref.wins);
  EXPECT_EQ(fast.losses, ref.losses);
  EXPECT_EQ(fast.best, ref.best);
  EXPECT_EQ(fast.worst, ref.worst);
  EXPECT_TRUE(fast.engine == ref.engine) << "the two searches drew differently";
  EXPECT_EQ(fast.output, ref.output);
}

}  // namespace

TEST(uniform_draw, draws_as_boosts_distribution_does) {
  // Every list length up to past the longest list, each from many engine states, with the
  // engine left in the same state.
  for (std::size_t n = 1; n <= FastPlayout::MAX_MOVES + 30; ++n) {
    boost::random::mt19937 boost_engine(static_cast<std::uint32_t>(n * 7919u));
    boost::random::mt19937 engine = boost_engine;
    boost::random::uniform_int_distribution<int> dist(0, static_cast<int>(n) - 1);
    for (int i = 0; i < 3000; ++i) {
      int const expected = dist(boost_engine);
      ASSERT_EQ(draw_index(engine, n), expected) << "n = " << n << ", draw " << i;
    }
    ASSERT_TRUE(engine == boost_engine) << "n = " << n;
  }
}

namespace {

// An engine of 32-bit draws that gives the values it is told, then zeros, and counts its calls.
struct ScriptedEngine {
  using result_type = std::uint32_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return 0xFFFFFFFFu; }
  std::vector<result_type> values;
  std::size_t calls = 0;
  result_type operator()() { return calls < values.size() ? values[calls++] : (++calls, 0); }
};

}  // namespace

// A random engine reaches the rejection step once in about 2^32 / n draws, so the test above
// never does: every edge of every bucket, and the top draw, for every list length.
TEST(uniform_draw, rejects_and_buckets_as_boost_does_at_every_edge) {
  for (std::uint64_t n = 2; n <= uniform_draw::LISTED; ++n) {
    std::uint64_t const bucket = (std::uint64_t{1} << 32) / n;
    std::vector<std::uint64_t> edges = {0xFFFFFFFFu};
    for (std::uint64_t k = 1; k <= n && k * bucket - 1 <= 0xFFFFFFFFu; ++k) {
      edges.push_back(k * bucket - 1);
      if (k * bucket <= 0xFFFFFFFFu) edges.push_back(k * bucket);
    }
    for (std::uint64_t const edge : edges) {
      // Two draws: a rejected first one shows in the index of the second and in the calls.
      ScriptedEngine mine{
          {static_cast<std::uint32_t>(edge), static_cast<std::uint32_t>((n - 1) * bucket)}},
          boosts = mine;
      boost::random::uniform_int_distribution<int> dist(0, static_cast<int>(n) - 1);
      int const expected = dist(boosts);
      ASSERT_EQ(draw_uniform(mine, n), expected) << "n = " << n << ", draw " << edge;
      ASSERT_EQ(mine.calls, boosts.calls) << "n = " << n << ", draw " << edge;
    }
  }
}

TEST(fast_playout, candidate_lists_match_the_member_functions) {
  int compared = 0;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    for (int actions : {0, 1, 2, 9, 20, 31, 44, 57, 70}) {
      Vorak const state = random_position(seed, actions);
      ReferencePlayout const ref(state);
      FastPlayout const fast(state);
      for (Players mover : {WHITE, BLACK})
        for (bool concerned : {false, true}) {
          ASSERT_EQ(candidate_texts(fast, mover, concerned), candidate_texts(ref, mover, concerned))
              << "seed " << seed << ", " << actions << " actions, mover " << mover
              << (concerned ? ", concerned" : "");
          ++compared;
        }
    }
  }
  EXPECT_EQ(compared, 60 * 9 * 4);
}

TEST(fast_playout, lookahead_decisions_match_the_member_functions) {
  int decided = 0;
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    for (int actions = 20; actions <= 80; actions += 6) {
      Vorak state = random_position(seed, actions);
      if (state.move_count % 2 == 1) state.execute_move("", false);  // a turn must open
      for (Players mover : {WHITE, BLACK}) {
        ReferencePlayout const ref(state);
        if (!ref.opponent_low(mover)) continue;
        Decision expected, actual;
        bool const ref_decided = ref.lookahead(mover, expected);
        bool const fast_decided = FastPlayout(state).lookahead(mover, actual);
        ASSERT_EQ(fast_decided, ref_decided) << "seed " << seed << ", " << actions << " actions";
        if (!ref_decided) continue;
        ++decided;
        EXPECT_EQ(actual.winner, expected.winner);
        EXPECT_EQ(actual.first, expected.first);
        EXPECT_EQ(actual.second, expected.second);
      }
    }
  }
  EXPECT_GT(decided, 50) << "too few positions reached a decision to compare";
}

TEST(fast_playout, execution_matches_execute_move) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    Vorak state = random_position(seed, 0);
    FastPlayout fast(state);
    Players mover = WHITE;
    boost::random::mt19937 rng(seed);
    for (int i = 0; i < 200 && state.is_game_over() == NONE; ++i) {
      auto const list = candidate_texts(ReferencePlayout(state), mover, false);
      if (list.empty()) break;
      boost::random::uniform_int_distribution<std::size_t> pick(0, list.size() - 1);
      std::string const move = list[pick(rng)];
      FastPlayout::List fast_list;
      fast.candidates(mover, false, fast_list);
      fast.execute(fast_list[std::find(list.begin(), list.end(), move) - list.begin()]);
      state.execute_move(move, false);
      ASSERT_EQ(fast.move_count(), state.move_count);
      // The lists of both sides after the action agree only if the boards and tallies do.
      for (Players p : {WHITE, BLACK})
        for (bool concerned : {false, true})
          ASSERT_EQ(candidate_texts(fast, p, concerned),
                    candidate_texts(ReferencePlayout(state), p, concerned));
      if (state.move_count % 2 == 0) mover = opponent_of(mover);
    }
  }
}

TEST(search_equivalence, opening_searches_match) {
  for (std::uint32_t seed : {3u, 17u, 101u}) {
    Vorak state = random_position(seed, 0);
    state.own_player = WHITE;
    expect_same_search(state, seed, 20000);
  }
}

TEST(search_equivalence, middle_and_end_game_searches_match) {
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    for (int actions : {15, 35, 55}) {
      Vorak state = random_position(seed, actions);
      if (state.move_count % 2 == 1) state.execute_move("", false);
      if (state.is_game_over() != NONE) continue;
      expect_same_search(state, seed, 15000);
    }
  }
}

TEST(search_equivalence, concerned_searches_match) {
  // A side whose every playout is lost turns concerned after 9000 playouts; find such a
  // position among late positions and compare the searches past the switch.
  int concerned = 0;
  for (std::uint32_t seed = 1; seed <= 400 && concerned < 2; ++seed) {
    Vorak state = random_position(seed, 50);
    if (state.move_count % 2 == 1) state.execute_move("", false);
    if (state.is_game_over() != NONE) continue;
    gen.seed(seed);
    StepClock probe{4000};
    testing::internal::CaptureStdout();
    Vorak copy = state;
    run_search<FastPlayout>(copy, probe);
    testing::internal::GetCapturedStdout();
    if (copy.wins != 0 || copy.playouts < 50) continue;
    Vorak deep = state;
    gen.seed(seed);
    StepClock long_clock{400000};
    testing::internal::CaptureStdout();
    run_search<FastPlayout>(deep, long_clock);
    std::string const out = testing::internal::GetCapturedStdout();
    if (out.find("Dravix Bot looks concerned.") == std::string::npos) continue;
    ++concerned;
    expect_same_search(state, seed, 400000);
  }
  EXPECT_GE(concerned, 1) << "no position tried made the search concerned";
}
