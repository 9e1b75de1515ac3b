// The socket family over real TCP connections on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/platform.h"
#include "net/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#endif
#ifdef __linux__
#include <filesystem>
#endif

namespace {

using namespace std::chrono_literals;

// A connected pair: `client` to a listening server on an ephemeral port, `peer` its other end.
struct Connection {
  SocketServer server{0, 4};
  std::unique_ptr<SocketClient> client{new SocketClient("127.0.0.1", server.Port())};
  std::unique_ptr<Socket> peer{server.Accept()};
};

// The text a call threw as a std::string, or "" when it threw nothing.
template <typename Call>
std::string ThrownText(Call call) {
  try {
    call();
  } catch (const std::string& text) {
    return text;
  }
  return "";
}

// Open descriptors of this process; -1 where that cannot be counted.
int OpenDescriptors() {
#ifdef __linux__
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
#else
  return -1;
#endif
}

}  // namespace

TEST(socket_lines, line_split_over_segments_is_returned_whole) {
  Connection c;
  auto sender = std::async(std::launch::async, [&] {
    c.peer->SendBytes("Board");
    std::this_thread::sleep_for(30ms);
    c.peer->SendBytes("State{a b c}");
    std::this_thread::sleep_for(30ms);
    c.peer->SendBytes("\r\n");
  });
  EXPECT_EQ(c.client->ReceiveLine(), "BoardState{a b c}\r\n");
  sender.get();
}

TEST(socket_lines, two_lines_in_one_segment_come_from_two_calls) {
  Connection c;
  c.peer->SendBytes("Move{A1 B2}\nYourTurn{}\n");
  EXPECT_EQ(c.client->ReceiveLine(), "Move{A1 B2}\n");
  // Nothing past the first line feed was taken: the second line still waits in the connection.
  SocketSelect select(c.client.get(), nullptr, 0);
  EXPECT_TRUE(select.Readable(c.client.get()));
  EXPECT_EQ(c.client->ReceiveLine(), "YourTurn{}\n");
}

TEST(socket_lines, unterminated_tail_before_close_then_empty_at_once) {
  Connection c;
  c.peer->SendBytes("abc");
  c.peer.reset();
  EXPECT_EQ(c.client->ReceiveLine(), "abc");
  EXPECT_EQ(c.client->ReceiveLine(), "");
  EXPECT_EQ(c.client->ReceiveLine(), "");
}

TEST(socket_lines, empty_line_is_sent_as_a_single_line_feed) {
  Connection c;
  c.client->SendLine("");
  c.client.reset();
  std::string received;
  for (int i = 0; i < 10; ++i) {
    std::string bytes = c.peer->ReceiveBytes();
    if (bytes.empty()) break;
    received += bytes;
  }
  EXPECT_EQ(received, "\n");
}

TEST(socket_lines, line_is_capped_at_max_line_bytes) {
#ifdef _WIN32
  // A megabyte read a byte at a time takes most of a minute under an emulator; the cap is the
  // same code on every platform.
  GTEST_SKIP() << "slow under emulation";
#endif
  Connection c;
  auto sender = std::async(std::launch::async, [&] {
    try {
      c.peer->SendBytes(std::string(MAX_LINE_BYTES - 1, 'x') + "\n");
      c.peer->SendBytes(std::string(MAX_LINE_BYTES + 1, 'y'));
    } catch (const std::string&) {
      // The reader may stop early; only its side is under test.
    }
    c.peer->Close();  // without a cap the reader then gets the tail instead of waiting
  });
  std::string longest = c.client->ReceiveLine();
  EXPECT_EQ(longest.size(), MAX_LINE_BYTES);
  EXPECT_EQ(longest.back(), '\n');
  EXPECT_EQ(ThrownText([&] { c.client->ReceiveLine(); }),
            "line longer than 1048576 bytes from the server");
  c.client.reset();
  sender.get();
}

