// The few socket operations the socket family needs, over Windows Sockets 2 on Windows and POSIX
// sockets elsewhere, and the cheap clock the search reads before every step. Only net/ includes
// the system headers; everything here is plain C++.
//
// Error codes are the platform's own (errno values, or Winsock codes); ErrorText turns one into
// the system's message. Interrupted calls are retried inside, so callers never see EINTR.
#ifndef DRAVIX_NET_PLATFORM_H
#define DRAVIX_NET_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
// Winsock's SOCKET is an unsigned pointer-sized integer; kept as such so that no Windows header
// leaks into the rest of the program.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};  // INVALID_SOCKET
#else
using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;
#endif

// Starts the socket library (WSAStartup asking for version 2.0); false when it cannot start.
// Nothing to do on POSIX, where it always succeeds.
bool Startup();
// Cleans the socket library up (WSACleanup); nothing to do on POSIX.
void Cleanup();

enum class Family { IPV4, IPV6 };

// One address a host resolved to, with its port: the platform's own socket address, as bytes.
struct Endpoint {
  Family family = Family::IPV4;
  std::size_t length = 0;
  alignas(8) unsigned char bytes[128] = {};  // large enough for any sockaddr
};

// A fresh stream socket of `family`, or kInvalidSocket. Sending on it never raises SIGPIPE.
SocketHandle OpenTcp(Family family = Family::IPV4);
void CloseSocket(SocketHandle handle);

// The error code of the last failed call on this thread.
int LastError();
// The system's text for an error code of this layer.
std::string ErrorText(int code);

// Every IPv4 and IPv6 address of `host` (a name, a dotted IPv4 address or an IPv6 literal)
// with `port`, in the resolver's order of preference; `passive` asks for addresses to listen
// on. On failure returns false and sets `error` to the resolver's own text.
bool Resolve(const std::string& host, int port, bool passive, std::vector<Endpoint>* found,
             std::string* error);

// Each returns 0 or the error code. The handle's family must be the endpoint's.
int Connect(SocketHandle handle, const Endpoint& endpoint);
// An IPv6 listening socket takes IPv4 connections too where the system allows it.
int Bind(SocketHandle handle, const Endpoint& endpoint);
int Listen(SocketHandle handle, int backlog);
// Before binding a listening socket: the port is its own while it is in use, and can be bound
// again at once after a restart. SO_REUSEADDR on POSIX, where it never shares a port that is
// listened on; SO_EXCLUSIVEADDRUSE on Windows, where without it another program could bind the
// same port (with SO_REUSEADDR) and take its connections.
void ClaimAddress(SocketHandle handle);
// Waits for a connection; the new handle never raises SIGPIPE either.
int Accept(SocketHandle handle, SocketHandle* accepted);
// The local port the handle is bound to, or -1.
int LocalPort(SocketHandle handle);
// The port of the far end of a connected handle, or -1.
int PeerPort(SocketHandle handle);

// At most `size` bytes: the count received, 0 when the peer has closed, -1 on error
// (LastError tells which).
long Recv(SocketHandle handle, char* buffer, std::size_t size);
// The count sent (possibly less than `size`), or -1 on error (LastError tells which).
long Send(SocketHandle handle, const char* data, std::size_t size);
// Makes a send that cannot go on for `milliseconds` fail instead of waiting for ever.
void SetSendTimeout(SocketHandle handle, int milliseconds);
// Sends each line as soon as it is written, rather than holding a short one back until the
// peer has acknowledged the last (which a peer that delays its acknowledgements makes 40 ms).
void SetNoDelay(SocketHandle handle);
// True when `code` (from LastError) means that a send timed out.
bool IsTimeout(int code);

// Waits until one of `count` handles can be read without blocking (data, closed peer or error)
// or `timeout_ms` passes (negative: no limit); sets `ready[i]` for each. With no handles it only
// sleeps for the timeout (returns at once when there is no limit). Returns 0 or the error code.
int WaitReadable(const SocketHandle* handles, bool* ready, int count, int timeout_ms);

// A monotonic clock in milliseconds that costs a few nanoseconds a call: coarse (it may move in
// steps of up to about 16 ms), with an arbitrary origin.
std::int64_t CoarseMilliseconds();

}  // namespace platform

#endif
