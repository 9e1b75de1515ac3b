// Duels: the seats' settings, the Elo and SPRT figures, games played side by side in order,
// and the refusals of what a duel cannot do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "manager/duel.h"
#include "manager/elo.h"
#include "manager/options.h"
#include "manager/parallel.h"
#include "manager/seat_settings.h"
#include "manager/series.h"
#include "tests/support/text.h"
#ifndef _WIN32
#include "tests/support/program.h"
#endif

using namespace manager;

namespace {

constexpr double INF = HUGE_VAL;

// Plays a series of random against greedy from seed 17 and returns its record and console.
nlohmann::json series(int games, int jobs, std::optional<SprtHypotheses> sprt,
                      std::string& console) {
  Options o;
  o.white = SeatKind::RANDOM;
  o.black = SeatKind::GREEDY;
  o.games = games;
  o.alternate = o.quiet = true;
  o.seed = 17;
  o.jobs = jobs;
  o.sprt = sprt;
  o.record_file = ::testing::TempDir() + "manager_duel_test_" + std::to_string(::getpid());
  std::ostringstream out, err;
  EXPECT_EQ(run_series(o, out, err), 0) << err.str();
  console = out.str();
  nlohmann::json record = nlohmann::json::parse(support::read_file(o.record_file));
  std::remove(o.record_file.c_str());
  // Think times differ from run to run; everything else must not.
  for (auto& game : record["games"]) {
    game.erase("think");
    for (auto& action : game["actions"]) action.erase("seconds");
  }
  record["summary"].erase("seats");
  return record;
}

}  // namespace

TEST(seat_settings, good_texts_give_the_kind_settings_and_label) {
  struct Case {
    std::string text, label;    // the label names the kind
    unsigned seconds, threads;  // with --bot-time 3
    std::string engine = "flat", parallel = "root";
  };
  std::vector<Case> const cases = {
      {"random", "random", 3, 1},
      {"bot:time=4", "bot:time=4", 4, 1},
      {"bot:threads=2,time=65535", "bot:time=65535,threads=2", 65535, 2},
      {"bot:threads=0", "bot:threads=0", 3, 0},
      {"bot:engine=flat,threads=256,time=1", "bot:time=1,threads=256,engine=flat", 1, 256},
      {"bot:engine=mcts", "bot:engine=mcts", 3, 1, "mcts", "root"},
      {"bot:parallel=tree,threads=2,engine=mcts", "bot:threads=2,engine=mcts,parallel=tree", 3, 2,
       "mcts", "tree"},
      {"bot:engine=mcts,parallel=root", "bot:engine=mcts,parallel=root", 3, 1, "mcts", "root"},
  };
  for (Case const& c : cases) {
    std::string error;
    std::optional<SeatChoice> const choice = parse_seat_choice(c.text, error);
    ASSERT_TRUE(choice) << c.text << ": " << error;
    EXPECT_EQ(seat_label(choice->kind, choice->settings), c.label);
    BotSettings const bot = bot_settings(choice->settings, 3);
    EXPECT_EQ(bot.seconds, c.seconds) << c.text;
    EXPECT_EQ(bot.threads, c.threads) << c.text;
    EXPECT_EQ(bot.engine, c.engine) << c.text;
    EXPECT_EQ(bot.parallel, c.parallel) << c.text;
  }
}