TEST(socket_ipv6, literals_and_the_dual_stack_any_address_connect) {
  struct Case {
    const char* listen;
    const char* connect;
  };
  for (Case c : {Case{"::1", "::1"}, Case{"::", "::1"}, Case{"::", "127.0.0.1"}}) {
    SCOPED_TRACE(std::string(c.listen) + " <- " + c.connect);
    SocketServer server(0, 1, c.listen);
    SocketClient client(c.connect, server.Port());
    std::unique_ptr<Socket> peer(server.Accept());
    client.SendLine("over six");
    EXPECT_EQ(peer->ReceiveLine(), "over six\n");
  }
}

TEST(socket_sharing, copy_keeps_the_handle_open_until_the_last_copy_goes) {
  Connection c;
  auto copy = std::make_unique<Socket>(*c.client);
  c.client.reset();
  copy->SendLine("still here");
  EXPECT_EQ(c.peer->ReceiveLine(), "still here\n");
  EXPECT_FALSE(SocketSelect(c.peer.get(), nullptr, 50).Readable(c.peer.get()))
      << "the peer saw the connection close while a copy was alive";
  copy.reset();
  EXPECT_EQ(c.peer->ReceiveLine(), "");
}

TEST(socket_sharing, assignment_releases_the_old_handle) {
  SocketServer server(0, 4);
  auto first = std::make_unique<SocketClient>("127.0.0.1", server.Port());
  std::unique_ptr<Socket> first_peer(server.Accept());
  SocketClient second("127.0.0.1", server.Port());
  std::unique_ptr<Socket> second_peer(server.Accept());

  Socket holder(*first);
  holder = holder;
  holder = second;
  first.reset();  // the last holder of the first connection
  EXPECT_EQ(first_peer->ReceiveLine(), "");
  holder.SendLine("via the second");
  EXPECT_EQ(second_peer->ReceiveLine(), "via the second\n");
}

TEST(socket_sharing, close_reaches_every_copy) {
  Connection c;
  Socket copy(*c.client);
  c.client->Close();
  EXPECT_EQ(copy.ReceiveLine(), "");
  EXPECT_EQ(ThrownText([&] { copy.SendLine("x"); }).rfind("send failed: ", 0), 0u);
  EXPECT_TRUE(SocketSelect(&copy, nullptr, 0).Readable(&copy));
  EXPECT_EQ(c.peer->ReceiveLine(), "");
}

