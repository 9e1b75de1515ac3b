#include "manager/seat.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include <boost/algorithm/string/trim.hpp>

#include "game/notation.h"
#include "manager/bot_settings.h"
#include "manager/interrupt.h"
#include "manager/players.h"
#include "manager/referee.h"
#include "match/printable.h"

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
    case SeatKind::COMMAND:
      return "cmd";
  }
  return "";
}

std::optional<SeatKind> seat_kind_from(std::string const& name) {
  for (SeatKind k : {SeatKind::TCP, SeatKind::RANDOM, SeatKind::GREEDY, SeatKind::BOT,
                     SeatKind::HUMAN, SeatKind::COMMAND})
    if (seat_kind_name(k) == name) return k;
  return std::nullopt;
}

BuiltinSeat::BuiltinSeat(SeatKind kind, std::uint32_t seed, double bot_seconds, bool quiet)
    : BuiltinSeat(kind, seed, BotSettings{bot_seconds, 1, "flat"}, quiet) {}

BuiltinSeat::BuiltinSeat(SeatKind kind, std::uint32_t seed, BotSettings const& bot, bool quiet)
    : kind_(kind),
      engine_(seed),
      bot_whole_seconds_(seconds_per_move(bot.seconds)),
      bot_settings_(search_settings(bot, !quiet)),
      searcher_(kind == SeatKind::BOT ? std::make_unique<Searcher>(seed) : nullptr) {}

void BuiltinSeat::start(Players colour, std::string const&) {
  colour_ = colour;
}

void BuiltinSeat::show_thinking(Thinking thinking, std::function<bool()> watched) {
  thinking_ = std::move(thinking);
  watched_ = std::move(watched);
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
      mine.seconds_per_move = bot_whole_seconds_;
      std::optional<SearchWatch> watch;
      if (thinking_)
        watch.emplace([this](Thought const& thought) { thinking_(colour_, thought); }, watched_);
      internal = searcher_->choose(mine, bot_settings_, watch ? &*watch : nullptr);
      break;
    }
  }
  Reply reply;
  if (kind_ == SeatKind::BOT) reply.thought = searcher_->thought();
  reply.seconds = seconds_since(start);
  std::optional<std::string> const text = to_server_notation(internal);
  reply.status = text ? Reply::MOVE : Reply::MALFORMED;
  reply.move = text ? *text : internal;
  return reply;
}

TcpSeat::TcpSeat(std::unique_ptr<Socket> socket, Logger log, int linger_ms)
    : socket_(std::move(socket)), log_(std::move(log)), linger_ms_(linger_ms) {
  socket_->SetSendTimeout(SEND_TIMEOUT_MS);
  socket_->SetNoDelay();
}

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

void TcpSeat::notice(std::string const& text) {
  ++notices_;
  if (notices_ <= MAX_NOTICES) log_(text);
  if (notices_ == MAX_NOTICES + 1)
    log_(name_ + " sends more lines than are shown; the rest of them for this action are dropped");
}

bool TcpSeat::receive(int wait_ms, bool& received) {
  received = false;
  SocketSelect ready(socket_.get(), nullptr, wait_ms);
  if (!ready.Readable(socket_.get())) return true;
  std::string const bytes = socket_->ReceiveBytes();
  if (bytes.empty()) return false;
  received = true;
  if (start_ > 0) {  // drop what has been taken, once per receive rather than once per line
    buffer_.erase(0, start_);
    scanned_ -= start_;
    line_begin_ -= std::min(line_begin_, start_);
    start_ = 0;
  }
  std::size_t const from = buffer_.size();
  buffer_ += bytes;
  if (!spoke_ && refused_.empty()) refused_ = refusal(from);
  return true;
}

std::string TcpSeat::refusal(std::size_t from) {
  for (std::size_t i = from; i < buffer_.size() && !spoke_; ++i) {
    auto const byte = static_cast<unsigned char>(buffer_[i]);
    if (byte == '\n') {
      std::string line = buffer_.substr(line_begin_, i - line_begin_);
      line_begin_ = i + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!first_line_checked_ && http_request_line(line))
        return "its first line is an HTTP request (\"" + client_text(line) +
               "\"), not the game's protocol";
      first_line_checked_ = true;
      boost::algorithm::trim(line);
      std::size_t const brace = line.find('{');
      std::string const type = line.substr(0, brace);
      spoke_ =
          brace != std::string::npos && line.back() == '}' && (type == "Move" || type == "Chat");
    } else if ((byte < 0x20 && byte != '\r') || byte == 0x7F) {
      // A TLS opening, say: the protocol is text, and no line of it holds a control byte.
      return "it sent bytes that are not the game's protocol text (\"" +
             client_text(buffer_.substr(line_begin_, 24)) + "\")";
    }
  }
  return "";
}

