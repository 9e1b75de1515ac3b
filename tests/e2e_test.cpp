// The real programs end to end: dravix-bot, its dialogue fed on standard input, plays against
// vorak-manager over TCP on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/text.h"

namespace {

using support::count;

// dravix-bot run to its end with `input` as its whole standard input.
support::Outcome run_bot(std::string const& input, std::vector<std::string> const& options = {},
                         int seconds = 30) {
  std::vector<std::string> command = {support::built_program("dravix-bot")};
  command.insert(command.end(), options.begin(), options.end());
  return support::run_program(command, input, seconds);
}

struct SeriesRun {
  support::Outcome bot, manager;
  nlohmann::json record;
};

// Runs a series of `games` between the bot (seat tcp, White first, colours alternating) and a
// built-in opponent; `answers` is the bot's whole standard input and `options` its command
// line, with PORT standing for the manager's port in either; the manager listens on `address`.
SeriesRun play_series(std::string const& opponent, int games, std::string answers,
                      std::vector<std::string> options = {},
                      std::string const& address = "127.0.0.1") {
  std::string const record = support::scratch_path("record.json");
  support::Program manager({support::built_program("vorak-manager"), "--address", address, "--port",
                            "0", "--white", "tcp", "--black", opponent, "--games",
                            std::to_string(games), "--alternate", "--seed", "11", "--record",
                            record, "--action-limit", "30"});
  EXPECT_TRUE(manager.started()) << "vorak-manager could not be started";
  std::string const port = std::to_string(manager.listening_port());
  EXPECT_NE(port, "-1") << manager.out();
  for (auto at = answers.find("PORT"); at != std::string::npos; at = answers.find("PORT"))
    answers.replace(at, 4, port);
  for (std::string& option : options)
    if (option == "PORT") option = port;

  // The bot plays in a thread of its own, so that the manager's output is read as it comes.
  auto bot =
      std::async(std::launch::async, [&] { return run_bot(answers, options, 60 * games + 60); });
  support::Outcome const refereed = manager.finish(60 * games + 90);
  SeriesRun run{bot.get(), refereed,
                nlohmann::json::parse(support::read_file(record), nullptr, false)};
  std::remove(record.c_str());
  return run;
}

std::string const BANNER =
    "I am Dravix Bot, the Vorak Grand Master Supreme.\nI was created by Ostrum to crush all "
    "opposition.\n";
std::string const WIN_REMARK = "Considering that you are an obvious novice you did quite well.\n";
std::string const LOSS_REMARK = "Celebrate for this is the best you will ever achieve.\n";
std::string const WIN_QUESTION = "\nDo you dare to challenge me again? [Y] ";
std::string const LOSS_QUESTION = "\nAre you brave enough to accept a rematch? [Y] ";

}  // namespace

