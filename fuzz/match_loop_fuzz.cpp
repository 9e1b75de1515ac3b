// Any byte stream from the server: the match loop must end the game with a result, never
// crash or hang. A peer thread on raw POSIX sockets plays the server: it sends the input,
// then closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "match/match.h"

namespace {

int listener = -1;
unsigned short port = 0;
std::ostringstream sink;  // the console commentary, discarded

void send_all(int fd, std::string const& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t const n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the bot has gone: fine
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (listener < 0 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 4) != 0)
    std::abort();
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  std::cout.rdbuf(sink.rdbuf());
  std::cerr.rdbuf(sink.rdbuf());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string const bytes(reinterpret_cast<char const*>(data), size);
  std::thread peer([&bytes] {
    int const fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) return;
    send_all(fd, bytes);
    ::shutdown(fd, SHUT_WR);
    // Drain what the bot sends until it closes, so it never writes into a reset connection.
    char buffer[4096];
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
  });
  int const result = play_game("127.0.0.1", port, 1);
  peer.join();
  sink.str(std::string());
  if (result < -1 || result > 1) std::abort();
  return 0;
}
