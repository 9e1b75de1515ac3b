// Another program of the project run from a test, with what it reads on standard input given
// up front and what it prints read as it comes. Every wait is bounded: a program that outlives
// it is killed. POSIX only, like the tests that run programs.
#ifndef DRAVIX_TESTS_SUPPORT_PROGRAM_H
#define DRAVIX_TESTS_SUPPORT_PROGRAM_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace support {

// The path of one of the built programs.
std::string built_program(std::string const& name);
// A command line: the path of a built program, then `arguments` split at the blanks.
std::vector<std::string> built_command(std::string const& name, std::string const& arguments);

// A unique path in the test's scratch folder, for files a test hands to a program.
std::string scratch_path(std::string const& name);

struct Outcome {
  bool started = false;  // false when the program could not be started at all
  int status = -1;       // the exit status; -1 when it crashed or had to be killed
  std::string out, err;
};

class Program {
 public:
  // Starts `argv` (argv[0] a path) reading `input` and then the end of its input. With
  // `merged`, standard error goes where standard output goes.
  explicit Program(std::vector<std::string> const& argv, std::string const& input = "",
                   bool merged = false);
  Program(Program const&) = delete;
  Program& operator=(Program const&) = delete;
  ~Program();

  // Reads until `count` whole lines starting with `prefix` stand in standard output; false
  // after `seconds` or at the end of the output.
  bool printed(std::string const& prefix, int count = 1, int seconds = 10);
  // The port of the first "Listening on ADDRESS:PORT" line, -1 when none comes.
  int listening_port();
  void signal(int number);
  // Waits up to `seconds` for the end, killing the program after that, and reads the rest.
  Outcome finish(int seconds);

  bool started() const { return started_; }
  // Standard output read so far.
  std::string const& out() const { return out_text_; }

 private:
  bool read_some(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  bool started_ = false;
  int out_ = -1, err_ = -1;
  std::string input_path_;
  std::string out_text_, err_text_;
};

// Runs a program to its end (at most `seconds`).
Outcome run_program(std::vector<std::string> const& argv, std::string const& input = "",
                    int seconds = 60, bool merged = false);

}  // namespace support

#endif
