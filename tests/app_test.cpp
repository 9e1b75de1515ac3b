// The console front end: the command line, the dialogue, the difficulty, the remarks and the
// rematch loop, with standard input and output redirected to strings.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/options.h"
#include "dravix_version.h"
#include "tests/support/text.h"

namespace {

// Feeds `input` to std::cin and collects std::cout for the lifetime of the object.
class Console {
 public:
  explicit Console(std::string const& input)
      : in_(input), old_in_(std::cin.rdbuf(in_.rdbuf())), old_out_(std::cout.rdbuf(out_.rdbuf())) {
    std::cin.clear();
  }
  ~Console() {
    std::cin.rdbuf(old_in_);
    std::cout.rdbuf(old_out_);
    std::cin.clear();
  }
  std::string output() const { return out_.str(); }

 private:
  std::istringstream in_;
  std::ostringstream out_;
  std::streambuf* old_in_;
  std::streambuf* old_out_;
};

using support::count;

struct Settings {
  std::string address = "127.0.0.1";
  unsigned short port = 2525;
  unsigned short time = 40;
  Difficulty difficulty = EASIEST;
};

std::string configure(std::string const& input, Settings& s) {
  Console console(input);
  get_config(s.address, s.port, s.time, s.difficulty);
  return console.output();
}

const std::string BANNER =
    "I am Dravix Bot, the Vorak Grand Master Supreme.\n"
    "I was created by Ostrum to crush all opposition.\n";
const std::string TIME_PROMPT =
    "And how much time do I get to decide what moves to make?\n"
    "(Note, excepting the first round where white only gets one move,\n"
    " each player get two moves per round.) ";

// A stand-in for the match loop that records its arguments and returns scripted results.
struct FakeGames {
  std::vector<int> results;
  std::vector<Settings> calls;
  PlayGame play() {
    return
        [this](std::string const& address, unsigned short const& port, unsigned short const& time) {
          calls.push_back(Settings{address, port, time, EASIEST});
          return calls.size() <= results.size() ? results[calls.size() - 1] : 0;
        };
  }
};

}  // namespace

TEST(configuration, empty_answers_keep_the_defaults) {
  Settings s;
  std::string const out = configure("\n\n\n", s);
  EXPECT_EQ(out, BANNER + "What is the IP address of the Corvane Game Manager? [127.0.0.1] " +
                     "And what is its port number? [2525] " + TIME_PROMPT + "[40] " +
                     "I am power incarnate and all who oppose me shall fail.\n");
  EXPECT_EQ(s.address, "127.0.0.1");
  EXPECT_EQ(s.port, 2525);
  EXPECT_EQ(s.time, 40);
  EXPECT_EQ(s.difficulty, HARDEST);
}

TEST(configuration, answers_replace_the_settings) {
  Settings s;
  std::string const out = configure("game.example\n0\n12\n", s);
  EXPECT_EQ(s.address, "game.example");
  EXPECT_EQ(s.port, 0);  // a port of 0 is not refused here
  EXPECT_EQ(s.time, 12);
  EXPECT_EQ(s.difficulty, MEDIUM);
  EXPECT_NE(out.find("Your generosity will be your downfall.\n"), std::string::npos);
}

TEST(configuration, zero_time_is_asked_again_with_the_current_value) {
  Settings s;
  std::string out = configure("\n\n0\n0\n\n", s);
  EXPECT_EQ(count(out, "Enter an integer greater than 0: [40] "), 2u);
  EXPECT_EQ(s.time, 40);

  out = configure("\n\n0\n7\n", s);
  EXPECT_EQ(count(out, "Enter an integer greater than 0: [40] "), 1u);
  EXPECT_EQ(s.time, 7);
  EXPECT_EQ(s.difficulty, EASY);
}

TEST(configuration, time_that_is_no_number_in_range_is_asked_again) {
  Settings s;
  s.time = 9;
  std::string const out = configure("\n\nten\n65536\n-3\n 5\n5\n", s);
  EXPECT_EQ(count(out, "Enter an integer greater than 0: [9] "), 4u);
  EXPECT_EQ(s.time, 5);
}

