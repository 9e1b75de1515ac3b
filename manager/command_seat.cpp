#include "manager/command_seat.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manager/interrupt.h"
#include "manager/match.h"
#include "manager/seat_settings.h"
#include "manager/socket_owner.h"

namespace manager {

namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

CommandSeat::CommandSeat(std::vector<std::string> const& command, double seconds,
                         std::string const& output)
    : server_(std::make_unique<SocketServer>(0, 4, "127.0.0.1")),
      port_(server_->Port()),
      started_(Clock::now()) {
  std::vector<std::string> argv = command;
  for (std::string const& word :
       {std::string("--address"), std::string("127.0.0.1"), std::string("--port"),
        std::to_string(port_), std::string("--seconds"), thinking_time_text(seconds),
        std::string("--games"), std::string("1")})
    argv.push_back(word);
  try {
    program_ = std::make_unique<ChildProcess>(argv, output);
  } catch (std::string const& why) {
    not_started_ = why;
  }
}

CommandSeat::~CommandSeat() {
  end();
}

std::unique_ptr<Seat> CommandSeat::seat(std::string const& colour, int connect_limit_ms,
                                        Logger const& log) {
  if (!program_) return std::make_unique<AbsentSeat>("never connected: " + not_started_);
  for (;;) {
    int wait = INTERRUPT_POLL_MS;
    if (connect_limit_ms >= 0)
      wait = static_cast<int>(
          std::clamp<long long>(connect_limit_ms - ms_since(started_), 0, INTERRUPT_POLL_MS));
    SocketSelect ready(server_.get(), nullptr, wait);
    if (ready.Readable(server_.get())) {
      std::unique_ptr<Socket> socket(server_->Accept());
      std::optional<bool> const ours = connection_from(program_->pid(), socket->PeerPort(), port_);
      if (!ours || *ours) {
        auto seat = std::make_unique<TcpSeat>(std::move(socket), log);
        seat->vouch();
        return seat;
      }
      log("Refused a connection for " + colour + ": it does not come from its program");
      continue;
    }
    if (program_->ended())
      return std::make_unique<AbsentSeat>("never connected: its program " +
                                          program_->how_it_ended());
    if (Interruption::requested()) return nullptr;
    if (connect_limit_ms >= 0 && ms_since(started_) >= connect_limit_ms)
      return std::make_unique<AbsentSeat>("never connected: its program did not connect within " +
                                          seconds_text(connect_limit_ms / 1000.0) + " s");
  }
}

void CommandSeat::end() {
  if (program_) program_->stop(GRACE_MS);
  if (server_) server_->Close();
}

}  // namespace manager