TEST(socket_counting, live_sockets_and_descriptors_return_to_their_start) {
  const int live = Socket::LiveSockets();
  const int descriptors = OpenDescriptors();
  {
    SocketServer server(0, 1);
    EXPECT_EQ(Socket::LiveSockets(), live + 1);
    SocketClient client("127.0.0.1", server.Port());
    std::unique_ptr<Socket> peer(server.Accept());
    Socket copy(client);
    EXPECT_EQ(Socket::LiveSockets(), live + 4);
  }
  EXPECT_EQ(Socket::LiveSockets(), live);
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(socket_failures, send_to_a_peer_that_stops_reading_gives_up_after_the_timeout) {
  Connection c;  // c.peer never reads
  c.client->SetSendTimeout(200);
  std::string const block(1 << 20, 'x');
  std::string text;
  // Once both buffers are full a send waits; the timeout turns the wait into a failure.
  for (int sent = 0; sent < 256 && text.empty(); ++sent)
    text = ThrownText([&] { c.client->SendBytes(block); });
  EXPECT_EQ(text, "send failed: the peer has taken nothing for too long");
}

// On Windows a second program could bind a port in use by asking to share it (SO_REUSEADDR)
// and take its connections, unless the listener claims the port for itself.
TEST(socket_failures, nothing_else_binds_a_listening_port_even_asking_to_share_it) {
  SocketServer server(0, 1, "127.0.0.1");
  std::vector<platform::Endpoint> found;
  std::string error;
  ASSERT_TRUE(platform::Resolve("127.0.0.1", server.Port(), true, &found, &error)) << error;
  platform::SocketHandle const other = platform::OpenTcp();
  ASSERT_NE(other, platform::kInvalidSocket);
#ifdef _WIN32
  BOOL share = TRUE;
  ::setsockopt(static_cast<SOCKET>(other), SOL_SOCKET, SO_REUSEADDR,
               reinterpret_cast<const char*>(&share), sizeof share);
#else
  int share = 1;
  ::setsockopt(other, SOL_SOCKET, SO_REUSEADDR, &share, sizeof share);
#endif
  EXPECT_NE(platform::Bind(other, found.front()), 0);
  platform::CloseSocket(other);
}

TEST(socket_failures, out_of_range_port_is_refused_before_connecting) {
  const int live = Socket::LiveSockets();
  EXPECT_EQ(ThrownText([] { SocketClient("127.0.0.1", 65536); }), "port out of range: 65536");
  EXPECT_EQ(ThrownText([] { SocketServer(-1, 1); }), "port out of range: -1");
  EXPECT_EQ(Socket::LiveSockets(), live);
}

#ifndef _WIN32

TEST(socket_failures, refused_connection_throws_the_system_text_and_leaves_nothing_open) {
  // A port that is bound but not listening refuses, and cannot be handed to anyone else.
  platform::SocketHandle blocker = platform::OpenTcp();
  ASSERT_NE(blocker, platform::kInvalidSocket);
  std::vector<platform::Endpoint> loopback;
  std::string error;
  ASSERT_TRUE(platform::Resolve("127.0.0.1", 0, false, &loopback, &error)) << error;
  ASSERT_EQ(platform::Bind(blocker, loopback.front()), 0);
  const int port = platform::LocalPort(blocker);

  const int live = Socket::LiveSockets();
  const int descriptors = OpenDescriptors();
  EXPECT_EQ(ThrownText([&] { SocketClient("127.0.0.1", port); }), std::strerror(ECONNREFUSED));
  EXPECT_EQ(Socket::LiveSockets(), live);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  platform::CloseSocket(blocker);
}

TEST(socket_failures, unresolvable_host_throws_the_resolver_text) {
  const char* host = "no-such-host.invalid";
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int status = getaddrinfo(host, nullptr, &hints, &found);
  ASSERT_NE(status, 0) << "the reserved name resolved";
  ASSERT_NE(status, EAI_SYSTEM);

  const int live = Socket::LiveSockets();
  std::string text = ThrownText([&] { SocketClient(host, 2525); });
  EXPECT_EQ(text, gai_strerror(status));
  EXPECT_NE(text, std::strerror(0));  // what errno-based reporting printed
  EXPECT_EQ(Socket::LiveSockets(), live);
}

TEST(socket_failures, send_to_a_closed_peer_throws_instead_of_raising_sigpipe) {
  // With the default action a SIGPIPE would end this test process.
  signal(SIGPIPE, SIG_DFL);
  Connection c;
  c.peer.reset();
  std::string text;
  // The first sends may still be buffered; the peer's reset makes a later one fail.
  for (int attempt = 0; attempt < 200 && text.empty(); ++attempt) {
    text = ThrownText([&] { c.client->SendLine(std::string(1000, 'x')); });
    if (text.empty()) std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(text == std::string("send failed: ") + std::strerror(EPIPE) ||
              text == std::string("send failed: ") + std::strerror(ECONNRESET))
      << text;
}

namespace {

std::atomic<int> interruptions{0};

void CountInterruption(int) {
  ++interruptions;
}

// Interrupts one thread with SIGUSR1, installed without SA_RESTART so that blocking socket calls
// really return EINTR (or a partial count), every few hundred microseconds until stopped.
class Interrupter {
 public:
  explicit Interrupter(pthread_t target) {
    struct sigaction action {};
    action.sa_handler = CountInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGUSR1, &action, &previous_);
    interruptions = 0;
    thread_ = std::thread([this, target] {
      for (int i = 0; i < 50000 && !stop_; ++i) {  // at most about ten seconds
        pthread_kill(target, SIGUSR1);
        std::this_thread::sleep_for(200us);
      }
    });
  }
  ~Interrupter() {
    stop_ = true;
    thread_.join();
    sigaction(SIGUSR1, &previous_, nullptr);
  }

 private:
  struct sigaction previous_ {};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

TEST(interrupted_calls, send_delivers_the_whole_text_despite_signals) {
  Connection c;
  // Far more than the loopback buffers hold, so the send blocks and is cut short repeatedly.
  std::string data(32 << 20, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);

  auto reader = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(100ms);
    std::string received;
    for (;;) {
      std::string bytes = c.peer->ReceiveBytes();
      if (bytes.empty()) return received;
      received += bytes;
    }
  });
  std::string failure;
  {
    Interrupter interrupter(pthread_self());
    failure = ThrownText([&] { c.client->SendBytes(data); });
  }
  EXPECT_EQ(failure, "");
  EXPECT_GT(interruptions.load(), 0);
  c.client.reset();  // ends the reader whatever happened
  std::string received = reader.get();
  EXPECT_EQ(received.size(), data.size());
  EXPECT_TRUE(received == data);
}

TEST(interrupted_calls, receive_line_waits_through_signals) {
  Connection c;
  auto sender = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(100ms);
    c.peer->SendLine("late line");
  });
  std::string line;
  {
    Interrupter interrupter(pthread_self());
    line = c.client->ReceiveLine();
  }
  EXPECT_GT(interruptions.load(), 0);
  EXPECT_EQ(line, "late line\n");
  sender.get();
}