TEST(configuration, port_that_is_no_number_in_range_is_asked_again) {
  Settings s;
  std::string out = configure("\nport\n65536\n-1\n8080\n\n", s);  // -1 would wrap to 65535
  EXPECT_EQ(count(out, "Enter a port number from 0 to 65535: [2525] "), 3u);
  EXPECT_EQ(s.port, 8080);
  // The time prompt still follows as usual.
  EXPECT_NE(out.find("Enter a port number from 0 to 65535: [2525] " + TIME_PROMPT + "[40] "),
            std::string::npos);

  out = configure("\nx\n\n\n", s);  // an empty answer to the repeat keeps the port
  EXPECT_EQ(s.port, 8080);
  EXPECT_EQ(count(out, "Enter a port number from 0 to 65535: [8080] "), 1u);

  out = configure("\n-0\n\n", s);  // minus zero is zero
  EXPECT_EQ(s.port, 0);
  EXPECT_EQ(count(out, "Enter a port number"), 0u);
}

TEST(configuration, end_of_input_keeps_the_remaining_defaults) {
  Settings s;
  std::string out = configure("host.test\n", s);
  EXPECT_EQ(s.address, "host.test");
  EXPECT_EQ(s.port, 2525);
  EXPECT_EQ(s.time, 40);
  EXPECT_NE(out.find("I am power incarnate and all who oppose me shall fail.\n"),
            std::string::npos);

  // Also inside the repeated questions, which would otherwise ask forever.
  out = configure("\nbad\n", s);
  EXPECT_EQ(s.port, 2525);
  out = configure("\n\n0\n", s);
  EXPECT_EQ(s.time, 40);
}

TEST(configuration, difficulty_thresholds) {
  struct Case {
    unsigned short time;
    Difficulty difficulty;
    char const* taunt;
  };
  Case const cases[] = {
      {1, EASIEST, "You will need every advantage you can get.\n"},
      {4, EASIEST, "You will need every advantage you can get.\n"},
      {5, EASY, "I will make short work of this.\n"},
      {9, EASY, "I will make short work of this.\n"},
      {10, MEDIUM, "Your generosity will be your downfall.\n"},
      {19, MEDIUM, "Your generosity will be your downfall.\n"},
      {20, HARD, "You cannot possibly hope to win now.\n"},
      {39, HARD, "You cannot possibly hope to win now.\n"},
      {40, HARDEST, "I am power incarnate and all who oppose me shall fail.\n"},
      {65535, HARDEST, "I am power incarnate and all who oppose me shall fail.\n"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.time);
    EXPECT_EQ(difficulty_for(c.time), c.difficulty);
    Settings s;
    std::string const out = configure("\n\n" + std::to_string(c.time) + "\n", s);
    EXPECT_EQ(s.difficulty, c.difficulty);
    ASSERT_GE(out.size(), std::string(c.taunt).size());
    EXPECT_EQ(out.substr(out.size() - std::string(c.taunt).size()), c.taunt);
  }
}

TEST(remarks, no_contest_is_the_same_at_every_difficulty) {
  for (Difficulty d : {EASIEST, EASY, MEDIUM, HARD, HARDEST})
    EXPECT_EQ(end_of_game_remark(0, d), "This game is ruled a no contest.");
  EXPECT_EQ(rematch_question(0), "\nDo you dare to challenge me again? [Y] ");
  EXPECT_EQ(rematch_question(1), "\nDo you dare to challenge me again? [Y] ");
  EXPECT_EQ(rematch_question(-1), "\nAre you brave enough to accept a rematch? [Y] ");
}

TEST(remarks, wins_and_losses_depend_on_the_difficulty) {
  EXPECT_EQ(end_of_game_remark(1, EASIEST),
            "Considering that you are an obvious novice you did quite well.");
  EXPECT_EQ(end_of_game_remark(-1, EASY), "Impressive.  Someone has trained you well.");
  EXPECT_EQ(end_of_game_remark(1, HARD),
            "I thought that you would prove to be a worthy opponent.\n"
            "It was the only mistake I made the entire game.");
  EXPECT_EQ(end_of_game_remark(-1, HARDEST),
            "You have accomplished a legendary feat\n"
            "and your name will live on throughout time immemorial.");
  EXPECT_NE(end_of_game_remark(1, MEDIUM), end_of_game_remark(-1, MEDIUM));
}

TEST(rematch, answers_beginning_with_n_end_the_program) {
  for (std::string answer : {"n", "N", "no", "Never"}) {
    SCOPED_TRACE(answer);
    FakeGames games;
    games.results = {1};
    Console console("\n\n\n" + answer + "\n" + "\n\n\n" + "n\n");
    EXPECT_EQ(play_matches(games.play()), 0);
    EXPECT_EQ(games.calls.size(), 1u);
  }
}

