// The two seats of a game: a client over TCP speaking the server's side of the protocol, or a
// built-in player in this process. The match loop sees only the Seat interface.
#ifndef DRAVIX_MANAGER_SEAT_H
#define DRAVIX_MANAGER_SEAT_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <boost/random/mersenne_twister.hpp>

#include "ai/searcher.h"
#include "ai/thought.h"
#include "game/vorak.h"
#include "net/socket.h"

namespace manager {

// HUMAN is a person playing on the page of the manager's web server (manager/web/web_game.h);
// COMMAND a program the manager starts for each game, seated as a TCP client.
enum class SeatKind { TCP, RANDOM, GREEDY, BOT, HUMAN, COMMAND };
// "tcp", "random", "greedy", "bot", "human", "cmd"
std::string seat_kind_name(SeatKind kind);
std::optional<SeatKind> seat_kind_from(std::string const& name);

// A seat's answer to a request for one action.
// NOT_A_CLIENT: a connection that had not yet sent one line of the game's protocol closed,
// sent what cannot be protocol text, or let the time pass; it is no client of the game, and
// its seat loses nothing by it.
struct Reply {
  enum Status { MOVE, MALFORMED, TIMEOUT, DISCONNECTED, NOT_A_CLIENT };
  Status status = DISCONNECTED;
  std::string move;    // MOVE: the body of the Move message; MALFORMED: the offending text;
                       // NOT_A_CLIENT: what it did
  double seconds = 0;  // from the request to the answer
  // What a built-in bot made of the action it chose (manager's own search only).
  std::optional<Thought> thought;
};

class Seat {
 public:
  virtual ~Seat() = default;
  // The game begins: the seat plays `colour` from the position `description` (the body of
  // the BoardState message).
  virtual void start(Players colour, std::string const& description) = 0;
  // One action of the seat's colour on `position`, within `limit_ms` (negative: no limit).
  virtual Reply request(Vorak const& position, int limit_ms) = 0;
  // The other colour played `move` (server notation, "" for a pass).
  virtual void opponent_played(std::string const& move) = 0;
  // The game is over; `body` is this seat's GameOver body (empty: close without one).
  virtual void finish(std::string const& body) = 0;
  // False once the seat's connection is known to be gone.
  virtual bool connected() const { return true; }
  // False for a connection that has not yet sent one valid line of the game's protocol: if it
  // goes, it was no client of the game (a browser's connection, say) and costs its seat nothing.
  virtual bool spoke() const { return true; }
  // Why a seat that was never connected is not, for the record ("never connected: ..."); empty
  // for one that left.
  virtual std::string absence() const { return ""; }
};

// Receives the seats' notices (chat, ignored lines) for the console.
using Logger = std::function<void(std::string const&)>;

struct BotSettings;  // manager/bot_settings.h

class BuiltinSeat : public Seat {
 public:
  // `seed` drives the random and greedy players and seeds the bot's search, which thinks
  // `bot_seconds` per turn on one thread. `quiet` silences the search's console report.
  BuiltinSeat(SeatKind kind, std::uint32_t seed, double bot_seconds, bool quiet);
  BuiltinSeat(SeatKind kind, std::uint32_t seed, BotSettings const& bot, bool quiet);
  void start(Players colour, std::string const& description) override;
  Reply request(Vorak const& position, int limit_ms) override;
  void opponent_played(std::string const&) override {}
  void finish(std::string const&) override {}

  // A bot's search tells `thinking` what it thinks as it goes, a few times a second, while
  // `watched()` says that someone looks.
  using Thinking = std::function<void(Players, Thought const&)>;
  void show_thinking(Thinking thinking, std::function<bool()> watched);

