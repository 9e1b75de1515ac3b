// Duels: the seats' settings, the Elo and SPRT figures, games played side by side in order,
// and the refusals of what a duel cannot do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
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
nlohmann::json series(int games, int jobs, std::optional<SprtHypotheses> sprt, std::string& console,
                      bool pairs = false) {
  Options o;
  o.pairs = pairs;
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
    std::string text, label;  // the label names the kind
    double seconds;           // with --seconds 3
    unsigned threads;
    std::string engine = "flat", parallel = "root";
    std::size_t tree_mb = 0;
    std::string clock = "turn";
  };
  std::vector<Case> const cases = {
      {"random", "random", 3, 1},
      {"bot:time=4", "bot:time=4", 4, 1},
      {"bot:threads=2,time=3600", "bot:time=3600,threads=2", 3600, 2},
      {"bot:threads=0", "bot:threads=0", 3, 0},
      {"bot:engine=flat,threads=256,time=1", "bot:time=1,threads=256,engine=flat", 1, 256},
      {"bot:engine=mcts", "bot:engine=mcts", 3, 1, "mcts", "root"},
      {"bot:parallel=tree,threads=2,engine=mcts", "bot:threads=2,engine=mcts,parallel=tree", 3, 2,
       "mcts", "tree"},
      {"bot:engine=mcts,parallel=root", "bot:engine=mcts,parallel=root", 3, 1, "mcts", "root"},
      {"bot:time=0.2,engine=mcts", "bot:time=0.2,engine=mcts", 0.2, 1, "mcts"},
      {"bot:clock=calendar,tree_mb=1048576,engine=mcts,time=0.05",
       "bot:time=0.05,engine=mcts,tree_mb=1048576,clock=calendar", 0.05, 1, "mcts", "root", 1048576,
       "calendar"},
      {"bot:engine=mcts,time=12.125,clock=turn,tree_mb=1",
       "bot:time=12.125,engine=mcts,tree_mb=1,clock=turn", 12.125, 1, "mcts", "root", 1, "turn"},
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
    EXPECT_EQ(bot.tree_mb, c.tree_mb) << c.text;
    EXPECT_EQ(bot.clock, c.clock) << c.text;
  }
}

// What the search is handed: the tree search's own settings pass through, and the position's
// whole seconds per move round a fraction up.
TEST(seat_settings, reach_the_search) {
  SearchSettings const tree =
      search_settings(BotSettings{0.2, 2, "mcts", "tree", 256, "calendar"}, false);
  EXPECT_EQ(tree.engine, Engine::MCTS);
  EXPECT_EQ(tree.threads, 2u);
  EXPECT_EQ(tree.parallel, Parallel::TREE);
  EXPECT_EQ(tree.seconds, 0.2);
  EXPECT_EQ(tree.tree_memory_mb, 256u);
  EXPECT_TRUE(tree.calendar_clock);
  EXPECT_FALSE(tree.report);
  SearchSettings const flat = search_settings(BotSettings{}, true);
  EXPECT_EQ(flat.engine, Engine::FLAT);
  EXPECT_EQ(flat.parallel, Parallel::ROOT);
  EXPECT_EQ(flat.tree_memory_mb, 0u);
  EXPECT_FALSE(flat.calendar_clock);
  EXPECT_TRUE(flat.report);
  for (auto [seconds, whole] : {std::pair(0.05, 1), std::pair(1.0, 1), std::pair(1.001, 2),
                                std::pair(2.5, 3), std::pair(3600.0, 3600)})
    EXPECT_EQ(seconds_per_move(seconds), whole) << seconds;
}