TEST(rematch, other_answers_start_another_game) {
  for (std::string answer : {"", "y", "x", " n", "Yes no"}) {
    SCOPED_TRACE("[" + answer + "]");
    FakeGames games;
    Console console("\n\n\n" + answer + "\n" + "\n\n\n" + "n\n");
    EXPECT_EQ(play_matches(games.play()), 0);
    EXPECT_EQ(games.calls.size(), 2u);
  }
}

TEST(rematch, each_game_gets_the_whole_dialogue_with_the_previous_answers) {
  FakeGames games;
  games.results = {-1, 0};
  std::string out;
  {
    Console console("host.test\n2600\n5\ny\n\n\n\nn\n");
    EXPECT_EQ(play_matches(games.play()), 0);
    out = console.output();
  }
  ASSERT_EQ(games.calls.size(), 2u);
  EXPECT_EQ(games.calls[1].address, "host.test");
  EXPECT_EQ(games.calls[1].port, 2600);
  EXPECT_EQ(games.calls[1].time, 5);

  std::string const second_dialogue =
      BANNER + "What is the IP address of the Corvane Game Manager? [host.test] " +
      "And what is its port number? [2600] " + TIME_PROMPT + "[5] " +
      "I will make short work of this.\n";
  EXPECT_EQ(count(out, BANNER), 2u);
  // A loss at EASY, then the second dialogue, then a no contest.
  EXPECT_NE(out.find("I will make short work of this.\n"
                     "Impressive.  Someone has trained you well.\n"
                     "\nAre you brave enough to accept a rematch? [Y] " +
                     second_dialogue +
                     "This game is ruled a no contest.\n"
                     "\nDo you dare to challenge me again? [Y] "),
            std::string::npos);
}

TEST(rematch, end_of_input_ends_the_program) {
  // Input ends during the second dialogue: that game is played with the defaults kept, and the
  // rematch question that follows finds no answer.
  FakeGames games;
  games.results = {1, 1};
  Console console("\n\n\ny\n");
  EXPECT_EQ(play_matches(games.play()), 0);
  ASSERT_EQ(games.calls.size(), 2u);
  EXPECT_EQ(games.calls[1].port, 2525);
  EXPECT_EQ(games.calls[1].time, 40);
}

TEST(options, answers_from_the_command_line_play_without_a_question) {
  FakeGames games;
  games.results = {1, -1, 0};
  Console console("n\n");  // nothing may be read: this would decline a rematch
  EXPECT_EQ(play_scripted(games.play(), "::1", 2600, 5, 3), 1);  // the third: no contest
  ASSERT_EQ(games.calls.size(), 3u);
  EXPECT_EQ(games.calls[2].address, "::1");
  EXPECT_EQ(games.calls[2].port, 2600);
  EXPECT_EQ(games.calls[2].time, 5);
  std::string const out = console.output();
  EXPECT_EQ(out, BANNER + "I will make short work of this.\nAs expected I won, again.\n" + BANNER +
                     "I will make short work of this.\nImpressive.  Someone has trained you "
                     "well.\n" +
                     BANNER +
                     "I will make short work of this.\nThis game is ruled a no contest.\n");
  std::string rest;
  EXPECT_TRUE(std::getline(std::cin, rest)) << "standard input was read";

  // Every game played to its end, won or lost: success.
  FakeGames played;
  played.results = {1, -1};
  EXPECT_EQ(play_scripted(played.play(), "::1", 2600, 5, 2), 0);
}