TEST(seat_settings, bad_texts_are_refused_with_the_reason) {
  std::vector<std::pair<std::string, std::string>> const cases = {
      {"robot", "not \"robot\""},
      {"random:time=2", "random takes no settings"},
      {"bot:", "not KEY=VALUE"},
      {"bot:speed=3", "unknown setting \"speed\""},
      {"bot:time=0", "time takes"},
      {"bot:time=65536", "time takes"},
      {"bot:threads=257", "threads takes"},
      {"bot:threads=+2", "threads takes"},
      {"bot:engine=deep", "engine takes flat"},
      {"bot:time=2,time=3", "time is given twice"},
      {"bot:parallel=tree", "parallel=tree is a setting of engine=mcts"},
      {"bot:engine=flat,parallel=root", "parallel=root is a setting of engine=mcts"},
      {"bot:engine=mcts,parallel=leaf", "parallel takes root, tree, not \"leaf\""},
      {"bot:parallel=tree,engine=mcts,parallel=tree", "parallel is given twice"}};
  for (auto const& [text, reason] : cases) {
    std::string error;
    EXPECT_FALSE(parse_seat_choice(text, error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
  }
}

// Expected figures from the definitions, computed apart: score s = (W + D/2) / N, per-game
// variance of the scores, s +- 1.959964 standard errors, Elo = -400 log10(1/s - 1).
TEST(elo, estimates_and_intervals) {
  struct Case {
    Tally tally;
    double score, elo, low, high;
  };
  std::vector<Case> const cases = {
      {{7, 0, 5}, 7.0 / 12, 58.4512, -143.5711, 318.6502},
      {{30, 40, 30}, 0.5, 0, -53.1580, 53.1580},
      {{60, 30, 40}, 75.0 / 130, 53.8794, 1.8822, 108.4074},
      {{18, 0, 2}, 0.9, 381.6970, 208.4583, INF},  // the score's interval passes 100%
      {{100, 0, 0}, 1, INF, 741.3239, INF},        // spread of 99.5 wins in 100
      {{0, 0, 20}, 0, -INF, -INF, -453.6052},
      {{1, 0, 0}, 1, INF, -675.9189, INF},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.tally.wins << "/" << c.tally.draws << "/" << c.tally.losses);
    std::optional<EloEstimate> const e = estimate_elo(c.tally);
    ASSERT_TRUE(e);
    EXPECT_NEAR(e->score, c.score, 1e-9);
    for (auto [actual, expected] :
         {std::pair(e->elo, c.elo), std::pair(e->low, c.low), std::pair(e->high, c.high)}) {
      if (std::isinf(expected))
        EXPECT_EQ(actual, expected);
      else
        EXPECT_NEAR(actual, expected, 1e-3);
    }
  }
  EXPECT_FALSE(estimate_elo(Tally{}));
  EXPECT_NEAR(elo_of_score(10.0 / 11), 400, 1e-9);
}

// Without draws the likelihood ratio is the binomial one, W ln(s1/s0) + L ln((1-s1)/(1-s0)),
// e.g. 7-5 at 0,50: 7 ln(0.571463/0.5) + 5 ln(0.428537/0.5) = 0.16399. With draws the
// figures come from maximizing the likelihood apart, over the one free probability.
TEST(sprt, log_likelihood_ratios_bounds_and_verdicts) {
  struct Case {
    Tally tally;
    SprtHypotheses hypotheses;
    double llr;
  };
  std::vector<Case> const cases = {
      {{7, 0, 5}, {0, 50}, 0.163990},  {{10, 0, 0}, {0, 50}, 1.335898},
      {{0, 0, 3}, {0, 50}, -0.462714}, {{25, 2, 0}, {0, 50}, 3.606799},
      {{30, 40, 30}, {-10, 10}, 0},    {{60, 30, 40}, {0, 20}, 1.218680},
      {{12, 20, 8}, {0, 5}, 0.106989}, {{40, 10, 50}, {-5, 5}, -0.319801},
  };
  for (Case const& c : cases) {
    EXPECT_NEAR(sprt_llr(c.tally, c.hypotheses), c.llr, 1e-4)
        << c.tally.wins << "/" << c.tally.draws << "/" << c.tally.losses;
  }
  EXPECT_NEAR(sprt_lower_bound(), -2.944439, 1e-6);
  EXPECT_NEAR(sprt_upper_bound(), 2.944439, 1e-6);
  EXPECT_EQ(sprt_verdict(3.0), SprtVerdict::H1_ACCEPTED);
  EXPECT_EQ(sprt_verdict(-3.0), SprtVerdict::H0_ACCEPTED);
  EXPECT_EQ(sprt_verdict(2.9), SprtVerdict::GOING_ON);

  std::string error;
  std::optional<SprtHypotheses> const parsed = parse_sprt("-10.5,5", error);
  EXPECT_TRUE(parsed && parsed->elo0 == -10.5 && parsed->elo1 == 5) << error;
  for (char const* bad : {"5,5", "50,0", "0", "0,", ",5", "a,b", "0,1e2", "0,2000", "0,5,9"})
    EXPECT_FALSE(parse_sprt(bad, error)) << bad;
}

TEST(duel_options, settings_jobs_and_sprt_are_read_and_refused_where_they_cannot_apply) {
  ParsedOptions const p = parse_options(
      {"--white", "bot:time=4,threads=2", "--black", "greedy", "--jobs", "3", "--sprt", "0,50"});
  ASSERT_EQ(p.status, ParsedOptions::RUN) << p.message;
  EXPECT_EQ(seat_label(p.options.white, p.options.white_settings), "bot:time=4,threads=2");
  EXPECT_EQ(p.options.jobs, 3);
  EXPECT_EQ(p.options.sprt ? p.options.sprt->elo1 : -1, 50);

  std::vector<std::pair<std::vector<std::string>, std::string>> const refused = {
      {{"--black", "random:time=2"}, "--black random takes no settings"},
      {{"--jobs", "2"}, "tcp seat"},  // White is tcp by default
      {{"--jobs", "2", "--white", "random", "--black", "human", "--web", "0"}, "human seat"},
      {{"--jobs", "2", "--white", "random", "--web", "0"}, "--web"},
      {{"--white", "bot:time=5", "--action-limit", "5"}, "time=5"},
  };
  for (auto const& [args, named] : refused) {
    ParsedOptions const r = parse_options(args);
    EXPECT_EQ(r.status, ParsedOptions::ERROR) << args[1];
    EXPECT_NE(r.message.find(named), std::string::npos) << r.message;
  }
#ifndef _WIN32
  // The program itself refuses with status 2.
  for (char const* args :
       {"--white bot:threads=x", "--jobs 2 --white random --black tcp", "--sprt 1"}) {
    support::Outcome const run =
        support::run_program(support::built_command("vorak-manager", args), "", 60, true);
    EXPECT_EQ(run.status, 2) << args << "\n" << run.out;
  }
#endif
}

TEST(parallel_games, give_the_same_complete_record_in_game_order) {
  std::string one_console, three_console;
  nlohmann::json const one = series(9, 1, std::nullopt, one_console);
  nlohmann::json const three = series(9, 3, std::nullopt, three_console);
  ASSERT_EQ(three["games"].size(), 9u);
  EXPECT_EQ(three, one);
  // Every game's result line is printed once and whole.
  for (int g = 1; g <= 9; ++g) {
    std::string const line = "\nGame " + std::to_string(g) + ": ";
    std::size_t const at = three_console.find(line);
    ASSERT_NE(at, std::string::npos) << three_console;
    EXPECT_EQ(three_console.find(line, at + 1), std::string::npos) << three_console;
    EXPECT_NE(three_console.find(" actions\n", at), std::string::npos);
  }
  EXPECT_NE(three_console.find("Elo of random against greedy: "), std::string::npos)
      << three_console;
}

TEST(parallel_games, the_sprt_stops_a_series_at_the_same_game_whatever_the_jobs) {
  std::string one_console, three_console;
  nlohmann::json const one = series(300, 1, SprtHypotheses{0, 50}, one_console);
  nlohmann::json const three = series(300, 3, SprtHypotheses{0, 50}, three_console);
  EXPECT_EQ(three, one);
  std::size_t const played = three["games"].size();
  EXPECT_LT(played, 300u);  // greedy is far stronger than random
  EXPECT_EQ(three["duel"]["sprt"]["verdict"], "H0 accepted");
  EXPECT_NE(three_console.find(": H0 accepted\n"), std::string::npos) << three_console;
}

TEST(parallel_games, records_arrive_in_game_order_and_a_failure_ends_the_series) {
  std::vector<int> delivered;
  int failing = 0;  // none
  GameRun run;
  run.games = 12;
  run.jobs = 4;
  run.play = [&](int g) {
    // Later games end first, as they may when games run side by side.
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * (run.games - g)));
    if (g == failing) throw std::runtime_error("game failed");
    GameRecord record;
    record.game = g;
    return record;
  };
  run.deliver = [&](GameRecord const& r) {
    delivered.push_back(r.game);
    return true;
  };
  play_in_order(run);
  std::vector<int> const in_order = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(delivered, in_order);

  delivered.clear();
  failing = 4;
  EXPECT_THROW(play_in_order(run), std::runtime_error);
  EXPECT_EQ(delivered, std::vector<int>(in_order.begin(), in_order.begin() + delivered.size()));
}
