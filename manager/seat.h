// The two seats of a game: a client over TCP speaking the server's side of the protocol, or a
// built-in player in this process. The match loop sees only the Seat interface.
#ifndef DRAVIX_MANAGER_SEAT_H
#define DRAVIX_MANAGER_SEAT_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <boost/random/mersenne_twister.hpp>

#include "ai/searcher.h"
#include "game/vorak.h"
#include "net/socket.h"

namespace manager {

// HUMAN is a person playing on the page of the manager's web server (manager/web_game.h).
enum class SeatKind { TCP, RANDOM, GREEDY, BOT, HUMAN };
std::string seat_kind_name(SeatKind kind);  // "tcp", "random", "greedy", "bot", "human"
std::optional<SeatKind> seat_kind_from(std::string const& name);

// A seat's answer to a request for one action.
struct Reply {
  enum Status { MOVE, MALFORMED, TIMEOUT, DISCONNECTED };
  Status status = DISCONNECTED;
  std::string move;    // MOVE: the body of the Move message; MALFORMED: the offending text
  double seconds = 0;  // from the request to the answer
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
};

// Receives the seats' notices (chat, ignored lines) for the console.
using Logger = std::function<void(std::string const&)>;

struct BotSettings;  // manager/seat_spec.h

class BuiltinSeat : public Seat {
 public:
  // `seed` drives the random and greedy players and seeds the bot's search, which thinks
  // `bot_seconds` per turn on one thread. `quiet` silences the search's console report.
  BuiltinSeat(SeatKind kind, std::uint32_t seed, unsigned short bot_seconds, bool quiet);
  BuiltinSeat(SeatKind kind, std::uint32_t seed, BotSettings const& bot, bool quiet);
  void start(Players colour, std::string const& description) override;
  Reply request(Vorak const& position, int limit_ms) override;
  void opponent_played(std::string const&) override {}
  void finish(std::string const&) override {}

 private:
  SeatKind kind_;
  boost::random::mt19937 engine_;
  unsigned short bot_seconds_;
  unsigned bot_threads_;
  bool quiet_;
  Players colour_ = NONE;
  std::unique_ptr<Searcher> searcher_;  // a bot's own, so that games can run side by side
};

class TcpSeat : public Seat {
 public:
  // Longest line a client may send; a move is a dozen bytes, a chat line a few hundred.
  static constexpr std::size_t MAX_LINE = 64 * 1024;

  // Takes over an accepted connection. `name` labels its notices ("White", say). After the
  // GameOver line the seat waits up to `linger_ms` for the client to close first, so that
  // closing with its unread bytes pending cannot reset the connection before it has read
  // the outcome.
  TcpSeat(std::unique_ptr<Socket> socket, Logger log, int linger_ms = 2000);
  ~TcpSeat() override;

  void start(Players colour, std::string const& description) override;
  Reply request(Vorak const& position, int limit_ms) override;
  void opponent_played(std::string const& move) override;
  void finish(std::string const& body) override;
  bool connected() const override { return !lost_; }

 private:
  enum class Read { LINE, TIMEOUT, CLOSED, TOO_LONG };
  // The next complete line (without its line feed) before `deadline_ms` from now passes
  // (negative: no limit). Lines are cut from a buffer of whatever arrived, so a client that
  // sends half a line cannot hold the manager past the limit.
  Read read_line(std::string& line, long long deadline_ms);
  void send(std::string const& line);

  std::unique_ptr<Socket> socket_;
  Logger log_;
  int linger_ms_;
  std::string buffer_;
  std::string name_ = "client";
  bool lost_ = false;
  bool finished_ = false;
};

// Waits for the next client on `server`, at most `timeout_ms` (negative: no limit); nullptr
// when none came in time.
std::unique_ptr<Socket> accept_client(SocketServer& server, int timeout_ms);

}  // namespace manager

#endif
