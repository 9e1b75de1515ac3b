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

// A fresh IPv4 stream socket, or kInvalidSocket. Sending on it never raises SIGPIPE.
SocketHandle OpenTcp();
void CloseSocket(SocketHandle handle);

// The error code of the last failed call on this thread.
int LastError();
// The system's text for an error code of this layer.
std::string ErrorText(int code);

// The first IPv4 address of `host` (a name or a dotted address), in network byte order.
// On failure returns false and sets `error` to the resolver's own text.
bool Resolve(const std::string& host, std::uint32_t* address, std::string* error);

// Each returns 0 or the error code. `address` is in network byte order, `port` in host order.
int Connect(SocketHandle handle, std::uint32_t address, int port);
int Bind(SocketHandle handle, std::uint32_t address, int port);
int Listen(SocketHandle handle, int backlog);
// Lets a listening port be bound again at once after a restart (POSIX; Windows has no need).
void AllowAddressReuse(SocketHandle handle);
// Waits for a connection; the new handle never raises SIGPIPE either.
int Accept(SocketHandle handle, SocketHandle* accepted);
// The local port the handle is bound to, or -1.
int LocalPort(SocketHandle handle);

// At most `size` bytes: the count received, 0 when the peer has closed, -1 on error
// (LastError tells which).
long Recv(SocketHandle handle, char* buffer, std::size_t size);
// The count sent (possibly less than `size`), or -1 on error (LastError tells which).
long Send(SocketHandle handle, const char* data, std::size_t size);
// Makes a send that cannot go on for `milliseconds` fail instead of waiting for ever.
void SetSendTimeout(SocketHandle handle, int milliseconds);
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
