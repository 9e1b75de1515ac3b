// The benchmark's command line as a new user meets it: every refusal names what is wrong, and a
// board is read as strictly as the manager reads one.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "game/setup.h"
#include "tests/support/program.h"

namespace {

support::Outcome bench(std::string const& arguments) {
  return support::run_program(support::built_command("dravix-bench", arguments));
}

}  // namespace

TEST(bench_program, refusals_say_what_is_wrong_and_help_lists_every_option) {
  std::string const truncated = support::scratch_path("truncated_board.txt");
  std::string const board = support::scratch_path("board.txt");
  std::ofstream(truncated) << "BoardState{{WHITE,Vorak},{BLACK,Wemm}";
  std::ofstream(board) << "BoardState{" << random_opening_description(3) << "}\n";
  struct Case {
    std::string arguments;
    int status;
    std::string said;  // on standard error
  };
  for (Case const& c :
       std::vector<Case>{{"--bogus", 2, "unknown option --bogus"},
                         {"--bogus 1", 2, "unknown option --bogus"},
                         {"--seconds 1.5", 2, "--seconds: \"1.5\" is not a whole number"},
                         {"--seconds 3601", 2, "--seconds: 3601 is more than 3600"},
                         {"--seconds", 2, "missing value for --seconds"},
                         {"--board " + truncated + " --move-count 0", 2, "group 2 is not closed"},
                         {"--board " + board + " --move-count 0 --steps 50", 0, ""},
                         {"--reference --watch", 2, "--watch is for the fast form"},
                         {"--board " + truncated + "-missing --move-count 0", 2, "cannot read"}}) {
    support::Outcome const run = bench(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.arguments << "\n" << run.err;
  }
  for (char const* help : {"--help", "-h"}) {
    support::Outcome const run = bench(help);
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.err, "") << help;
    for (char const* option : {"--position", "--board", "--move-count", "--player", "--seconds",
                               "--steps", "--threads", "--seed", "--reference", "--watch",
                               "--engine", "--parallel", "--tune", "--help", "--version"})
      EXPECT_NE(run.out.find(option), std::string::npos) << help << ": " << option;
  }
  std::remove(truncated.c_str());
  std::remove(board.c_str());
}
