#include "tests/support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace support {

std::string built_program(std::string const& name) {
  return std::string(DRAVIX_BIN_DIR) + "/" + name;
}

std::vector<std::string> built_command(std::string const& name, std::string const& arguments) {
  std::vector<std::string> argv = {built_program(name)};
  std::istringstream words(arguments);
  for (std::string word; words >> word;) argv.push_back(word);
  return argv;
}

std::string scratch_path(std::string const& name) {
  static std::atomic<int> serial{0};
  char const* dir = std::getenv("TEST_TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder + "dravix_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + "_" +
         name;
}

Program::Program(std::vector<std::string> const& argv, std::string const& input, bool merged)
    : input_path_(scratch_path("input")) {
  std::ofstream(input_path_, std::ios::binary) << input;
  int out[2], err[2] = {-1, -1};
  if (::pipe(out) != 0) return;
  if (!merged && ::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input_path_.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, merged ? out[1] : err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  if (!merged) posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> args;
  for (std::string const& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  started_ = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) == 0;
  if (!started_) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  out_ = out[0];
  if (!merged) {
    ::close(err[1]);
    err_ = err[0];
  }
}

Program::~Program() {
  finish(0);
  std::remove(input_path_.c_str());
}

bool Program::read_some(std::chrono::steady_clock::time_point deadline) {
  auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0 || (out_ < 0 && err_ < 0)) return false;
  pollfd ready[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  if (::poll(ready, 2, static_cast<int>(left.count())) <= 0) return false;
  int* const fds[2] = {&out_, &err_};
  std::string* const texts[2] = {&out_text_, &err_text_};
  for (int i = 0; i < 2; ++i) {
    if (*fds[i] < 0 || !(ready[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char bytes[4096];
    ssize_t const n = ::read(*fds[i], bytes, sizeof bytes);
    if (n > 0) {
      texts[i]->append(bytes, static_cast<std::size_t>(n));
    } else {
      ::close(*fds[i]);
      *fds[i] = -1;
    }
  }
  return true;
}

bool Program::printed(std::string const& prefix, int count, int seconds) {
  auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    int seen = 0;
    for (std::size_t at = out_text_.find(prefix); at != std::string::npos;
         at = out_text_.find(prefix, at + 1)) {
      bool const line_start = at == 0 || out_text_[at - 1] == '\n';
      if (line_start && out_text_.find('\n', at) != std::string::npos) ++seen;
    }
    if (seen >= count) return true;
    if (!read_some(deadline)) return false;
  }
}

int Program::listening_port() {
  std::string const listening = "Listening on ";
  if (!printed(listening)) return -1;
  std::size_t at = out_text_.find(listening);
  while (at != 0 && out_text_[at - 1] != '\n') at = out_text_.find(listening, at + 1);
  // The port follows the address's last colon: an IPv6 address has colons of its own.
  return std::stoi(out_text_.substr(out_text_.rfind(':', out_text_.find('\n', at)) + 1));
}

void Program::signal(int number) {
  if (pid_ > 0) ::kill(pid_, number);
}

Outcome Program::finish(int seconds) {
  Outcome outcome;
  outcome.started = started_;
  if (pid_ <= 0) return outcome;
  auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (read_some(deadline)) {
  }
  int status = 0;
  bool ended = false;
  while (!(ended = ::waitpid(pid_, &status, WNOHANG) == pid_) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  for (int* fd : {&out_, &err_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  pid_ = -1;
  outcome.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = out_text_;
  outcome.err = err_text_;
  return outcome;
}

Outcome run_program(std::vector<std::string> const& argv, std::string const& input, int seconds,
                    bool merged) {
  return Program(argv, input, merged).finish(seconds);
}

}  // namespace support
