// Windows Sockets 2 behind the platform layer.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h must come before windows.h.
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "net/platform.h"

namespace platform {

static_assert(sizeof(SOCKET) == sizeof(SocketHandle), "SocketHandle must hold a SOCKET");
static_assert(static_cast<SocketHandle>(INVALID_SOCKET) == kInvalidSocket,
              "kInvalidSocket must be INVALID_SOCKET");

namespace {

SOCKET Native(SocketHandle handle) {
  return static_cast<SOCKET>(handle);
}

int NativeFamily(Family family) {
  return family == Family::IPV6 ? AF_INET6 : AF_INET;
}

// A child process started by the program must not inherit its connections.
void PrepareHandle(SOCKET handle) {
  ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
}

int Clamp(std::size_t size) {
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

std::int64_t CoarseMilliseconds() {
  // The tick count is read from memory the system keeps up to date.
  return static_cast<std::int64_t>(::GetTickCount64());
}

bool Startup() {
  WSADATA data;
  return ::WSAStartup(0x0002, &data) == 0;
}

void Cleanup() {
  ::WSACleanup();
}

SocketHandle OpenTcp(Family family) {
  SOCKET handle = ::socket(NativeFamily(family), SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return kInvalidSocket;
  PrepareHandle(handle);
  return static_cast<SocketHandle>(handle);
}

void CloseSocket(SocketHandle handle) {
  ::closesocket(Native(handle));
}

int LastError() {
  return ::WSAGetLastError();
}

// strerror knows nothing of Winsock codes; the system's message table does.
std::string ErrorText(int code) {
  char buffer[512];
  DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "Windows Sockets error " + std::to_string(code);
  return text;
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
  int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (status != 0) {
    // getaddrinfo returns a Winsock code here; the message table has its text.
    *error = ErrorText(status);
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
  if (found->empty()) *error = ErrorText(WSAEAFNOSUPPORT);
  return !found->empty();
}

int Connect(SocketHandle handle, const Endpoint& endpoint) {
  auto const* target = reinterpret_cast<const sockaddr*>(endpoint.bytes);
  if (::connect(Native(handle), target, static_cast<int>(endpoint.length)) == 0) return 0;
  return ::WSAGetLastError();
}

int Bind(SocketHandle handle, const Endpoint& endpoint) {
  if (endpoint.family == Family::IPV6) {
    DWORD off = 0;
    ::setsockopt(Native(handle), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off),
                 sizeof off);
  }
  auto const* local = reinterpret_cast<const sockaddr*>(endpoint.bytes);
  if (::bind(Native(handle), local, static_cast<int>(endpoint.length)) == 0) return 0;
  return ::WSAGetLastError();
}

int Listen(SocketHandle handle, int backlog) {
  return ::listen(Native(handle), backlog) == 0 ? 0 : ::WSAGetLastError();
}

void ClaimAddress(SocketHandle handle) {
  BOOL on = TRUE;
  ::setsockopt(Native(handle), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof on);
}

int Accept(SocketHandle handle, SocketHandle* accepted) {
  for (;;) {
    SOCKET peer = ::accept(Native(handle), nullptr, nullptr);
    if (peer != INVALID_SOCKET) {
      PrepareHandle(peer);
      *accepted = static_cast<SocketHandle>(peer);
      return 0;
    }
    // A client that gave up before being accepted is no failure of the listening socket.
    int error = ::WSAGetLastError();
    if (error != WSAEINTR && error != WSAECONNRESET) return error;
  }
}

int LocalPort(SocketHandle handle) {
  sockaddr_storage local;
  int length = sizeof local;
  if (::getsockname(Native(handle), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return -1;
  }
  if (local.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);
}

int PeerPort(SocketHandle handle) {
  sockaddr_storage peer;
  int length = sizeof peer;
  if (::getpeername(Native(handle), reinterpret_cast<sockaddr*>(&peer), &length) != 0) return -1;
  if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(peer).sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in&>(peer).sin_port);
}

long Recv(SocketHandle handle, char* buffer, std::size_t size) {
  int received;
  do {
    received = ::recv(Native(handle), buffer, Clamp(size), 0);
  } while (received == SOCKET_ERROR && ::WSAGetLastError() == WSAEINTR);
  return received == SOCKET_ERROR ? -1L : static_cast<long>(received);
}

long Send(SocketHandle handle, const char* data, std::size_t size) {
  int sent;
  do {
    sent = ::send(Native(handle), data, Clamp(size), 0);
  } while (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEINTR);
  return sent == SOCKET_ERROR ? -1L : static_cast<long>(sent);
}

void SetSendTimeout(SocketHandle handle, int milliseconds) {
  DWORD const limit = static_cast<DWORD>(milliseconds);
  ::setsockopt(Native(handle), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
               sizeof limit);
}

void SetNoDelay(SocketHandle handle) {
  BOOL const on = TRUE;
  ::setsockopt(Native(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

bool IsTimeout(int code) {
  return code == WSAETIMEDOUT || code == WSAEWOULDBLOCK;
}

int WaitReadable(const SocketHandle* handles, bool* ready, int count, int timeout_ms) {
  if (count <= 0) {
    // select refuses an empty set.
    if (timeout_ms > 0) ::Sleep(static_cast<DWORD>(timeout_ms));
    return 0;
  }
  if (count > FD_SETSIZE) return WSAEINVAL;
  fd_set readable;
  fd_set failed;
  FD_ZERO(&readable);
  FD_ZERO(&failed);
  for (int i = 0; i < count; ++i) {
    FD_SET(Native(handles[i]), &readable);
    FD_SET(Native(handles[i]), &failed);
    ready[i] = false;
  }
  timeval limit;
  limit.tv_sec = timeout_ms / 1000;
  limit.tv_usec = (timeout_ms % 1000) * 1000;
  if (::select(0, &readable, nullptr, &failed, timeout_ms < 0 ? nullptr : &limit) == SOCKET_ERROR) {
    return ::WSAGetLastError();
  }
  for (int i = 0; i < count; ++i) {
    ready[i] = FD_ISSET(Native(handles[i]), &readable) || FD_ISSET(Native(handles[i]), &failed);
  }
  return 0;
}

}  // namespace platform

#endif
