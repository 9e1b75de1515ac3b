#include "tests/support/peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace support {

namespace {

constexpr int WAIT_MS = 30000;

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

}  // namespace

Peer Peer::connect_to(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in const address = loopback(port);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0) {
    ::close(fd);
    fd = -1;
  }
  return Peer(fd);
}

Peer::Peer(Peer&& other) noexcept : fd_(other.fd_), buffer_(std::move(other.buffer_)) {
  other.fd_ = -1;
}

Peer::~Peer() {
  if (fd_ >= 0) ::close(fd_);
}

void Peer::send(std::string const& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t const n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

bool Peer::fill() {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, WAIT_MS) <= 0) return false;
  char chunk[4096];
  ssize_t const n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::string Peer::read_line() {
  for (;;) {
    auto const end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string text = buffer_.substr(0, end + 1);
      buffer_.erase(0, end + 1);
      return text;
    }
    if (!fill()) return "";
  }
}

std::optional<std::string> Peer::line() {
  std::string text = read_line();
  if (text.empty()) return std::nullopt;
  text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

std::string Peer::read_rest() {
  while (fill()) {
  }
  std::string rest;
  rest.swap(buffer_);
  return rest;
}

void Peer::close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  read_rest();
  ::close(fd_);
  fd_ = -1;
}

void Peer::reset() {
  if (fd_ < 0) return;
  linger const abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(fd_);
  fd_ = -1;
}

ScriptedServer::ScriptedServer(Script script, int connections) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
      ::listen(listener_, connections) ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length))
    throw std::runtime_error(std::string("scripted server: ") + std::strerror(errno));
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this, script, connections] {
    for (int i = 0; i < connections; ++i) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, WAIT_MS) <= 0) return;
      Peer peer(::accept(listener_, nullptr, nullptr));
      if (!peer.connected()) return;
      script(peer);
      peer.close();
    }
  });
}

void ScriptedServer::join() {
  if (thread_.joinable()) thread_.join();
}

ScriptedServer::~ScriptedServer() {
  join();
  if (listener_ >= 0) ::close(listener_);
}

}  // namespace support
