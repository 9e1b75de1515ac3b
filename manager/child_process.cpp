#include "manager/child_process.h"

#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

namespace manager {

#ifdef _WIN32

std::optional<std::string> program_path(std::string const&) {
  return std::nullopt;
}

ChildProcess::ChildProcess(std::vector<std::string> const&, std::string const&) {
  throw std::string("programs are started on POSIX systems only");
}

ChildProcess::~ChildProcess() = default;

bool ChildProcess::ended() {
  return true;
}

void ChildProcess::stop(int) {}

#else

namespace {

bool executable_file(std::string const& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Everything from `from` up is closed in the child, so that it holds no socket or file of the
// manager's (a listener of another game, say), only what it is given.
void close_from(int from) {
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, static_cast<unsigned>(from), ~0U, 0U) == 0) return;
#endif
  long const most = ::sysconf(_SC_OPEN_MAX);
  for (long fd = from; fd < (most > 0 && most < 65536 ? most : 65536); ++fd)
    ::close(static_cast<int>(fd));
}

}  // namespace

std::optional<std::string> program_path(std::string const& program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string::npos)
    return executable_file(program) ? std::optional<std::string>(program) : std::nullopt;
  char const* const path = std::getenv("PATH");
  std::string const dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
    end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    if (dir.empty()) dir = ".";
    std::string const candidate = dir + "/" + program;
    if (executable_file(candidate)) return candidate;
  }
  return std::nullopt;
}

ChildProcess::ChildProcess(std::vector<std::string> const& argv, std::string const& output) {
  if (argv.empty()) throw std::string("no program to start");
  std::optional<std::string> const path = program_path(argv[0]);
  if (!path) throw "no program " + argv[0] + " to start";
  // Everything the child needs is made before the fork: after it, a threaded parent's child
  // may only make calls that take no lock.
  std::vector<char*> args;
  for (std::string const& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int const input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int const out =
      output.empty()
          ? ::open("/dev/null", O_WRONLY | O_CLOEXEC)
          : ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (input < 0 || out < 0) {
    std::string const why = std::strerror(errno);
    if (input >= 0) ::close(input);
    if (out >= 0) ::close(out);
    throw "cannot open " + (out < 0 && !output.empty() ? output : "/dev/null") + ": " + why;
  }
  pid_t const parent = ::getpid();
  pid_t const pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
#ifdef __linux__
    // Ended with the manager, should it die without stopping it.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
#else
    (void)parent;
#endif
    if (::dup2(input, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ::_exit(127);
    close_from(3);
    ::execv(path->c_str(), args.data());
    ::_exit(127);
  }
  int const fork_error = errno;
  ::close(input);
  ::close(out);
  if (pid < 0) throw "cannot start " + argv[0] + ": " + std::strerror(fork_error);
  // Set from both sides, so that the group exists before either goes on.
  ::setpgid(pid, pid);
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  stop(0);
}

bool ChildProcess::ended() {
  if (pid_ < 0) return true;
  int status = 0;
  pid_t const done = ::waitpid(pid_, &status, WNOHANG);
  if (done == 0) return false;
  reaped(done < 0 ? std::nullopt : std::optional<int>(status));
  return true;
}

void ChildProcess::reaped(std::optional<int> status) {
  if (!status)
    ended_ = "ended unseen";
  else if (WIFEXITED(*status))
    ended_ = "exited with status " + std::to_string(WEXITSTATUS(*status));
  else
    ended_ = "was killed by signal " + std::to_string(WTERMSIG(*status));
  pid_ = -1;
}

void ChildProcess::stop(int grace_ms) {
  if (ended()) return;
  // The group takes the program's own children along.
  ::kill(-pid_, SIGTERM);
  auto const deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(grace_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ended()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-pid_, SIGKILL);
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid_, &status, 0);
  } while (done < 0 && errno == EINTR);
  reaped(done < 0 ? std::nullopt : std::optional<int>(status));
}

#endif

}  // namespace manager
