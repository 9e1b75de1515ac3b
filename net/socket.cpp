#include "net/socket.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

int Socket::nofSockets_ = 0;

namespace {

// htons would silently wrap a larger number onto some other port.
void CheckPort(int port) {
  if (port < 0 || port > 65535) throw "port out of range: " + std::to_string(port);
}

}  // namespace

void Socket::Start() {
  if (nofSockets_ == 0 && !platform::Startup()) throw "Could not start WSA";
  ++nofSockets_;
}

void Socket::End() {
  platform::Cleanup();
}

void Socket::Leave() {
  if (--nofSockets_ == 0) End();
}

void Socket::Share() {
  auto count = std::make_unique<int>(1);
  auto closed = std::make_unique<bool>(false);
  refCount_ = count.release();
  closed_ = closed.release();
}

void Socket::Release() {
  if (--*refCount_ == 0) {
    if (!*closed_) platform::CloseSocket(handle_);
    delete refCount_;
    delete closed_;
  }
  refCount_ = nullptr;
  closed_ = nullptr;
}

Socket::Socket() : handle_(platform::kInvalidSocket), refCount_(nullptr), closed_(nullptr) {
  Start();
  handle_ = platform::OpenTcp();
  if (handle_ == platform::kInvalidSocket) {
    Leave();
    throw "INVALID_SOCKET";
  }
  try {
    Share();
  } catch (...) {
    platform::CloseSocket(handle_);
    Leave();
    throw;
  }
}

Socket::Socket(platform::SocketHandle handle)
    : handle_(handle), refCount_(nullptr), closed_(nullptr) {
  Start();
  try {
    Share();
  } catch (...) {
    Leave();
    throw;
  }
}

Socket::Socket(const Socket& other)
    : handle_(other.handle_), refCount_(other.refCount_), closed_(other.closed_) {
  ++*refCount_;
  ++nofSockets_;
}

Socket& Socket::operator=(const Socket& other) {
  if (refCount_ == other.refCount_) return *this;  // already the same handle
  ++*other.refCount_;
  Release();
  handle_ = other.handle_;
  refCount_ = other.refCount_;
  closed_ = other.closed_;
  return *this;
}

Socket::~Socket() {
  Release();
  Leave();
}

void Socket::Close() {
  if (*closed_) return;
  platform::CloseSocket(handle_);
  *closed_ = true;
}

std::string Socket::ReceiveLine() {
  std::string line;
  if (*closed_) return line;
  char byte;
  for (;;) {
    long received = platform::Recv(handle_, &byte, 1);
    if (received < 0) return std::string();
    if (received == 0) return line;
    // The line with this byte would outgrow the cap, whatever the byte is.
    if (line.size() == MAX_LINE_BYTES) {
      throw "line longer than " + std::to_string(MAX_LINE_BYTES) + " bytes from the server";
    }
    line.push_back(byte);
    if (byte == '\n') return line;
  }
}

std::string Socket::ReceiveBytes() {
  if (*closed_) return std::string();
  char buffer[4096];
  long received = platform::Recv(handle_, buffer, sizeof buffer);
  if (received <= 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(received));
}

void Socket::SendLine(std::string text) {
  text.push_back('\n');
  SendBytes(text);
}

void Socket::SetSendTimeout(int milliseconds) {
  if (!*closed_) platform::SetSendTimeout(handle_, milliseconds);
}

void Socket::SetNoDelay() {
  if (!*closed_) platform::SetNoDelay(handle_);
}

void Socket::SendBytes(const std::string& data) {
  if (*closed_) throw std::string("send failed: the socket is closed");
  std::size_t sent = 0;
  while (sent < data.size()) {
    long count = platform::Send(handle_, data.data() + sent, data.size() - sent);
    if (count < 0) {
      int const code = platform::LastError();
      if (platform::IsTimeout(code))
        throw std::string("send failed: the peer has taken nothing for too long");
      throw "send failed: " + platform::ErrorText(code);
    }
    // A stream socket never sends nothing of a non-empty buffer; do not spin if it does.
    if (count == 0) throw std::string("send failed: nothing was sent");
    sent += static_cast<std::size_t>(count);
  }
}

