#include "manager/seat.h"

#include <chrono>
#include <string>
#include <utility>

#include <boost/algorithm/string/trim.hpp>

#include "manager/players.h"
#include "manager/referee.h"
#include "manager/seat_spec.h"

namespace manager {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long long ms_until(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

}  // namespace

std::string seat_kind_name(SeatKind kind) {
  switch (kind) {
    case SeatKind::TCP:
      return "tcp";
    case SeatKind::RANDOM:
      return "random";
    case SeatKind::GREEDY:
      return "greedy";
    case SeatKind::BOT:
      return "bot";
    case SeatKind::HUMAN:
      return "human";
  }
  return "";
}

std::optional<SeatKind> seat_kind_from(std::string const& name) {
  for (SeatKind k :
       {SeatKind::TCP, SeatKind::RANDOM, SeatKind::GREEDY, SeatKind::BOT, SeatKind::HUMAN})
    if (seat_kind_name(k) == name) return k;
  return std::nullopt;
}

BuiltinSeat::BuiltinSeat(SeatKind kind, std::uint32_t seed, unsigned short bot_seconds, bool quiet)
    : BuiltinSeat(kind, seed, BotSettings{bot_seconds, 1, "flat"}, quiet) {}

// "flat" is the only engine yet: the settings' engine picks nothing so far.
BuiltinSeat::BuiltinSeat(SeatKind kind, std::uint32_t seed, BotSettings const& bot, bool quiet)
    : kind_(kind),
      engine_(seed),
      bot_seconds_(bot.seconds),
      bot_threads_(bot.threads),
      quiet_(quiet),
      searcher_(kind == SeatKind::BOT ? std::make_unique<Searcher>(seed) : nullptr) {}

void BuiltinSeat::start(Players colour, std::string const&) {
  colour_ = colour;
}

Reply BuiltinSeat::request(Vorak const& position, int) {
  Clock::time_point const start = Clock::now();
  std::string internal;
  switch (kind_) {
    case SeatKind::RANDOM:
      internal = choose_random(position, colour_, engine_);
      break;
    case SeatKind::GREEDY:
      internal = choose_greedy(position, colour_, engine_);
      break;
    default: {
      // The search plays for own_player and writes its tallies into the state it is given.
      Vorak mine = position;
      mine.own_player = colour_;
      mine.seconds_per_move = bot_seconds_;
      internal = searcher_->choose(mine, SearchSettings{bot_threads_, !quiet_});
      break;
    }
  }
  Reply reply;
  reply.seconds = seconds_since(start);
  std::optional<std::string> const text = to_server_notation(internal);
  reply.status = text ? Reply::MOVE : Reply::MALFORMED;
  reply.move = text ? *text : internal;
  return reply;
}

TcpSeat::TcpSeat(std::unique_ptr<Socket> socket, Logger log, int linger_ms)
    : socket_(std::move(socket)), log_(std::move(log)), linger_ms_(linger_ms) {}

TcpSeat::~TcpSeat() {
  if (socket_) socket_->Close();
}

void TcpSeat::send(std::string const& line) {
  if (lost_) return;
  try {
    socket_->SendLine(line);
  } catch (std::string const&) {
    lost_ = true;
  } catch (char const*) {
    lost_ = true;
  }
}

TcpSeat::Read TcpSeat::read_line(std::string& line, long long deadline_ms) {
  Clock::time_point const deadline = Clock::now() + std::chrono::milliseconds(deadline_ms);
  for (;;) {
    std::size_t const end = buffer_.find('\n');
    if (end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return Read::LINE;
    }
    if (buffer_.size() > MAX_LINE) return Read::TOO_LONG;
    int wait = -1;
    if (deadline_ms >= 0) {
      long long const left = ms_until(deadline);
      if (left <= 0) return Read::TIMEOUT;
      wait = static_cast<int>(left);
    }
    SocketSelect ready(socket_.get(), nullptr, wait);
    if (!ready.Readable(socket_.get())) continue;  // the deadline is checked above
    std::string const bytes = socket_->ReceiveBytes();
    if (bytes.empty()) return Read::CLOSED;
    buffer_ += bytes;
  }
}

void TcpSeat::start(Players colour, std::string const& description) {
  name_ = colour_name(colour);
  send("Version{1.0}");
  send(colour == WHITE ? "YourPlayerNumber{One}" : "YourPlayerNumber{Two}");
  send("BoardState{" + description + "}");
}

Reply TcpSeat::request(Vorak const&, int limit_ms) {
  Reply reply;
  if (lost_) return reply;
  send("YourTurn{}");
  Clock::time_point const start = Clock::now();
  for (;;) {
    long long left = -1;
    if (limit_ms >= 0) {
      left = limit_ms -
             std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (left < 0) left = 0;
    }
    std::string line;
    Read const result = lost_ ? Read::CLOSED : read_line(line, left);
    reply.seconds = seconds_since(start);
    switch (result) {
      case Read::TIMEOUT:
        reply.status = Reply::TIMEOUT;
        return reply;
      case Read::CLOSED:
        lost_ = true;
        reply.status = Reply::DISCONNECTED;
        return reply;
      case Read::TOO_LONG:
        reply.status = Reply::MALFORMED;
        reply.move = "a line longer than " + std::to_string(MAX_LINE) + " bytes";
        return reply;
      case Read::LINE:
        break;
    }
    boost::algorithm::trim(line);
    if (line.empty()) continue;
    std::size_t const brace = line.find('{');
    std::string const type = line.substr(0, brace);
    if (type == "Move") {
      if (line.back() != '}') {
        reply.status = Reply::MALFORMED;
        reply.move = line;
      } else {
        reply.status = Reply::MOVE;
        reply.move = line.substr(brace + 1, line.size() - brace - 2);
      }
      return reply;
    }
    // Chat is only logged: answering it would start an endless exchange with a client that
    // answers every chat line.
    if (type == "Chat" && brace != std::string::npos) {
      std::string text = line.substr(brace + 1);
      if (!text.empty() && text.back() == '}') text.pop_back();
      log_(name_ + " says: " + text.substr(0, 500));
    } else {
      log_(name_ + " sent a line that is not a move, ignored: " + line.substr(0, 200));
    }
  }
}

void TcpSeat::opponent_played(std::string const& move) {
  send("Move{" + move + "}");
}

void TcpSeat::finish(std::string const& body) {
  if (finished_) return;
  finished_ = true;
  if (!body.empty()) send("GameOver{" + body + "}");
  if (!lost_) {
    // Wait for the client to close, dropping whatever it still sends.
    Clock::time_point const deadline = Clock::now() + std::chrono::milliseconds(linger_ms_);
    std::string line;
    for (;;) {
      long long const left = ms_until(deadline);
      if (left <= 0) break;
      Read const r = read_line(line, left);
      if (r != Read::LINE) break;
    }
  }
  socket_->Close();
}

std::unique_ptr<Socket> accept_client(SocketServer& server, int timeout_ms) {
  if (timeout_ms >= 0) {
    SocketSelect ready(&server, nullptr, timeout_ms);
    if (!ready.Readable(&server)) return nullptr;
  }
  return std::unique_ptr<Socket>(server.Accept());
}

}  // namespace manager
