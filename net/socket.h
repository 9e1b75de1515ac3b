// A small TCP socket family over the platform's socket interface (POSIX sockets, or Windows
// Sockets on Windows). One thread only: the counts below are plain integers.
#ifndef DRAVIX_NET_SOCKET_H
#define DRAVIX_NET_SOCKET_H

#include <cstddef>
#include <string>

#include "net/platform.h"

// Longest line ReceiveLine accepts; a board description is about 1 KiB.
constexpr std::size_t MAX_LINE_BYTES = 1 << 20;

class Socket {
 public:
  virtual ~Socket();
  Socket(const Socket&);
  Socket& operator=(Socket&);

  // Reads up to and including the next line feed, one byte at a time, so nothing beyond the
  // line is taken from the connection. Returns what was collected when the peer closes
  // (possibly empty), and the empty text on a receive error: a result without a final line
  // feed means the connection is gone. Throws a std::string past MAX_LINE_BYTES.
  std::string ReceiveLine();
  // Whatever bytes are available now (at most one read), empty when closed or on error.
  std::string ReceiveBytes();

  // Appends a line feed and sends the whole text, retrying partial and interrupted sends.
  // Throws a std::string with the reason when the text cannot be sent.
  void SendLine(std::string);
  void SendBytes(const std::string&);

  // Closes the handle now for every copy; later receives return empty, sends throw.
  void Close();

 protected:
  friend class SocketServer;
  friend class SocketSelect;

  explicit Socket(platform::SocketHandle handle);  // adopts an open handle (Accept)
  Socket();                                        // opens a fresh TCP socket

  platform::SocketHandle handle_;
  int* refCount_;  // shared by every copy of this handle

 private:
  static void Start();
  static void End();
  static int nofSockets_;  // live Socket objects; the library is started with the first

 public:
  static int LiveSockets() { return nofSockets_; }
};

class SocketClient : public Socket {
 public:
  // Resolves `host` (a name or a dotted IPv4 address) and connects. Throws a std::string
  // holding the resolver's or the system's error text.
  SocketClient(const std::string& host, int port);
};

// A listening socket, bound to `address` (127.0.0.1 by default).
class SocketServer : public Socket {
 public:
  SocketServer(int port, int connections, const std::string& address = "127.0.0.1");
  // The port actually bound (useful after binding port 0).
  int Port() const;
  // Waits for the next connection; the caller owns the result.
  Socket* Accept();
};

// Readiness of one or two sockets, waiting at most `timeout_ms` (negative: without limit).
class SocketSelect {
 public:
  SocketSelect(Socket const* s1, Socket const* s2, int timeout_ms = -1);
  bool Readable(Socket const* s);

 private:
  bool ready1_;
  bool ready2_;
  Socket const* s1_;
  Socket const* s2_;
};

#endif