void Socket::Reopen(platform::Family family) {
  platform::SocketHandle fresh = platform::OpenTcp(family);
  if (fresh == platform::kInvalidSocket) throw "INVALID_SOCKET";
  if (!*closed_) platform::CloseSocket(handle_);
  handle_ = fresh;
  *closed_ = false;
}

SocketClient::SocketClient(const std::string& host, int port) {
  CheckPort(port);
  std::vector<platform::Endpoint> found;
  std::string error;
  if (!platform::Resolve(host, port, false, &found, &error)) throw error;
  // A name may stand for several addresses, IPv6 and IPv4: the first that takes the connection
  // wins, and the last one's failure is the one reported.
  platform::Family open = platform::Family::IPV4;  // what Socket() opened
  bool used = false;
  int code = 0;
  for (platform::Endpoint const& endpoint : found) {
    // A socket whose connect failed cannot be used again.
    if (used || endpoint.family != open) Reopen(endpoint.family);
    open = endpoint.family;
    used = true;
    code = platform::Connect(handle_, endpoint);
    if (code == 0) return;
  }
  throw platform::ErrorText(code);
}

SocketServer::SocketServer(int port, int connections, const std::string& address) {
  CheckPort(port);
  std::vector<platform::Endpoint> found;
  std::string error;
  if (!platform::Resolve(address, port, true, &found, &error))
    throw "cannot resolve " + address + ": " + error;
  if (found.front().family != platform::Family::IPV4) Reopen(found.front().family);
  platform::ClaimAddress(handle_);
  int code = platform::Bind(handle_, found.front());
  if (code != 0) {
    throw "cannot bind " + address + ":" + std::to_string(port) + ": " + platform::ErrorText(code);
  }
  code = platform::Listen(handle_, connections);
  if (code != 0) throw "cannot listen: " + platform::ErrorText(code);
}

int Socket::PeerPort() const {
  return *closed_ ? -1 : platform::PeerPort(handle_);
}

int SocketServer::Port() const {
  return *closed_ ? -1 : platform::LocalPort(handle_);
}

Socket* SocketServer::Accept() {
  if (*closed_) throw std::string("accept failed: the socket is closed");
  platform::SocketHandle peer = platform::kInvalidSocket;
  int code = platform::Accept(handle_, &peer);
  if (code != 0) throw "accept failed: " + platform::ErrorText(code);
  try {
    return new Socket(peer);
  } catch (...) {
    platform::CloseSocket(peer);
    throw;
  }
}

SocketSelect::SocketSelect(Socket const* s1, Socket const* s2, int timeout_ms)
    : ready1_(false), ready2_(false), s1_(s1), s2_(s2) {
  // A closed socket is ready at once: its receive returns empty without waiting.
  ready1_ = s1 != nullptr && s1->IsClosed();
  ready2_ = s2 != nullptr && s2->IsClosed();
  if (ready1_ || ready2_) return;

  platform::SocketHandle handles[2] = {platform::kInvalidSocket, platform::kInvalidSocket};
  bool ready[2] = {false, false};
  int count = 0;
  if (s1 != nullptr) handles[count++] = s1->handle_;
  if (s2 != nullptr) handles[count++] = s2->handle_;
  int code = platform::WaitReadable(handles, ready, count, timeout_ms);
  if (code != 0) throw "select failed: " + platform::ErrorText(code);
  int next = 0;
  if (s1 != nullptr) ready1_ = ready[next++];
  if (s2 != nullptr) ready2_ = ready[next++];
}

bool SocketSelect::Readable(Socket const* s) {
  if (s == nullptr) return false;
  return (s == s1_ && ready1_) || (s == s2_ && ready2_);
}