TEST(options, command_lines) {
  struct Case {
    std::vector<char const*> args;
    int status;  // -1: the program goes on to play
    unsigned threads;
    std::string out, err;  // parts each stream must hold ("" for an empty stream)
    bool scripted = false;
  };
  std::string const refused = "Try 'dravix-bot --help'.\n";
  std::vector<Case> const cases = {
      {{}, -1, 1, "", ""},
      {{"--threads", "2"}, -1, 2, "", ""},
      {{"--threads=0"}, -1, 0, "", ""},
      {{"--threads", "1024"}, -1, 1024, "", ""},
      {{"--threads", "3", "--threads", "4"}, -1, 4, "", ""},
      {{"--engine", "mcts"}, -1, 1, "", ""},
      {{"--address", "::1", "--port", "2600", "--seconds", "3", "--games", "5"},
       -1,
       1,
       "",
       "",
       true},
      {{"--games", "2"}, -1, 1, "", "", true},
      {{"--help"}, 0, 1, "Usage: dravix-bot [OPTIONS]\n", ""},
      {{"--threads", "2", "--version"}, 0, 1, "dravix-bot " DRAVIX_VERSION "\n", ""},
      {{"--threads"}, 2, 1, "", "dravix-bot: --threads: 1 required N missing\n" + refused},
      {{"--threads", "1025"}, 2, 1, "", "--threads: Value 1025 not in range 0 to 1024"},
      {{"--threads", "-1"}, 2, 1, "", "--threads: Value -1 not in range"},
      {{"--threads=two"}, 2, 1, "", "--threads: Value two is not a whole number"},
      {{"--port", "1.5"}, 2, 1, "", "--port: Value 1.5 is not a whole number"},
      {{"--games", "2.5"}, 2, 1, "", "--games: Value 2.5 is not a whole number"},
      {{"-h"}, 0, 1, "Usage: dravix-bot [OPTIONS]\n", ""},
      {{"--threads", "99999999999999999999"}, 2, 1, "", "--threads: Value 99999999999999999999"},
      {{"--engine", "deep"}, 2, 1, "", "--engine: deep not in {flat,mcts}"},
      {{"--port", "0"}, 2, 1, "", "--port: Value 0 not in range 1 to 65535"},
      {{"--seconds", "0"}, 2, 1, "", "--seconds: Value 0 not in range"},
      {{"--seconds", "3601"}, 2, 1, "", "--seconds: Value 3601 not in range 0.05 to 3600"},
      {{"--seconds", "0.5"}, 2, 1, "", "--seconds: whole seconds, from 1, unless with --engine"},
      {{"--engine", "mcts", "--seconds", "0.5"}, -1, 1, "", "", true},
      {{"--engine", "mcts", "--seconds", "0.04"}, 2, 1, "", "Value 0.04 not in range"},
      {{"--tree-memory", "64"}, 2, 1, "", "--tree-memory: only with --engine mcts"},
      {{"--engine", "mcts", "--tree-memory", "0"}, 2, 1, "", "Value 0 not in range 1 to"},
      {{"--engine", "mcts", "--tune", "solver=2"}, 2, 1, "", "--tune: solver takes 0 or 1"},
      {{"--engine", "mcts", "--clock", "sundial"}, 2, 1, "", "--clock: sundial not in"},
      {{"--games", "0"}, 2, 1, "", "--games: Value 0 not in range"},
      {{"--address", ""}, 2, 1, "", "--address: a host name or an address is needed"},
      {{"--verbose"}, 2, 1, "", "dravix-bot: unknown option --verbose\n" + refused},
      {{"--verbose=2"}, 2, 1, "", "dravix-bot: unknown option --verbose\n"},
      {{"127.0.0.1"}, 2, 1, "", "not expected: 127.0.0.1"},
  };
  for (Case const& c : cases) {
    std::vector<char const*> argv = {"dravix-bot"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    BotOptions options;
    std::ostringstream out, err;
    std::optional<int> const status =
        parse_bot_options(static_cast<int>(argv.size()), argv.data(), options, out, err);
    std::string const line = ::testing::PrintToString(c.args);
    EXPECT_EQ(status.value_or(-1), c.status) << line;
    EXPECT_EQ(options.threads, c.threads) << line;
    if (c.status == -1) {
      EXPECT_EQ(options.scripted, c.scripted) << line;
    }
    for (auto const& [text, expected] :
         {std::pair{out.str(), c.out}, std::pair{err.str(), c.err}}) {
      if (expected.empty())
        EXPECT_EQ(text, "") << line;
      else
        EXPECT_NE(text.find(expected), std::string::npos) << line << ": " << text;
    }
  }
}

TEST(options, tree_search_settings_reach_the_tree_search) {
  char const* argv[] = {"dravix-bot",    "--engine", "mcts",           "--seconds", "0.5",
                        "--tree-memory", "64",       "--clock",        "calendar",  "--tune",
                        "priors=0",      "--tune",   "exploration=1.5"};
  BotOptions options;
  std::ostringstream out, err;
  ASSERT_FALSE(parse_bot_options(13, argv, options, out, err)) << err.str();
  EXPECT_EQ(options.seconds, 1);  // the rules' whole seconds, rounded up
  EXPECT_EQ(options.tree.seconds, 0.5);
  EXPECT_EQ(options.tree.memory_mb, 64u);
  EXPECT_TRUE(options.tree.calendar_clock);
  EXPECT_FALSE(options.tree.priors);
  EXPECT_TRUE(options.tree.solver);
  EXPECT_EQ(options.tree.exploration, 1.5);
}
