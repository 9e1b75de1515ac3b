// The far end of a TCP connection on raw sockets, scripted by a test: a game manager talking
// to the bot, or a client talking to the manager. Every wait is bounded (30 s), so that a test
// of a silent or hung program ends. POSIX only.
#ifndef DRAVIX_TESTS_SUPPORT_PEER_H
#define DRAVIX_TESTS_SUPPORT_PEER_H

#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace support {

class Peer {
 public:
  explicit Peer(int fd) : fd_(fd) {}
  // A client connected to 127.0.0.1:port; connected() tells whether it got through.
  static Peer connect_to(int port);
  Peer(Peer&& other) noexcept;
  Peer(Peer const&) = delete;
  Peer& operator=(Peer const&) = delete;
  ~Peer();

  bool connected() const { return fd_ >= 0; }
  // Sends everything it can; a far end that has hung up simply gets no more.
  void send(std::string const& bytes);
  // The next line, line feed included, or "" once the connection is closed or silent.
  std::string read_line();
  // The next line without its line end (a CR before the LF dropped); nullopt once the
  // connection is closed or silent.
  std::optional<std::string> line();
  // Everything the far end sends until it closes the connection.
  std::string read_rest();
  // Closes our side for sending and waits for the far end to close its own.
  void close();
  // Drops the connection with a reset, so that the far end's next send fails.
  void reset();

 private:
  bool fill();

  int fd_;
  std::string buffer_;
};

using Script = std::function<void(Peer&)>;

// A listening socket on 127.0.0.1 and an ephemeral port, that runs a script on each of the
// connections it accepts, one after the other, in a thread of its own.
class ScriptedServer {
 public:
  explicit ScriptedServer(Script script, int connections = 1);
  ScriptedServer(ScriptedServer const&) = delete;
  ScriptedServer& operator=(ScriptedServer const&) = delete;
  ~ScriptedServer();

  int port() const { return port_; }
  // Waits for the scripts to end.
  void join();

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace support

#endif
