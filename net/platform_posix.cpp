// POSIX sockets behind the platform layer.
#ifndef _WIN32

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <vector>

#include "net/platform.h"

namespace platform {

std::int64_t CoarseMilliseconds() {
  // The coarse clock is read from memory the kernel keeps up to date, without reading the
  // hardware counter.
#ifdef CLOCK_MONOTONIC_COARSE
  constexpr clockid_t kClock = CLOCK_MONOTONIC_COARSE;
#else
  constexpr clockid_t kClock = CLOCK_MONOTONIC;
#endif
  timespec now;
  ::clock_gettime(kClock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

namespace {

// Linux asks per call; BSD and macOS per socket; elsewhere the caller must ignore SIGPIPE.
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

// A child process started by the program must not inherit its connections, and a closed peer
// must come back as EPIPE rather than as a signal.
void PrepareHandle(SocketHandle handle) {
  ::fcntl(handle, F_SETFD, FD_CLOEXEC);
#if !defined(MSG_NOSIGNAL) && defined(SO_NOSIGPIPE)
  int on = 1;
  ::setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

int Native(Family family) {
  return family == Family::IPV6 ? AF_INET6 : AF_INET;
}

// Waits for a connect that a signal interrupted: the attempt goes on in the kernel, and calling
// connect again would only report EALREADY.
int FinishInterruptedConnect(SocketHandle handle) {
  pollfd entry{handle, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return errno;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return errno;
  return error;
}

}  // namespace

bool Startup() {
  return true;
}

void Cleanup() {}

SocketHandle OpenTcp(Family family) {
  SocketHandle handle = ::socket(Native(family), SOCK_STREAM, 0);
  if (handle < 0) return kInvalidSocket;
  PrepareHandle(handle);
  return handle;
}

void CloseSocket(SocketHandle handle) {
  // Never retried on EINTR: the descriptor is released whatever close reports.
  ::close(handle);
}

int LastError() {
  return errno;
}

std::string ErrorText(int code) {
  return std::generic_category().message(code);
}

bool Resolve(const std::string& host, int port, bool passive, std::vector<Endpoint>* found,
             std::string* error) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  std::string const service = std::to_string(port);
  addrinfo* list = nullptr;
  int status;
  do {
    status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  } while (status == EAI_SYSTEM && errno == EINTR);
  if (status != 0) {
    // The resolver sets errno only for EAI_SYSTEM; its own text covers every other case.
    *error = status == EAI_SYSTEM ? ErrorText(errno) : std::string(::gai_strerror(status));
    return false;
  }
  found->clear();
  for (addrinfo const* a = list; a != nullptr; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) ||
        a->ai_addrlen > sizeof(Endpoint::bytes))
      continue;
    Endpoint endpoint;
    endpoint.family = a->ai_family == AF_INET6 ? Family::IPV6 : Family::IPV4;
    endpoint.length = a->ai_addrlen;
    std::memcpy(endpoint.bytes, a->ai_addr, a->ai_addrlen);
    found->push_back(endpoint);
  }
  ::freeaddrinfo(list);
  if (found->empty()) *error = ::gai_strerror(EAI_FAMILY);
  return !found->empty();
}

int Connect(SocketHandle handle, const Endpoint& endpoint) {
  auto const* target = reinterpret_cast<const sockaddr*>(endpoint.bytes);
  if (::connect(handle, target, static_cast<socklen_t>(endpoint.length)) == 0) return 0;
  int error = errno;
  return error == EINTR ? FinishInterruptedConnect(handle) : error;
}

int Bind(SocketHandle handle, const Endpoint& endpoint) {
  if (endpoint.family == Family::IPV6) {
    int off = 0;
    ::setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  }
  auto const* local = reinterpret_cast<const sockaddr*>(endpoint.bytes);
  return ::bind(handle, local, static_cast<socklen_t>(endpoint.length)) == 0 ? 0 : errno;
}

int Listen(SocketHandle handle, int backlog) {
  return ::listen(handle, backlog) == 0 ? 0 : errno;
}

void ClaimAddress(SocketHandle handle) {
  int on = 1;
  ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int Accept(SocketHandle handle, SocketHandle* accepted) {
  for (;;) {
    SocketHandle peer = ::accept(handle, nullptr, nullptr);
    if (peer >= 0) {
      PrepareHandle(peer);
      *accepted = peer;
      return 0;
    }
    // A client that gave up before being accepted is no failure of the listening socket.
    if (errno != EINTR && errno != ECONNABORTED) return errno;
  }
}

int LocalPort(SocketHandle handle) {
  sockaddr_storage local;
  socklen_t length = sizeof local;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&local), &length) != 0) return -1;
  if (local.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);
}

int PeerPort(SocketHandle handle) {
  sockaddr_storage peer;
  socklen_t length = sizeof peer;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return -1;
  if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(peer).sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in&>(peer).sin_port);
}

long Recv(SocketHandle handle, char* buffer, std::size_t size) {
  ssize_t received;
  do {
    received = ::recv(handle, buffer, size, 0);
  } while (received < 0 && errno == EINTR);
  return static_cast<long>(received);
}

long Send(SocketHandle handle, const char* data, std::size_t size) {
  ssize_t sent;
  do {
    sent = ::send(handle, data, size, kSendFlags);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

void SetSendTimeout(SocketHandle handle, int milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = (milliseconds % 1000) * 1000;
  ::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void SetNoDelay(SocketHandle handle) {
  int const on = 1;
  ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool IsTimeout(int code) {
  return code == EAGAIN || code == EWOULDBLOCK;
}

int WaitReadable(const SocketHandle* handles, bool* ready, int count, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  if (count <= 0 && timeout_ms < 0) return 0;  // nothing could ever become ready
  std::vector<pollfd> entries(static_cast<std::size_t>(count < 0 ? 0 : count));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i] = pollfd{handles[i], POLLIN, 0};
    ready[i] = false;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  int wait = timeout_ms;
  for (;;) {
    int result = ::poll(entries.data(), static_cast<nfds_t>(entries.size()), wait);
    if (result >= 0) break;
    if (errno != EINTR) return errno;
    // A signal cut the wait short: wait only for what is left of it.
    if (timeout_ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ready[i] = (entries[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
  return 0;
}

}  // namespace platform

#endif