bool TcpSeat::take_line(std::string& line) {
  std::size_t const end = buffer_.find('\n', scanned_);
  if (end == std::string::npos) {
    scanned_ = buffer_.size();
    return false;
  }
  line.assign(buffer_, start_, end - start_);
  start_ = scanned_ = end + 1;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = scanned_ = 0;
  }
  return true;
}

TcpSeat::Read TcpSeat::read_line(std::string& line, std::optional<Clock::time_point> deadline) {
  for (;;) {
    if (!refused_.empty()) return Read::REFUSED;
    if (take_line(line)) return Read::LINE;
    if (buffer_.size() - start_ > MAX_LINE) return Read::TOO_LONG;
    int wait = INTERRUPT_POLL_MS;
    if (deadline) {
      long long const left = ms_until(*deadline);
      if (left <= 0) return Read::TIMEOUT;
      if (left < wait) wait = static_cast<int>(left);
    }
    bool received = false;
    if (!receive(wait, received)) return Read::CLOSED;
    if (!received && Interruption::requested()) return Read::INTERRUPTED;
  }
}

bool TcpSeat::admit(int wait_ms, std::string& why) {
  Clock::time_point const deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    if (!refused_.empty()) {
      why = refused_;
      return false;
    }
    // A first line too long to see whole is for the game to deal with.
    if (buffer_.size() - start_ > MAX_LINE) return true;
    // Once the first line has been seen, only a close can still refuse the connection.
    long long const left = first_line_checked_ ? 0 : std::max(0LL, ms_until(deadline));
    bool received = false;
    if (!receive(static_cast<int>(std::min<long long>(left, INTERRUPT_POLL_MS)), received)) {
      lost_ = true;
      why = "it closed the connection before the game began";
      return false;
    }
    if (!received && (left == 0 || Interruption::requested())) return true;
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
  notices_ = 0;
  Clock::time_point const start = Clock::now();
  std::optional<Clock::time_point> deadline;
  if (limit_ms >= 0) deadline = start + std::chrono::milliseconds(limit_ms);
  for (;;) {
    std::string line;
    Read const result = lost_ ? Read::CLOSED : read_line(line, deadline);
    reply.seconds = seconds_since(start);
    switch (result) {
      case Read::INTERRUPTED:  // the match loop sees the interruption itself
        reply.status = Reply::TIMEOUT;
        return reply;
      case Read::TIMEOUT:
        if (spoke_) {
          reply.status = Reply::TIMEOUT;
          return reply;
        }
        // A browser's connection that says nothing must not hold the seat either.
        reply.move = "said nothing in the time";
        socket_->Close();
        lost_ = true;
        reply.status = Reply::NOT_A_CLIENT;
        return reply;
      case Read::REFUSED:
        log_(name_ + "'s connection is closed: " + refused_);
        socket_->Close();
        lost_ = true;
        reply.status = Reply::NOT_A_CLIENT;
        reply.move = "sent what is not the game's protocol";
        return reply;
      case Read::CLOSED:
        lost_ = true;
        reply.status = spoke_ ? Reply::DISCONNECTED : Reply::NOT_A_CLIENT;
        reply.move = "closed";
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
      // The match loop shows and records the text only as client_text makes it.
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
      notice(name_ + " says: " + client_text(text));
    } else {
      notice(name_ + " sent a line that is not a move, ignored: " + client_text(line));
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
    while (read_line(line, deadline) == Read::LINE) {
    }
  }
  socket_->Close();
}

std::unique_ptr<Socket> accept_client(SocketServer& server, int timeout_ms) {
  Clock::time_point const deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int wait = INTERRUPT_POLL_MS;
    if (timeout_ms >= 0) {
      long long const left = std::max(0LL, ms_until(deadline));
      if (left < wait) wait = static_cast<int>(left);
    }
    SocketSelect ready(&server, nullptr, wait);
    if (ready.Readable(&server)) return std::unique_ptr<Socket>(server.Accept());
    if (Interruption::requested() || (timeout_ms >= 0 && ms_until(deadline) <= 0)) return nullptr;
  }
}

bool http_request_line(std::string const& line) {
  std::string text = line;
  if (!text.empty() && text.back() == '\r') text.pop_back();
  std::size_t const first = text.find(' ');
  std::size_t const second = first == std::string::npos ? first : text.find(' ', first + 1);
  if (first == 0 || second == std::string::npos || second == first + 1) return false;
  // The method is a token of the protocol; the version names it.
  for (std::size_t i = 0; i < first; ++i) {
    char const c = text[i];
    bool const alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphanumeric && std::string("!#$%&'*+-.^_`|~").find(c) == std::string::npos) return false;
  }
  return text.compare(second + 1, 5, "HTTP/") == 0 &&
         text.find(' ', second + 1) == std::string::npos;
}

}  // namespace manager