TEST(interrupted_calls, accept_waits_through_signals) {
  SocketServer server(0, 1);
  const int port = server.Port();
  auto connector = std::async(std::launch::async, [port] {
    std::this_thread::sleep_for(100ms);
    SocketClient client("127.0.0.1", port);
    client.SendLine("hello");
  });
  std::unique_ptr<Socket> peer;
  {
    Interrupter interrupter(pthread_self());
    peer.reset(server.Accept());
  }
  EXPECT_GT(interruptions.load(), 0);
  EXPECT_EQ(peer->ReceiveLine(), "hello\n");
  connector.get();
}

#endif  // !_WIN32

TEST(socket_select, times_out_when_nothing_arrives) {
  Connection c;
  SocketSelect quiet(c.client.get(), c.peer.get(), 50);
  EXPECT_FALSE(quiet.Readable(c.client.get()));
  EXPECT_FALSE(quiet.Readable(c.peer.get()));
}

TEST(socket_select, tells_which_socket_has_data) {
  Connection c;
  c.peer->SendLine("for the client");
  SocketSelect select(c.client.get(), c.peer.get(), 5000);
  EXPECT_TRUE(select.Readable(c.client.get()));
  EXPECT_FALSE(select.Readable(c.peer.get()));
  EXPECT_FALSE(select.Readable(nullptr));
}

TEST(socket_select, closed_peer_counts_as_readable) {
  Connection c;
  c.peer.reset();
  EXPECT_TRUE(SocketSelect(nullptr, c.client.get(), 5000).Readable(c.client.get()));
  EXPECT_EQ(c.client->ReceiveLine(), "");
}

TEST(socket_select, server_is_readable_when_a_client_waits) {
  SocketServer server(0, 1);
  EXPECT_FALSE(SocketSelect(&server, nullptr, 20).Readable(&server));
  SocketClient client("127.0.0.1", server.Port());
  EXPECT_TRUE(SocketSelect(&server, nullptr, 5000).Readable(&server));
  std::unique_ptr<Socket> peer(server.Accept());
  EXPECT_NE(peer, nullptr);
}
