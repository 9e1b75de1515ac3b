// A cmd seat: for each game the manager starts a program on a port of its own and seats the
// connection that program makes, and no other.
#ifndef DRAVIX_MANAGER_COMMAND_SEAT_H
#define DRAVIX_MANAGER_COMMAND_SEAT_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manager/child_process.h"
#include "manager/seat.h"

namespace manager {

// A seat whose program never connected: it loses the game before its first action.
class AbsentSeat : public Seat {
 public:
  explicit AbsentSeat(std::string absence) : absence_(std::move(absence)) {}
  void start(Players, std::string const&) override {}
  Reply request(Vorak const&, int) override { return Reply{}; }
  void opponent_played(std::string const&) override {}
  void finish(std::string const&) override {}
  bool connected() const override { return false; }
  std::string absence() const override { return absence_; }

 private:
  std::string absence_;
};

class CommandSeat {
 public:
  // How long the program has to end after its game before it is killed.
  static constexpr int GRACE_MS = 2000;

  // Listens on 127.0.0.1 on a free port and starts `command` with "--address 127.0.0.1 --port
  // P --seconds S --games 1" appended, its output to `output` (empty: dropped). A program that
  // cannot be started comes out as an absent seat. Throws a std::string when no port can be
  // listened on.
  CommandSeat(std::vector<std::string> const& command, double seconds, std::string const& output);
  CommandSeat(CommandSeat const&) = delete;
  CommandSeat& operator=(CommandSeat const&) = delete;
  ~CommandSeat();

  int port() const { return port_; }
  // Waits up to `connect_limit_ms` (negative: no limit) from the program's start for its
  // connection, refusing, with a line to `log`, any that another process makes. The seat for
  // the game: the program's connection, or an absent seat when it ended or did not connect in
  // time; nullptr when the series was interrupted.
  std::unique_ptr<Seat> seat(std::string const& colour, int connect_limit_ms, Logger const& log);
  // Ends the program (its game is over): terminated, killed after GRACE_MS, reaped.
  void end();

 private:
  std::unique_ptr<SocketServer> server_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> program_;
  std::string not_started_;  // why the program could not be started
  std::chrono::steady_clock::time_point started_;
};

}  // namespace manager

#endif
