// The manager over real TCP on 127.0.0.1: scripted clients in threads play against TCP seats,
// and the vorak-manager program itself is run for its exit statuses and a whole game.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <nlohmann/json.hpp>

#include "game/vorak.h"
#include "manager/client_text.h"
#include "manager/match.h"
#include "manager/players.h"
#include "manager/referee.h"
#include "manager/seat.h"
#include "manager/setup.h"
#include "net/socket.h"

extern char** environ;

using namespace manager;

namespace {

// A bare POSIX client, so that the test's threads share none of the socket family's counts.
// Every read gives up after 10 seconds of silence, so no test can hang on a silent manager.
class Client {
 public:
  explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    timeval limit{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { close(); }
  Client(Client const&) = delete;
  Client& operator=(Client const&) = delete;

  bool connected() const { return connected_; }
  void send(std::string const& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // The next line without its line end; nullopt once the connection is closed or silent.
  std::optional<std::string> line() {
    for (;;) {
      std::size_t const end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string l = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        return l;
      }
      char bytes[4096];
      ssize_t const n = fd_ < 0 ? -1 : ::recv(fd_, bytes, sizeof bytes, 0);
      if (n <= 0) return std::nullopt;
      buffer_.append(bytes, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  bool connected_ = false;
  std::string buffer_;
};

// What a scripted client does on its n-th YourTurn.
struct Answer {
  enum What { MOVE, RAW, CLOSE, STALL } what = MOVE;
  std::string text;  // MOVE: the move in server notation; RAW: bytes to send as they are
};
using Policy = std::function<Answer(Vorak const& position, Players me, int turn)>;

// Plays the client's side: keeps its own position from BoardState and Move lines, answers
// YourTurn by `policy`, and returns every line received, up to GameOver or the end.
std::vector<std::string> play_client(int port, Policy const& policy) {
  Client client(port);
  std::vector<std::string> lines;
  if (!client.connected()) return lines;
  Vorak position(0);
  Players me = NONE;
  int turns = 0;
  while (std::optional<std::string> line = client.line()) {
    lines.push_back(*line);
    std::string const body = line->substr(line->find('{') + 1, line->size() - line->find('{') - 2);
    if (boost::starts_with(*line, "GameOver{")) break;
    if (boost::starts_with(*line, "BoardState{")) {
      std::string text = body;
      position.create_board(text);
    } else if (boost::starts_with(*line, "YourPlayerNumber{")) {
      me = body == "One" ? WHITE : BLACK;
    } else if (boost::starts_with(*line, "Move{")) {
      position.execute_move(parse_server_move(body).value(), false);
    } else if (*line == "YourTurn{}") {
      Answer const a = policy(position, me, ++turns);
      if (a.what == Answer::CLOSE) break;
      if (a.what == Answer::RAW) client.send(a.text);
      if (a.what == Answer::MOVE) {
        client.send("Move{" + a.text + "}\r\n");
        std::optional<std::string> const internal = parse_server_move(a.text);
        std::vector<std::string> const legal = legal_actions(position, me);
        if (internal && std::find(legal.begin(), legal.end(), *internal) != legal.end())
          position.execute_move(*internal, false);
      }
    }
  }
  return lines;
}

Answer random_move(Vorak const& position, Players me, boost::random::mt19937& engine) {
  return Answer{Answer::MOVE, to_server_notation(choose_random(position, me, engine)).value()};
}

Policy random_policy(std::uint32_t seed) {
  auto engine = std::make_shared<boost::random::mt19937>(seed);
  return [engine](Vorak const& p, Players me, int) { return random_move(p, me, *engine); };
}

// A listening socket on an ephemeral port, and the seats of one game over it.
struct Table {
  SocketServer server{0, 2, "127.0.0.1"};
  std::vector<std::string> log;

  int port() const { return server.Port(); }
  std::unique_ptr<TcpSeat> seat() {
    std::unique_ptr<Socket> socket = accept_client(server, 10000);
    if (!socket) return nullptr;
    return std::make_unique<TcpSeat>(
        std::move(socket), [this](std::string const& l) { log.push_back(l); }, 1000);
  }
};

// The lines White must have received in a game against a built-in Black: the opening, then
// YourTurn for each of its actions and Move for each of Black's, then the outcome.
std::vector<std::string> white_transcript(GameRecord const& record, std::string const& outcome) {
  std::vector<std::string> lines = {"YourPlayerNumber{One}", "BoardState{" + record.start + "}"};
  std::vector<ActionRecord> actions = record.actions;
  if (record.refused) actions.push_back(*record.refused);
  for (ActionRecord const& a : actions)
    lines.push_back(a.player == WHITE ? "YourTurn{}" : "Move{" + a.move + "}");
  lines.push_back("GameOver{" + outcome + "}");
  return lines;
}

std::string program() {
  return std::string(DRAVIX_BIN_DIR) + "/vorak-manager";
}

// The program running in the background, its output (standard output and error together) read
// as it comes. Every wait is bounded: a program that outlives it is killed.
class Program {
 public:
  explicit Program(std::string const& arguments) {
    int ends[2];
    if (::pipe(ends) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    // exec, so that a signal reaches the program and not a shell.
    std::string const command = "exec " + program() + " " + arguments;
    char const* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    if (posix_spawn(&pid_, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    out_ = ends[0];
  }
  ~Program() {
    finish(0);
    ::close(out_);
  }

  // Reads until `count` whole lines starting with `prefix` have been printed; false after 10
  // seconds or at the end of the output.
  bool printed(std::string const& prefix, int count = 1) {
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      int seen = 0;
      for (std::size_t at = output.find("\n" + prefix); at != std::string::npos;
           at = output.find("\n" + prefix, at + 1))
        seen += output.find('\n', at + 1) != std::string::npos ? 1 : 0;
      if (seen >= count) return true;
      if (!read(deadline)) return false;
    }
  }
  int port() {
    std::string const listening = "Listening on 127.0.0.1:";
    if (!printed(listening)) return -1;
    return std::stoi(output.substr(output.find("\n" + listening) + 1 + listening.size()));
  }
  void signal(int number) { ::kill(pid_, number); }
  // The exit status once the program has ended (all its output read), or -1 when it had to
  // be killed after `seconds`.
  int finish(int seconds) {
    if (pid_ <= 0) return -1;
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (read(deadline)) {
    }
    if (std::chrono::steady_clock::now() >= deadline) ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string output = "\n";  // so that every line follows a line feed

 private:
  // Adds what the program prints next; false at the end of its output or at `deadline`.
  bool read(std::chrono::steady_clock::time_point deadline) {
    auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{out_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    char bytes[4096];
    ssize_t const n = ::read(out_, bytes, sizeof bytes);
    if (n > 0) output.append(bytes, static_cast<std::size_t>(n));
    return n > 0;
  }

  pid_t pid_ = -1;
  int out_ = -1;
};

// Runs the program with `arguments`, returning its exit status and what it printed.
int run_program(std::string const& arguments, std::string* output = nullptr) {
  Program run(arguments);
  int const status = run.finish(60);
  if (output != nullptr) *output = run.output.substr(1);
  return status;
}

nlohmann::json read_json(std::string const& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in, nullptr, false);
}

std::string scratch(std::string const& name) {
  return ::testing::TempDir() + "manager_tcp_test_" + std::to_string(::getpid()) + "_" + name;
}

}  // namespace

TEST(tcp_seat, a_client_hears_the_opening_its_turns_and_the_opponents_moves) {
  Table table;
  std::vector<std::string> lines;
  auto engine = std::make_shared<boost::random::mt19937>(7);
  std::thread client([&] {
    lines = play_client(table.port(), [&](Vorak const& p, Players me, int turn) {
      if (turn == 1) {
        Answer a = random_move(p, me, *engine);
        return Answer{Answer::RAW, "Chat{good luck}\r\n\r\nMove{" + a.text + "}\r\n"};
      }
      if (turn == 3) return Answer{Answer::MOVE, ""};  // a pass as the second action
      if (turn == 4) return Answer{Answer::MOVE, "0,0,0,0"};
      return random_move(p, me, *engine);
    });
  });
  std::unique_ptr<TcpSeat> white = table.seat();
  GameRecord record;
  if (white) {
    BuiltinSeat black(SeatKind::RANDOM, 3, 1, true);
    play_match(random_setup(3), *white, black, MatchSettings{}, record);
  }
  client.join();
  ASSERT_TRUE(white);

  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(boost::starts_with(lines[0], "Version{") && boost::ends_with(lines[0], "}"))
      << lines[0];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            white_transcript(record, "IllegalMove"));
  EXPECT_EQ(record.reason, Reason::ILLEGAL_MOVE);
  EXPECT_EQ(record.winner, BLACK);
  ASSERT_TRUE(record.refused);
  EXPECT_EQ(record.refused->move, "0,0,0,0");
  // White's actions: the opening, a capture, the pass.
  std::vector<std::string> white_kinds;
  for (ActionRecord const& a : record.actions)
    if (a.player == WHITE) white_kinds.push_back(a.kind);
  EXPECT_EQ(white_kinds, (std::vector<std::string>{"capture", "capture", "pass"}));
  EXPECT_EQ(table.log, std::vector<std::string>{"White says: good luck"});
}

TEST(tcp_seat, an_illegal_move_loses_and_the_other_side_is_told) {
  Table table;
  std::vector<std::string> white_lines, black_lines;
  std::thread white_client([&] { white_lines = play_client(table.port(), random_policy(1)); });
  std::unique_ptr<TcpSeat> white = table.seat();
  std::thread black_client([&] {
    black_lines = play_client(table.port(), [](Vorak const&, Players, int) {
      return Answer{Answer::MOVE, "9,9,9,9"};
    });
  });
  std::unique_ptr<TcpSeat> black = table.seat();
  GameRecord record;
  if (white && black) play_match(random_setup(4), *white, *black, MatchSettings{}, record);
  white_client.join();
  black_client.join();
  ASSERT_TRUE(white && black);

  ASSERT_EQ(record.actions.size(), 1u);
  std::vector<std::string> const expected_black = {
      "YourPlayerNumber{Two}", "BoardState{" + record.start + "}",
      "Move{" + record.actions[0].move + "}", "YourTurn{}", "GameOver{IllegalMove}"};
  ASSERT_FALSE(black_lines.empty());
  EXPECT_EQ(std::vector<std::string>(black_lines.begin() + 1, black_lines.end()), expected_black);
  ASSERT_FALSE(white_lines.empty());
  EXPECT_EQ(white_lines.back(), "GameOver{OpponentMadeIllegalMove}");
  EXPECT_EQ(record.winner, WHITE);
  EXPECT_NE(record.detail.find("not a move"), std::string::npos) << record.detail;
}

TEST(tcp_seat, a_dropped_client_loses_and_the_other_hears_opponent_disconnected) {
  Table table;
  std::vector<std::string> white_lines;
  std::thread white_client([&] { white_lines = play_client(table.port(), random_policy(2)); });
  std::unique_ptr<TcpSeat> white = table.seat();
  std::thread black_client([&] {
    play_client(table.port(), [](Vorak const&, Players, int) { return Answer{Answer::CLOSE, ""}; });
  });
  std::unique_ptr<TcpSeat> black = table.seat();
  GameRecord record;
  if (white && black) play_match(random_setup(5), *white, *black, MatchSettings{}, record);
  white_client.join();
  black_client.join();
  ASSERT_TRUE(white && black);

  EXPECT_EQ(record.reason, Reason::DISCONNECTED);
  EXPECT_EQ(record.winner, WHITE);
  ASSERT_FALSE(white_lines.empty());
  EXPECT_EQ(white_lines.back(), "GameOver{OpponentDisconnected}");
}

TEST(tcp_seat, half_a_line_cannot_outlast_the_action_limit) {
  Table table;
  std::vector<std::string> white_lines, black_lines;
  std::thread white_client([&] { white_lines = play_client(table.port(), random_policy(3)); });
  std::unique_ptr<TcpSeat> white = table.seat();
  std::thread black_client([&] {
    black_lines = play_client(table.port(), [](Vorak const&, Players, int) {
      return Answer{Answer::RAW, "Move{5,"};  // and then nothing
    });
  });
  std::unique_ptr<TcpSeat> black = table.seat();
  GameRecord record;
  MatchSettings settings;
  settings.action_limit_ms = 300;
  if (white && black) play_match(random_setup(6), *white, *black, settings, record);
  white_client.join();
  black_client.join();
  ASSERT_TRUE(white && black);

  EXPECT_EQ(record.reason, Reason::TIME_LIMIT);
  EXPECT_EQ(record.winner, WHITE);
  ASSERT_FALSE(black_lines.empty());
  EXPECT_EQ(black_lines.back(), "GameOver{YouLose}");
  ASSERT_FALSE(white_lines.empty());
  EXPECT_EQ(white_lines.back(), "GameOver{OtherPlayerForfeits}");
}

// Escape codes in a chat line could retitle, clear or recolour the manager's console; a huge
// illegal move was printed and recorded whole; a chat flood could fill the console.
TEST(tcp_seat, a_client_cannot_drive_the_console_or_swell_the_record) {
  Table table;
  std::thread client([&] {
    play_client(table.port(), [](Vorak const&, Players, int) {
      std::string lines =
          "Chat{\x1b]0;pwned\x07\x1b[2J\x1b[31mred\r\xc2\x9b \xe2\x80\xae \xff ok}\r\n";
      for (int i = 0; i < 2 * TcpSeat::MAX_NOTICES; ++i) lines += "Chat{again}\r\n";
      return Answer{Answer::RAW, lines + "Move{" + std::string(60 * 1024, '9') + "}\r\n"};
    });
  });
  std::unique_ptr<TcpSeat> white = table.seat();
  BuiltinSeat black(SeatKind::RANDOM, 3, 1, true);
  GameRecord record;
  if (white) play_match(random_setup(3), *white, black, MatchSettings{}, record);
  client.join();

  ASSERT_EQ(table.log.size(), TcpSeat::MAX_NOTICES + 1u);
  EXPECT_EQ(table.log[0],
            "White says: \\x1b]0;pwned\\x07\\x1b[2J\\x1b[31mred\\x0d\\xc2\\x9b \\xe2\\x80\\xae "
            "\\xff ok");
  EXPECT_NE(table.log.back().find("dropped"), std::string::npos) << table.log.back();
  ASSERT_TRUE(record.refused);
  EXPECT_EQ(record.refused->move,
            std::string(CLIENT_TEXT_LIMIT, '9') + "[cut: 61440 bytes in all]");
  EXPECT_LT(record.detail.size(), CLIENT_TEXT_LIMIT + 100) << record.detail;

  // Valid UTF-8 stays as it was, and is never cut inside a character.
  std::string const accents = "gr\xc3\xbc\xc3\x9f \xe2\x99\x9e";
  EXPECT_EQ(client_text(accents), accents);
  EXPECT_EQ(client_text("\xed\xa0\x80\xc0\xaf"),
            "\\xed\\xa0\\x80\\xc0\\xaf");  // surrogate, overlong
  EXPECT_EQ(client_text(std::string(CLIENT_TEXT_LIMIT - 1, 'a') + "\xc3\xa9"),
            std::string(CLIENT_TEXT_LIMIT - 1, 'a') + "[cut: 301 bytes in all]");
}

TEST(manager_program, bad_options_exit_with_status_2) {
  for (std::string args :
       {"--games 0", "--white human", "--port 65536", "--frobnicate", "--seed x",
        "--action-limit -1", "surplus", "--white random --board /nonexistent/board.txt"}) {
    std::string output;
    EXPECT_EQ(run_program(args, &output), 2) << args << "\n" << output;
    EXPECT_TRUE(boost::starts_with(output, "vorak-manager: ")) << output;
  }
  std::string help;
  EXPECT_EQ(run_program("--help", &help), 0);
  EXPECT_NE(help.find("Usage: vorak-manager"), std::string::npos);
}

TEST(manager_program, a_port_in_use_exits_with_status_1) {
  SocketServer taken(0, 1, "127.0.0.1");
  std::string output;
  EXPECT_EQ(run_program("--quiet --port " + std::to_string(taken.Port()), &output), 1) << output;
  EXPECT_NE(output.find("cannot bind"), std::string::npos) << output;
}

TEST(manager_program, plays_a_whole_game_with_a_tcp_client_and_records_it) {
  std::string const record_path = scratch("whole_game.json");
  Program manager("--port 0 --black greedy --seed 12 --quiet --record " + record_path);
  int const port = manager.port();
  std::vector<std::string> lines;
  if (port > 0) lines = play_client(port, random_policy(12));
  int const status = manager.finish(30);
  std::string const& printed = manager.output;
  ASSERT_GT(port, 0) << printed;
  EXPECT_EQ(status, 0) << printed;
  EXPECT_NE(printed.find("Seed: 12"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Results of 1 game"), std::string::npos) << printed;

  ASSERT_FALSE(lines.empty());
  nlohmann::json const record = read_json(record_path);
  ASSERT_EQ(record["games"].size(), 1u);
  nlohmann::json const& game = record["games"][0];
  EXPECT_EQ(game["white"], "tcp");
  EXPECT_EQ(lines.back(), game["winner"] == "white" ? "GameOver{YouWin}" : "GameOver{YouLose}");
  EXPECT_TRUE(game["reason"] == "elimination" || game["reason"] == "no capture") << game["reason"];
  EXPECT_EQ(lines[2], "BoardState{" + game["start"].get<std::string>() + "}");
  std::remove(record_path.c_str());
}

// A web page can make a browser connect to the game port; it must never take a seat.
TEST(manager_program, a_web_pages_request_never_takes_a_seat) {
  Program manager("--port 0 --white tcp --black tcp --seed 9 --quiet");
  int const port = manager.port();
  ASSERT_TRUE(port > 0 && manager.printed("Waiting for White")) << manager.output;
  // A request sent at once is refused before it is seated.
  Client post(port);
  post.send("POST /x HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n\r\nMove{1}");
  EXPECT_EQ(post.line(), std::nullopt);
  // A connection seated while it said nothing loses its seat when its first line, sent before
  // the game begins, is a request: the next client plays instead.
  ASSERT_TRUE(manager.printed("Waiting for White", 2)) << manager.output;
  Client get(port);
  ASSERT_TRUE(manager.printed("Waiting for Black")) << manager.output;
  get.send("GET / HTTP/1.0\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<std::string> lines[2];
  std::thread black([&] { lines[1] = play_client(port, random_policy(1)); });
  EXPECT_TRUE(manager.printed("Waiting for White", 3)) << manager.output;
  lines[0] = play_client(port, random_policy(2));
  black.join();
  EXPECT_EQ(get.line(), std::nullopt);
  EXPECT_EQ(manager.finish(30), 0) << manager.output;
  for (std::vector<std::string> const& l : lines)
    EXPECT_TRUE(!l.empty() && boost::starts_with(l.back(), "GameOver{")) << manager.output;
  std::string const refused = "Refused a connection for White: its first line is an HTTP request";
  EXPECT_NE(manager.output.find(refused + " (\"POST /x HTTP/1.1\")"), std::string::npos);
  EXPECT_NE(manager.output.find(refused + " (\"GET / HTTP/1.0\")"), std::string::npos);

  // Once the game has begun, such a line closes the connection: the seat is lost.
  Table table;
  std::thread client([&] {
    play_client(table.port(), [](Vorak const&, Players, int) {
      return Answer{Answer::RAW, "GET /favicon.ico HTTP/1.1\r\n"};
    });
  });
  std::unique_ptr<TcpSeat> seat = table.seat();
  BuiltinSeat builtin(SeatKind::RANDOM, 3, 1, true);
  GameRecord record;
  if (seat) play_match(random_setup(3), *seat, builtin, MatchSettings{}, record);
  client.join();
  EXPECT_EQ(record.reason, Reason::DISCONNECTED);
  EXPECT_EQ(table.log, std::vector<std::string>{"White's first line is an HTTP request (\"GET "
                                                "/favicon.ico HTTP/1.1\"), not the game's "
                                                "protocol: its connection is closed"});
  EXPECT_FALSE(http_request_line("Chat{see HTTP/1.1}"));
}

// A client that never answers or never comes, and Ctrl-C, each end a series with everything
// recorded; a person's turn on the page is no exception.
TEST(manager_program, nothing_holds_a_series_for_ever) {
  std::string const record = scratch("interrupted.json");
  {
    Program manager("--port 0 --connect-limit 0.3 --quiet --record " + record);
    EXPECT_EQ(manager.finish(30), 1) << manager.output;
    EXPECT_NE(manager.output.find("no client connected as White within 0.300 s"), std::string::npos)
        << manager.output;
    EXPECT_NE(manager.output.find("Results of 0 games"), std::string::npos) << manager.output;
    EXPECT_EQ(read_json(record)["games"].size(), 0u);
  }
  {
    Program manager("--port 0 --games 5 --quiet --record " + record);
    int const port = manager.port();
    ASSERT_GT(port, 0) << manager.output;
    Client silent(port);
    std::optional<std::string> line;
    while ((line = silent.line()) && *line != "YourTurn{}") {
    }
    manager.signal(SIGINT);
    EXPECT_EQ(silent.line(), "GameOver{NoContest}");
    EXPECT_EQ(manager.finish(30), 130) << manager.output;
    EXPECT_NE(manager.output.find("Results of 1 game"), std::string::npos) << manager.output;
    nlohmann::json const games = read_json(record)["games"];
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]["reason"], "interrupted");
    EXPECT_EQ(games[0]["winner"], nullptr);
  }
  {
    Program manager("--web 0 --white human --black random --record " + record);
    ASSERT_TRUE(manager.printed("White to open")) << manager.output;
    manager.signal(SIGTERM);
    EXPECT_EQ(manager.finish(30), 143) << manager.output;
    nlohmann::json const games = read_json(record)["games"];
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]["detail"], "interrupted by SIGTERM during action 1");
  }
  std::remove(record.c_str());
}