TEST(end_to_end, bot_plays_a_rematch_as_white_then_black_and_leaves_on_no) {
  // Two games at one second a turn; "y" takes the rematch (keeping every default), "n" ends.
  SeriesRun const run = play_series("random", 2, "\nPORT\n1\ny\n\n\n\nn\n");
  ASSERT_EQ(run.bot.status, 0) << run.bot.err;
  EXPECT_EQ(run.manager.status, 0) << run.manager.out;

  std::string const& out = run.bot.out;
  EXPECT_EQ(out.rfind(BANNER, 0), 0u);
  EXPECT_EQ(count(out, BANNER), 2u);
  EXPECT_EQ(count(out, "You will need every advantage you can get.\n"), 2u);
  // The second dialogue offers the first game's answers as its defaults.
  EXPECT_EQ(count(out, "What is the IP address of the Corvane Game Manager? [127.0.0.1] "), 2u);
  EXPECT_NE(out.find("And how much time do I get to decide what moves to make?\n(Note, excepting "
                     "the first round where white only gets one move,\n each player get two moves "
                     "per round.) [1] "),
            std::string::npos);
  auto const white = out.find("I am the White player.\n");
  auto const black = out.find("I am the Black player.\n");
  ASSERT_NE(white, std::string::npos);
  ASSERT_NE(black, std::string::npos);
  EXPECT_LT(white, black);
  EXPECT_EQ(run.bot.err, "");

  ASSERT_TRUE(run.record.is_object()) << run.manager.out;
  ASSERT_EQ(run.record["games"].size(), 2u);
  for (int g = 0; g < 2; ++g) {
    auto const& game = run.record["games"][g];
    std::string const bot_colour = g == 0 ? "white" : "black";
    EXPECT_EQ(game[bot_colour].get<std::string>(), "tcp");
    std::string const reason = game["reason"].get<std::string>();
    EXPECT_TRUE(reason == "elimination" || reason == "no capture")
        << "game " << g + 1 << " ended by " << reason << ": " << game["detail"];
    ASSERT_TRUE(game["winner"].is_string()) << "game " << g + 1 << " has no winner";
    bool const bot_won = game["winner"].get<std::string>() == bot_colour;
    // The bot's remark and question follow its own view of the result, which must match
    // the referee's.
    std::string const remark = bot_won ? WIN_REMARK + WIN_QUESTION : LOSS_REMARK + LOSS_QUESTION;
    std::string const received = bot_won ? "GameOver{YouWin}" : "GameOver{YouLose}";
    auto const over = out.find(received, g == 0 ? white : black);
    ASSERT_NE(over, std::string::npos) << "game " << g + 1;
    EXPECT_EQ(out.find(remark, over), out.find('\n', over) + 1) << "game " << g + 1;
  }
}

TEST(end_to_end, command_line_answers_play_over_ipv6_with_the_tree_search_on_two_threads) {
  // Standard input holds a rematch refusal that must never be read.
  SeriesRun const run = play_series("greedy", 2, "n\n",
                                    {"--address", "::1", "--port", "PORT", "--seconds", "1",
                                     "--games", "2", "--engine", "mcts", "--threads", "2"},
                                    "::1");
  ASSERT_EQ(run.bot.status, 0) << run.bot.err;
  EXPECT_EQ(run.manager.status, 0) << run.manager.out;
  std::string const& out = run.bot.out;
  EXPECT_EQ(count(out, BANNER), 2u);
  EXPECT_EQ(count(out, "You will need every advantage you can get.\n"), 2u);
  EXPECT_EQ(out.find("What is the IP address"), std::string::npos);
  EXPECT_EQ(out.find("[Y] "), std::string::npos) << "no rematch question";
  EXPECT_NE(out.find("Attempting to open a connection with the Corvane Game Manager at ::1:"),
            std::string::npos);
  EXPECT_NE(out.find("\nTree search: "), std::string::npos);
  EXPECT_EQ(count(out, WIN_REMARK) + count(out, LOSS_REMARK), 2u);
  ASSERT_TRUE(run.record.is_object()) << run.manager.out;
  ASSERT_EQ(run.record["games"].size(), 2u);
  for (auto const& game : run.record["games"]) {
    std::string const reason = game["reason"].get<std::string>();
    EXPECT_TRUE(reason == "elimination" || reason == "no capture") << reason << game["detail"];
  }
}

TEST(end_to_end, refused_connection_is_a_no_contest_and_n_ends_the_program) {
  // Port 1 on the loopback address has no listener; the bot reports it and carries on.
  support::Outcome const bot = run_bot("\n1\n3\nN\n");
  ASSERT_EQ(bot.status, 0);
  std::string const& text = bot.out;
  EXPECT_NE(text.find("Attempting to open a connection with the Corvane Game Manager at "
                      "127.0.0.1:1"),
            std::string::npos);
  EXPECT_NE(text.find("This game is ruled a no contest.\n" + WIN_QUESTION), std::string::npos);
  EXPECT_EQ(bot.err.rfind("Unable to connect to the Corvane Game Manager: ", 0), 0u);
}

TEST(end_to_end, end_of_input_ends_the_program) {
  support::Outcome const bot = run_bot("\n1\n2\n");  // no answer to the rematch question
  EXPECT_EQ(bot.status, 0);
  EXPECT_EQ(count(bot.out, "Let the game begin!"), 1u);
}