 private:
  Thinking thinking_;
  std::function<bool()> watched_;
  SeatKind kind_;
  boost::random::mt19937 engine_;
  unsigned short bot_whole_seconds_;  // the position's seconds per move
  SearchSettings bot_settings_;
  Players colour_ = NONE;
  std::unique_ptr<Searcher> searcher_;  // a bot's own, so that games can run side by side
};

class TcpSeat : public Seat {
 public:
  // Longest line a client may send; a move is a dozen bytes, a chat line a few hundred.
  static constexpr std::size_t MAX_LINE = 64 * 1024;
  // Most notices (chat, ignored lines) logged for one action: a client must not flood the
  // console. The rest are read and dropped unseen.
  static constexpr int MAX_NOTICES = 20;
  // A client that takes none of the manager's lines for this long is gone (it stopped reading).
  static constexpr int SEND_TIMEOUT_MS = 60 * 1000;

  // Takes over an accepted connection. `name` labels its notices ("White", say). After the
  // GameOver line the seat waits up to `linger_ms` for the client to close first, so that
  // closing with its unread bytes pending cannot reset the connection before it has read
  // the outcome.
  TcpSeat(std::unique_ptr<Socket> socket, Logger log, int linger_ms = 2000);
  ~TcpSeat() override;

  // Before the game: reads what the client sends within `wait_ms` (0: what has come by now;
  // no more waiting once its first line is seen) and tells whether it may keep its seat. It
  // may not when it sent what cannot be protocol text (see refusal()) or when it has closed;
  // `why` then says which. A client that sends nothing, as a real one does until its first
  // turn, keeps it.
  bool admit(int wait_ms, std::string& why);
  // A program the manager started itself is a client from the start: its failures are its own.
  void vouch() { spoke_ = true; }

  void start(Players colour, std::string const& description) override;
  // Waits for the move at most `limit_ms` (negative: no limit), or until the series is
  // interrupted (then a TIMEOUT). What cannot be protocol text before the first valid line,
  // whenever it comes, closes the connection; a connection that goes (or times out) before
  // that line is NOT_A_CLIENT.
  Reply request(Vorak const& position, int limit_ms) override;
  void opponent_played(std::string const& move) override;
  void finish(std::string const& body) override;
  bool connected() const override { return !lost_; }
  bool spoke() const override { return spoke_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Read { LINE, TIMEOUT, INTERRUPTED, CLOSED, TOO_LONG, REFUSED };
  // The next complete line (without its line feed), read before `deadline` (none: no limit).
  // Lines are cut from a buffer of whatever arrived, so a client that sends half a line
  // cannot hold the manager past the limit; past the deadline only lines already received
  // are taken, so a client that keeps sending cannot either.
  Read read_line(std::string& line, std::optional<Clock::time_point> deadline);
  // One wait of at most `wait_ms` for bytes, which are added to the buffer. False when the
  // connection turned out closed.
  bool receive(int wait_ms, bool& received);
  bool take_line(std::string& line);
  void send(std::string const& line);
  void notice(std::string const& text);

  std::unique_ptr<Socket> socket_;
  Logger log_;
  int linger_ms_;
  std::string buffer_;
  std::size_t start_ = 0;    // the bytes of buffer_ before this are taken
  std::size_t scanned_ = 0;  // from start_ to here, buffer_ holds no line feed
  // Until the first valid line, the bytes from `from` on are checked: why what came cannot be
  // protocol text, or "". Sets spoke_ at the end of a valid line.
  std::string refusal(std::size_t from);
  bool first_line_checked_ = false;
  std::size_t line_begin_ = 0;  // in buffer_, of the line being checked
  std::string refused_;         // why the connection is refused, or ""
  bool spoke_ = false;          // it sent a valid line: a Move or a Chat message
  std::string name_ = "client";
  int notices_ = 0;
  bool lost_ = false;
  bool finished_ = false;
};

// Waits for the next client on `server`, at most `timeout_ms` (negative: no limit) and only
// until the series is interrupted; nullptr when none came.
std::unique_ptr<Socket> accept_client(SocketServer& server, int timeout_ms);

// True for an HTTP request line ("GET / HTTP/1.1": a method, a target and the version, split
// by single blanks), line end or not.
bool http_request_line(std::string const& line);

}  // namespace manager

#endif
