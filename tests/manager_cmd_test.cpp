// cmd: seats: the manager starts a program for each game, seats its connection and no
// stranger's, and ends it after the game; a program that never connects loses that game.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "manager/options.h"
#include "manager/seat_settings.h"
#include "manager/series.h"
#include "tests/support/peer.h"
#include "tests/support/program.h"
#include "tests/support/text.h"

using namespace manager;

namespace {

// Gone, or a zombie that only its new parent has left to reap.
bool process_gone(int pid) {
  if (::kill(pid, 0) != 0) return errno == ESRCH;
  std::string const stat = support::read_file("/proc/" + std::to_string(pid) + "/stat");
  std::size_t const close = stat.rfind(')');
  return close != std::string::npos && stat.compare(close, 4, ") Z ") == 0;
}

}  // namespace

// The program waits for `flag` before it connects, so that a stranger comes first; it answers
// its first turn with a move of its own making, and after the game it holds on (ignoring
// SIGTERM, with a child of its own) until it is killed.
TEST(cmd_seat, seats_only_its_own_program_and_ends_it_after_the_game) {
  std::string const flag = support::scratch_path("connect");
  std::string const pids = support::scratch_path("pids");
  std::string const record = support::scratch_path("record.json");
  std::string const script =
      "for i in $(seq 400); do [ -e " + flag +
      " ] && break; sleep 0.05; done; "
      "exec 3<>/dev/tcp/127.0.0.1/$4; "
      "while read -r line <&3; do case $line in "
      "YourTurn*) echo \"Move{from-the-program}\" >&3;; GameOver*) break;; esac; done; "
      "trap \"\" TERM; echo $$ > " +
      pids + "; sleep 60 & echo $! >> " + pids + "; wait";
  support::Program manager({support::built_program("vorak-manager"), "--white",
                            "cmd:/bin/bash -c '" + script + "' program", "--black", "random",
                            "--record", record, "--connect-limit", "30"});
  ASSERT_TRUE(manager.started());
  ASSERT_TRUE(manager.printed("Waiting for White's program to connect to 127.0.0.1:"))
      << manager.out();
  std::string const out = manager.out();
  int const port = std::stoi(out.substr(out.rfind("127.0.0.1:") + 10));

  support::Peer stranger = support::Peer::connect_to(port);
  ASSERT_TRUE(stranger.connected());
  EXPECT_TRUE(manager.printed("Refused a connection for White: it does not come from its program"))
      << manager.out();
  EXPECT_EQ(stranger.read_line(), "");  // closed unseated: no Version line
  std::ofstream(flag) << "go";

  support::Outcome const end = manager.finish(60);
  EXPECT_EQ(end.status, 0) << end.out << end.err;
  nlohmann::json const game = nlohmann::json::parse(support::read_file(record))["games"][0];
  EXPECT_EQ(game["refused"]["move"], "from-the-program") << game.dump();
  EXPECT_EQ(game["winner"], "black");
  std::istringstream held(support::read_file(pids));
  int shell = 0, child = 0;
  ASSERT_TRUE(held >> shell >> child) << support::read_file(pids);
  EXPECT_TRUE(process_gone(shell));
  EXPECT_TRUE(process_gone(child));
  for (std::string const& path : {flag, pids, record}) std::remove(path.c_str());
}

TEST(cmd_seat, a_program_that_never_connects_loses_and_the_series_goes_on) {
  struct Case {
    std::string command, detail;
  };
  std::vector<Case> const cases = {
      {"/bin/sh -c 'exit 3'", "White never connected: its program exited with status 3"},
      {"/bin/sh -c 'sleep 30'",
       "White never connected: its program did not connect within 0.500 s"},
      {"/no/such/program", "White never connected: no program /no/such/program to start"},
  };
  for (Case const& c : cases) {
    std::string error;
    std::optional<SeatChoice> const choice = parse_seat_choice("cmd:" + c.command, error);
    ASSERT_TRUE(choice) << error;
    Options o;
    o.white = choice->kind;
    o.white_settings = choice->settings;
    o.black = SeatKind::RANDOM;
    o.games = 2;
    o.quiet = true;
    o.connect_limit_ms = 500;
    std::ostringstream out, err;
    EXPECT_EQ(run_series(o, out, err), 0) << err.str();
    for (char const* game : {"Game 1: ", "Game 2: "}) {
      EXPECT_TRUE(support::contains(out.str(), game +
                                                   std::string("Black (random) beat White (cmd:") +
                                                   c.command + ") by disconnected: " + c.detail))
          << out.str();
    }
  }
  // Every program was reaped.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}
