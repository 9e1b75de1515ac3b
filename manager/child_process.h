// A program the manager starts and ends itself: a cmd seat's, one per game. POSIX only; on
// other systems starting one throws.
#ifndef DRAVIX_MANAGER_CHILD_PROCESS_H
#define DRAVIX_MANAGER_CHILD_PROCESS_H

#include <optional>
#include <string>
#include <vector>

namespace manager {

// The path that runs `program`: itself when it names a path (has a slash), else the first
// executable file of that name in PATH; nothing when there is none.
std::optional<std::string> program_path(std::string const& program);

class ChildProcess {
 public:
  // Starts `argv` (argv[0] the program, looked up as program_path does) in a process group of
  // its own, reading nothing (/dev/null), its output and errors written to `output` (made anew), or
  // dropped when it is empty. It inherits no other open file of the manager. Throws a
  // std::string with the reason when it cannot be started.
  ChildProcess(std::vector<std::string> const& argv, std::string const& output);
  ChildProcess(ChildProcess const&) = delete;
  ChildProcess& operator=(ChildProcess const&) = delete;
  // Stops it as stop() does.
  ~ChildProcess();

  int pid() const { return pid_; }
  // True once it has ended; it is then reaped.
  bool ended();
  // How it ended: "exited with status 3", "was killed by signal 9"; empty while it runs.
  std::string how_it_ended() const { return ended_; }
  // Asks its process group to end (SIGTERM), waits up to `grace_ms` for it, then kills the
  // group (SIGKILL) and reaps it. Nothing when it has already ended.
  void stop(int grace_ms);

 private:
  // Notes how it ended (nothing: it was reaped elsewhere) and that it is gone.
  void reaped(std::optional<int> status);

  int pid_ = -1;
  std::string ended_;
};

}  // namespace manager

#endif
