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
  // Copies share the handle; it is closed when the last of them goes.
  Socket(const Socket&);
  Socket& operator=(const Socket&);

  // Reads up to and including the next line feed, one byte at a time, so nothing beyond the
  // line is taken from the connection. Returns what was collected when the peer closes
  // (possibly empty), and the empty text on a receive error: a result without a final line
  // feed means the connection is gone. Throws a std::string past MAX_LINE_BYTES.
  std::string ReceiveLine();
  // Whatever bytes are available now (at most one read), empty when closed or on error.
  std::string ReceiveBytes();

  // Appends a line feed and sends the whole text, retrying partial and interrupted sends.
  // Throws a std::string with the reason when the text cannot be sent ("send failed: ...");
  // a peer that has closed is such a failure, never a SIGPIPE.
  void SendLine(std::string);
  // The same for bytes as they are, without a line feed.
  void SendBytes(const std::string&);

  // Makes SendLine and SendBytes give up, throwing, when the peer has taken nothing for
  // `milliseconds`: a peer that stops reading must not hold the sender for ever.
  void SetSendTimeout(int milliseconds);
  // Sends every line at once: a server that writes two lines in a row (the opponent's move,
  // then the request for one) must not have the second wait for the peer's acknowledgement.
  void SetNoDelay();

  // Closes the handle now for every copy; later receives return empty, sends throw.
  void Close();

  // The far end's port, or -1 when closed or not connected.
  int PeerPort() const;

 protected:
  friend class SocketServer;
  friend class SocketSelect;

  // Adopts an open handle (Accept); if this throws, the caller still owns the handle.
  explicit Socket(platform::SocketHandle handle);
  // Opens a fresh TCP socket; throws "Could not start WSA" or "INVALID_SOCKET".
  Socket();

  bool IsClosed() const { return *closed_; }
  // Replaces the handle, not yet shared with any copy, by a fresh socket of `family`; throws
  // "INVALID_SOCKET" when none can be opened.
  void Reopen(platform::Family family);

  platform::SocketHandle handle_;
  int* refCount_;  // shared by every copy of this handle
  bool* closed_;   // shared too, so that Close reaches every copy

 private:
  static void Start();
  static void End();
  static void Leave();  // takes this object's count back; cleans up after the last
  void Share();         // allocates the shared count and flag for a new handle
  void Release();       // drops this object's share of the handle

  static int nofSockets_;  // live Socket objects; the library is started with the first

 public:
  static int LiveSockets() { return nofSockets_; }
};

class SocketClient : public Socket {
 public:
  // Resolves `host` (a name, a dotted IPv4 address or an IPv6 literal) and connects to the
  // first of its addresses that accepts. Throws a std::string holding the resolver's or the
  // system's error text (or naming a port outside 0 to 65535).
  SocketClient(const std::string& host, int port);
};

// A listening socket, bound to `address` (127.0.0.1 by default; "::" or "::1" for IPv6) with a
// queue of `connections`.
// Throws a std::string with the system's text when the address cannot be bound.
class SocketServer : public Socket {
 public:
  SocketServer(int port, int connections, const std::string& address = "127.0.0.1");
  // The port actually bound (useful after binding port 0), or -1 once closed.
  int Port() const;
  // Waits for the next connection; the caller owns the result. Throws a std::string
  // ("accept failed: ...") when the listening socket fails or has been closed.
  Socket* Accept();
};

// Readiness of one or two sockets, waiting at most `timeout_ms` (negative: without limit).
// Either may be null. A socket is readable when a receive would not wait: data has arrived, the
// peer has closed, or the socket has been closed (its receives return empty). Throws a
// std::string ("select failed: ...") if the wait itself fails.
class SocketSelect {
 public:
  SocketSelect(Socket const* s1, Socket const* s2, int timeout_ms = -1);
  // True when the construction found `s` readable; false for any other socket.
  bool Readable(Socket const* s);

 private:
  bool ready1_;
  bool ready2_;
  Socket const* s1_;
  Socket const* s2_;
};

#endif
