// The real programs end to end: dravix-bot, its dialogue fed on standard input, plays against
// vorak-manager over TCP on 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::string const BIN = DRAVIX_BIN_DIR;

std::string read_file(std::string const& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string scratch(std::string const& name) {
  return testing::TempDir() + "dravix_e2e_" + std::to_string(::getpid()) + "_" + name;
}

// Starts `argv` with standard input, output and error on the given files.
pid_t spawn(std::vector<std::string> const& argv, std::string const& in, std::string const& out,
            std::string const& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (std::string const& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int const rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// The exit status, or -1 when the process had to be killed after `seconds`.
int wait_for(pid_t pid, int seconds) {
  auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

std::size_t count(std::string const& text, std::string const& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct SeriesRun {
  int bot_status;
  int manager_status;
  std::string bot_out, bot_err, manager_out;
  nlohmann::json record;
};

// Runs a series of `games` between the bot (seat tcp, White first, colours alternating) and a
// built-in opponent; `answers` is the bot's whole standard input and `options` its command
// line, with PORT standing for the manager's port in either; the manager listens on `address`.
SeriesRun play_series(std::string const& opponent, int games, std::string answers,
                      std::vector<std::string> options = {},
                      std::string const& address = "127.0.0.1") {
  std::string const in = scratch("in"), out = scratch("out"), err = scratch("err");
  std::string const mout = scratch("manager_out"), record = scratch("record.json");
  std::ofstream(scratch("empty")).flush();
  pid_t const manager =
      spawn({BIN + "/vorak-manager", "--address", address, "--port", "0", "--white", "tcp",
             "--black", opponent, "--games", std::to_string(games), "--alternate", "--seed", "11",
             "--record", record, "--action-limit", "30"},
            scratch("empty"), mout, mout + ".err");
  EXPECT_GT(manager, 0);
  std::string port;
  for (int i = 0; i < 200 && port.empty(); ++i) {
    std::string const text = read_file(mout);
    auto const at = text.find("Listening on ");
    auto const end = text.find('\n', at);
    if (at != std::string::npos && end != std::string::npos) {
      auto const colon = text.rfind(':', end);
      port = text.substr(colon + 1, end - colon - 1);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  EXPECT_FALSE(port.empty()) << read_file(mout) << read_file(mout + ".err");
  for (auto at = answers.find("PORT"); at != std::string::npos; at = answers.find("PORT"))
    answers.replace(at, 4, port);
  for (std::string& option : options)
    if (option == "PORT") option = port;
  std::ofstream(in) << answers;

  SeriesRun run;
  std::vector<std::string> command = {BIN + "/dravix-bot"};
  command.insert(command.end(), options.begin(), options.end());
  pid_t const bot = spawn(command, in, out, err);
  run.bot_status = wait_for(bot, 60 * games + 60);
  run.manager_status = wait_for(manager, 30);
  run.bot_out = read_file(out);
  run.bot_err = read_file(err);
  run.manager_out = read_file(mout);
  std::ifstream record_in(record);
  if (record_in) run.record = nlohmann::json::parse(record_in, nullptr, false);
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
  ASSERT_EQ(run.bot_status, 0) << run.bot_err;
  EXPECT_EQ(run.manager_status, 0) << run.manager_out;

  std::string const& out = run.bot_out;
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
  EXPECT_EQ(run.bot_err, "");

  ASSERT_TRUE(run.record.is_object()) << run.manager_out;
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
  ASSERT_EQ(run.bot_status, 0) << run.bot_err;
  EXPECT_EQ(run.manager_status, 0) << run.manager_out;
  std::string const& out = run.bot_out;
  EXPECT_EQ(count(out, BANNER), 2u);
  EXPECT_EQ(count(out, "You will need every advantage you can get.\n"), 2u);
  EXPECT_EQ(out.find("What is the IP address"), std::string::npos);
  EXPECT_EQ(out.find("[Y] "), std::string::npos) << "no rematch question";
  EXPECT_NE(out.find("Attempting to open a connection with the Corvane Game Manager at ::1:"),
            std::string::npos);
  EXPECT_NE(out.find("\nTree search: "), std::string::npos);
  EXPECT_EQ(count(out, WIN_REMARK) + count(out, LOSS_REMARK), 2u);
  ASSERT_TRUE(run.record.is_object()) << run.manager_out;
  ASSERT_EQ(run.record["games"].size(), 2u);
  for (auto const& game : run.record["games"]) {
    std::string const reason = game["reason"].get<std::string>();
    EXPECT_TRUE(reason == "elimination" || reason == "no capture") << reason << game["detail"];
  }
}

TEST(end_to_end, refused_connection_is_a_no_contest_and_n_ends_the_program) {
  // Port 1 on the loopback address has no listener; the bot reports it and carries on.
  std::string const in = scratch("refused_in"), out = scratch("refused_out");
  std::ofstream(in) << "\n1\n3\nN\n";
  pid_t const bot = spawn({BIN + "/dravix-bot"}, in, out, out + ".err");
  ASSERT_EQ(wait_for(bot, 30), 0);
  std::string const text = read_file(out);
  EXPECT_NE(text.find("Attempting to open a connection with the Corvane Game Manager at "
                      "127.0.0.1:1"),
            std::string::npos);
  EXPECT_NE(text.find("This game is ruled a no contest.\n" + WIN_QUESTION), std::string::npos);
  EXPECT_EQ(read_file(out + ".err").rfind("Unable to connect to the Corvane Game Manager: ", 0),
            0u);
}

TEST(end_to_end, end_of_input_ends_the_program) {
  std::string const in = scratch("eof_in"), out = scratch("eof_out");
  std::ofstream(in) << "\n1\n2\n";  // no answer to the rematch question
  pid_t const bot = spawn({BIN + "/dravix-bot"}, in, out, out + ".err");
  EXPECT_EQ(wait_for(bot, 30), 0);
  EXPECT_EQ(count(read_file(out), "Let the game begin!"), 1u);
}