TEST(seat_settings, bad_texts_are_refused_with_the_reason) {
  std::vector<std::pair<std::string, std::string>> const cases = {
      {"robot", "not \"robot\""},
      {"random:time=2", "random takes no settings"},
      {"bot:", "not KEY=VALUE"},
      {"bot:speed=3", "unknown setting \"speed\""},
      {"bot:time=0", "time takes"},
      {"bot:time=65536", "time takes"},
      {"bot:time=3601", "from 1 to 3600"},
      {"bot:time=0.5", "fractions of a second are for engine=mcts"},
      {"bot:engine=mcts,time=0.049", "from 0.05 to 3600"},
      {"bot:engine=mcts,time=3600.001", "from 0.05 to 3600"},
      {"bot:engine=mcts,time=0.0625", "three decimals at most"},
      {"bot:engine=mcts,time=1e2", "not \"1e2\""},
      {"bot:threads=257", "threads takes"},
      {"bot:threads=+2", "threads takes"},
      {"bot:engine=deep", "engine takes flat"},
      {"bot:time=2,time=3", "time is given twice"},
      {"bot:parallel=tree", "parallel=tree is a setting of engine=mcts"},
      {"bot:engine=flat,parallel=root", "parallel=root is a setting of engine=mcts"},
      {"bot:engine=mcts,parallel=leaf", "parallel takes root, tree, not \"leaf\""},
      {"bot:parallel=tree,engine=mcts,parallel=tree", "parallel is given twice"},
      {"bot:tree_mb=64", "tree_mb=64 is a setting of engine=mcts"},
      {"bot:engine=mcts,tree_mb=0", "tree_mb takes"},
      {"bot:engine=mcts,tree_mb=1048577", "tree_mb takes"},
      {"bot:clock=turn", "clock=turn is a setting of engine=mcts"},
      {"bot:engine=mcts,clock=wall", "clock takes turn, calendar"},
#ifdef _WIN32
      {"cmd:bot", "POSIX systems only"},
#else
      {"cmd:", "takes the command"},
      {"cmd:  ", "takes the command"},
      {"cmd:bot | tee log", "quote the |"},
      {"cmd:bot $HOME", "quote the $"},
      {"cmd:bot 'open", "' is not closed"},
      {"cmd:bot \"open\\\"", "\" is not closed"},
#endif
  };
  for (auto const& [text, reason] : cases) {
    std::string error;
    EXPECT_FALSE(parse_seat_choice(text, error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
  }
}

#ifndef _WIN32
TEST(seat_settings, a_cmd_seat_keeps_its_command_as_given_and_in_words) {
  std::string error;
  std::optional<SeatChoice> const choice = parse_seat_choice("cmd:bin/bot  'a b',c", error);
  ASSERT_TRUE(choice) << error;
  EXPECT_EQ(choice->kind, SeatKind::COMMAND);
  EXPECT_EQ(seat_label(choice->kind, choice->settings), "cmd:bin/bot  'a b',c");
  EXPECT_EQ(choice->settings.command, (std::vector<std::string>{"bin/bot", "a b,c"}));
}
#endif

TEST(seat_settings, commands_split_into_words_as_a_shell_would) {
  std::vector<std::pair<std::string, std::vector<std::string>>> const cases = {
      {"bin/bot", {"bin/bot"}},
      {"  bin/bot\t --engine   mcts ", {"bin/bot", "--engine", "mcts"}},
      {"'my bot' \"a \\\"b\\\" \\$ \\x\" c\\ d", {"my bot", "a \"b\" $ \\x", "c d"}},
      {"x'' \"\" '|;&'", {"x", "", "|;&"}},
      {"a'b'\"c\"d", {"abcd"}}};
  for (auto const& [text, words] : cases) {
    std::string error;
    EXPECT_EQ(split_command(text, error), words) << text << ": " << error;
  }
}

// Expected figures computed apart: the exact interval from the binomial tails (bisection on
// P(X >= W) = 2.5% and P(X <= W) = 2.5%), Elo = -400 log10(1/s - 1); over pairs the mean pair
// score +- 1.959964 standard errors of the pair scores, or the exact interval where that is
// guarded.
TEST(elo, estimates_and_intervals) {
  struct Case {
    Tally tally;
    std::optional<Pentanomial> pairs;  // when set, the figures are over these
    double score, elo, low, high;
  };
  std::vector<Case> const cases = {
      {{7, 0, 5}, {}, 7.0 / 12, 58.4512, -166.9500, 299.0900},
      {{30, 40, 30}, {}, 0.5, 0, -71.6526, 71.6526},
      {{60, 30, 40}, {}, 75.0 / 130, 53.8794, -8.8837, 117.5871},
      {{18, 0, 2}, {}, 0.9, 381.6970, 133.3584, 761.1954},
      {{20, 0, 0}, {}, 1, INF, 277.3874, INF},
      {{39, 0, 1}, {}, 0.975, 636.4258, 327.8071, 1279.3986},
      {{100, 0, 0}, {}, 1, INF, 570.0282, INF},
      {{0, 0, 20}, {}, 0, -INF, -INF, -277.3874},
      {{1, 0, 0}, {}, 1, INF, -636.4258, INF},
      {{}, Pentanomial{{3, 10, 20, 14, 5}}, 0.538462, 26.7787, -21.7597, 76.3905},
      {{}, Pentanomial{{1, 3, 4, 2, 0}}, 0.425, -52.5116, -159.3192, 45.0377},
      {{}, Pentanomial{{0, 0, 10, 0, 10}}, 0.75, 190.8485, 100.2788, 314.7218},
      // Guarded: one lost point in 40 games, and no spread at all.
      {{}, Pentanomial{{0, 0, 1, 0, 19}}, 0.975, 636.4258, 327.8071, INF},
      {{}, Pentanomial{{0, 0, 0, 0, 50}}, 1, INF, 570.0282, INF},
      {{}, Pentanomial{{0, 0, 20, 0, 0}}, 0.5, 0, -116.7627, 116.7627},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.tally.wins << "/" << c.tally.draws << "/"
                                      << c.tally.losses << (c.pairs ? " in pairs" : ""));
    std::optional<EloEstimate> const e = c.pairs ? estimate_elo(*c.pairs) : estimate_elo(c.tally);
    ASSERT_TRUE(e);
    EXPECT_NEAR(e->score, c.score, 1e-6);
    for (auto [actual, expected] :
         {std::pair(e->elo, c.elo), std::pair(e->low, c.low), std::pair(e->high, c.high)}) {
      if (std::isinf(expected))
        EXPECT_EQ(actual, expected);
      else
        EXPECT_NEAR(actual, expected, 1e-3);
    }
  }
  // Draws alone prove nothing either way, over games or over pairs of draws.
  for (std::optional<EloEstimate> const& e :
       {estimate_elo(Tally{0, 10, 0}), estimate_elo(Pentanomial{{0, 0, 5, 0, 0}})}) {
    ASSERT_TRUE(e);
    EXPECT_LT(e->low, 0);
    EXPECT_GT(e->high, 0);
  }
  EXPECT_FALSE(estimate_elo(Tally{}));
  EXPECT_FALSE(estimate_elo(Pentanomial{}));
  EXPECT_NEAR(elo_of_score(10.0 / 11), 400, 1e-9);
}

// Without draws the likelihood ratio is the binomial one, W ln(s1/s0) + L ln((1-s1)/(1-s0)),
// e.g. 7-5 at 0,50: 7 ln(0.571463/0.5) + 5 ln(0.428537/0.5) = 0.16399. With draws, and over
// pairs, the figures come from maximizing the likelihood apart: a golden-section search for
// the multiplier of the constrained maximum, whose distribution was checked to sum to 1 with
// the hypothesis' mean. Pairs symmetric about an even score give 0 between symmetric
// hypotheses.
TEST(sprt, log_likelihood_ratios_bounds_and_verdicts) {
  struct Case {
    Tally tally;
    std::optional<Pentanomial> pairs;
    SprtHypotheses hypotheses;
    double llr;
  };
  std::vector<Case> const cases = {
      {{7, 0, 5}, {}, {0, 50}, 0.163990},
      {{10, 0, 0}, {}, {0, 50}, 1.335898},
      {{0, 0, 3}, {}, {0, 50}, -0.462714},
      {{25, 2, 0}, {}, {0, 50}, 3.606799},
      {{30, 40, 30}, {}, {-10, 10}, 0},
      {{60, 30, 40}, {}, {0, 20}, 1.218680},
      {{12, 20, 8}, {}, {0, 5}, 0.106989},
      {{40, 10, 50}, {}, {-5, 5}, -0.319801},
      {{}, Pentanomial{{3, 10, 20, 14, 5}}, {0, 20}, 0.537960},
      {{}, Pentanomial{{1, 4, 10, 6, 2}}, {-5, 15}, 0.402289},
      {{}, Pentanomial{{0, 2, 30, 2, 0}}, {-10, 10}, 0},
      {{}, Pentanomial{{0, 0, 10, 0, 10}}, {0, 50}, 2.671544},
  };
  for (Case const& c : cases) {
    double const llr = c.pairs ? sprt_llr(*c.pairs, c.hypotheses) : sprt_llr(c.tally, c.hypotheses);
    EXPECT_NEAR(llr, c.llr, 1e-4) << c.tally.wins << "/" << c.tally.draws << "/" << c.tally.losses
                                  << (c.pairs ? " in pairs" : "");
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

  ParsedOptions const tree =
      parse_options({"--white", "bot:engine=mcts", "--black", "greedy", "--seconds", "0.25",
                     "--jobs", "2", "--pairs", "--games", "4"});
  ASSERT_EQ(tree.status, ParsedOptions::RUN) << tree.message;
  EXPECT_EQ(tree.options.bot_seconds, 0.25);
  EXPECT_TRUE(tree.options.pairs && tree.options.alternate);
  EXPECT_EQ(tree.options.action_limit_for(SeatKind::COMMAND), TCP_ACTION_LIMIT_MS);
#ifndef _WIN32
  EXPECT_EQ(parse_options({"--white", "cmd:bot", "--jobs", "2"}).status, ParsedOptions::RUN);
#endif
  ParsedOptions const tally = parse_options({"--elo", "39,0,1"});
  ASSERT_EQ(tally.status, ParsedOptions::ELO) << tally.message;
  EXPECT_EQ(tally_text(tally.tally),
            "39 wins and 1 loss: 97.5% (95% interval 86.8% to 99.9%), Elo +636 (95% interval +328 "
            "to +1279)");

  std::vector<std::pair<std::vector<std::string>, std::string>> const refused = {
      {{"--white", "bot", "--seconds", "0.5"}, "fractions of a second are for engine=mcts"},
      {{"--white", "bot:engine=mcts", "--seconds", "0.01"}, "from 0.05 to 3600"},
      {{"--white", "bot:engine=mcts", "--seconds", "1", "--bot-time", "1"}, "give one of them"},
#ifndef _WIN32
      {{"--white", "cmd:bot", "--seconds", "5", "--action-limit", "5"}, "program lose on time"},
#endif
      {{"--white", "random", "--games", "3", "--pairs"}, "--games 3 is odd"},
      {{"--elo", "1,2"}, "W,D,L"},
      {{"--elo", "0,0,0"}, "at least one game"},
      {{"--elo", "1,-1,2"}, "W,D,L"},
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
  // The running score follows the games in their order, whichever ended first.
  std::size_t at = 0;
  for (int g = 1; g <= 9; ++g) {
    at = three_console.find("\n" + std::to_string(g) + "/9: 0-" + std::to_string(g) + ", -inf Elo",
                            at);
    ASSERT_NE(at, std::string::npos) << "game " << g << "\n" << three_console;
  }
  EXPECT_NE(three_console.find("s/action avg  s/action max"), std::string::npos);
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

TEST(pairs, each_setup_is_played_twice_in_a_row_with_the_colours_swapped) {
  std::string console;
  nlohmann::json const record = series(8, 3, std::nullopt, console, true);
  nlohmann::json const& games = record["games"];
  ASSERT_EQ(games.size(), 8u);
  for (std::size_t k = 0; k < 8; k += 2) {
    EXPECT_EQ(games[k]["setup_seed"], games[k + 1]["setup_seed"]) << k;
    EXPECT_EQ(games[k]["start"], games[k + 1]["start"]) << k;
    EXPECT_EQ(games[k]["white"], games[k + 1]["black"]) << k;
    EXPECT_NE(games[k]["setup_seed"], games[(k + 2) % 8]["setup_seed"]) << k;
  }
  nlohmann::json const& duel = record["duel"];
  EXPECT_EQ(duel["pairs"], 4);
  EXPECT_EQ(duel["pentanomial"]["LL"], 4);  // random never beats greedy here
  EXPECT_EQ(duel["elo"], "-inf");           // text, as JSON has no infinity
  EXPECT_NE(console.find(": -inf (95% interval -inf to "), std::string::npos) << console;
  EXPECT_NE(console.find("over 4 pairs (LL 4, LD 0, WL/DD 0, WD 0, WW 0): 0.0%"), std::string::npos)
      << console;
}

TEST(pairs, the_sprt_decides_only_on_whole_pairs) {
  std::string one_console, three_console;
  nlohmann::json const one = series(300, 1, SprtHypotheses{0, 50}, one_console, true);
  nlohmann::json const three = series(300, 3, SprtHypotheses{0, 50}, three_console, true);
  EXPECT_EQ(three, one);
  std::size_t const played = three["games"].size();
  EXPECT_LT(played, 300u);
  EXPECT_EQ(played % 2, 0u);
  EXPECT_EQ(three["duel"]["pairs"], played / 2);
  EXPECT_EQ(three["duel"]["sprt"]["verdict"], "H0 accepted");
}

// Pairs are games 1 and 2, 3 and 4, ...; a pair with a game without a result, or with its
// second game missing, says nothing.
TEST(pairs, games_are_scored_by_pair) {
  auto game = [](int number, Players winner, bool a_white) {
    GameRecord g;
    g.game = number;
    g.white = a_white ? "a" : "b";
    g.black = a_white ? "b" : "a";
    g.winner = winner;
    return g;
  };
  std::vector<GameRecord> const games = {
      game(1, WHITE, true),  game(2, WHITE, false),  // a won, then lost: WL
      game(3, WHITE, true),  game(4, BLACK, false),  // a won both: WW
      game(5, BLACK, true),  game(6, WHITE, false),  // a lost both: LL
      game(7, WHITE, true),  game(8, NONE, false),   // no result: left out
      game(9, BLACK, false), game(10, WHITE, true),  // WW, a Black first
      game(11, WHITE, true)};                        // its pair unfinished
  DuelScore const score = duel_score(games, "a", true);
  ASSERT_TRUE(score.pairs);
  std::array<int, 5> const counts = {1, 0, 1, 0, 2};
  EXPECT_EQ(score.pairs->counts, counts);
  EXPECT_EQ(score.tally.wins, 7);
  EXPECT_EQ(score.tally.losses, 3);
  EXPECT_EQ(score.no_result, 1);
  EXPECT_FALSE(duel_score(games, "a", false).pairs);
  // The Elo is the pairs' (a mean pair score of 62.5%), not the games' 70%.
  std::string const running = running_text(score, 11, 20, SprtHypotheses{0, 50});
  EXPECT_EQ(running.rfind("11/20: 7-3, +89 Elo, LLR ", 0), 0u) << running;
  EXPECT_NE(running.find(", 1 without a result"), std::string::npos) << running;
}
