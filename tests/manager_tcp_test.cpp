// The manager over real TCP on 127.0.0.1: scripted clients in threads play against TCP seats,
// and the vorak-manager program itself is run for its exit statuses and a whole game.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
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
#include "manager/match.h"
#include "manager/players.h"
#include "manager/referee.h"
#include "manager/seat.h"
#include "manager/setup.h"
#include "match/printable.h"
#include "net/socket.h"
#include "tests/support/peer.h"
#include "tests/support/program.h"
#include "tests/support/text.h"

using namespace manager;

namespace {

// What a scripted client does on its n-th YourTurn.
struct Answer {
  enum What { MOVE, RAW, CLOSE, STALL } what = MOVE;
  std::string text;  // MOVE: the move in server notation; RAW, CLOSE: bytes to send as they are
};
using Policy = std::function<Answer(Vorak const& position, Players me, int turn)>;

// Plays the client's side: keeps its own position from BoardState and Move lines, answers
// YourTurn by `policy`, and returns every line received, up to GameOver or the end.
std::vector<std::string> play_client(int port, Policy const& policy) {
  support::Peer client = support::Peer::connect_to(port);
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
      if (a.what == Answer::CLOSE) {
        if (!a.text.empty()) client.send(a.text);
        break;
      }
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

// A game over TCP seats: a scripted White against `black`, a second scripted client or, without
// one, the built-in random player. What each client heard, the record and the seats' log.
struct ClientGame {
  bool seated = false;
  std::vector<std::string> lines[2];  // White's, Black's
  GameRecord record;
  std::vector<std::string> log;
};

ClientGame client_game(std::uint32_t seed, Policy const& white, Policy const& black = nullptr,
                       MatchSettings const& settings = {}) {
  Table table;
  ClientGame game;
  Policy const* const policies[2] = {&white, &black};
  std::thread clients[2];
  std::unique_ptr<TcpSeat> seats[2];
  // One client after the other, so that the first to connect is White.
  for (int c = 0; c < 2 && *policies[c]; ++c) {
    clients[c] = std::thread([&, c] { game.lines[c] = play_client(table.port(), *policies[c]); });
    seats[c] = table.seat();
  }
  BuiltinSeat builtin(SeatKind::RANDOM, seed, 1, true);
  Seat* const second = black ? static_cast<Seat*>(seats[1].get()) : &builtin;
  game.seated = seats[0] && second;
  if (game.seated) play_match(random_setup(seed), *seats[0], *second, settings, game.record);
  for (std::thread& client : clients)
    if (client.joinable()) client.join();
  game.log = table.log;
  return game;
}

// vorak-manager run with `arguments`, its standard output and error together.
support::Program manager_program(std::string const& arguments) {
  return support::Program(support::built_command("vorak-manager", arguments), "", true);
}

nlohmann::json read_json(std::string const& path) {
  return nlohmann::json::parse(support::read_file(path), nullptr, false);
}

}  // namespace

TEST(tcp_seat, a_client_hears_the_opening_its_turns_and_the_opponents_moves) {
  boost::random::mt19937 engine(7);
  ClientGame const game = client_game(3, [&](Vorak const& p, Players me, int turn) {
    if (turn == 1) {
      Answer a = random_move(p, me, engine);
      return Answer{Answer::RAW, "Chat{good luck}\r\n\r\nMove{" + a.text + "}\r\n"};
    }
    if (turn == 3) return Answer{Answer::MOVE, ""};  // a pass as the second action
    if (turn == 4) return Answer{Answer::MOVE, "0,0,0,0"};
    return random_move(p, me, engine);
  });
  ASSERT_TRUE(game.seated);

  std::vector<std::string> const& lines = game.lines[0];
  GameRecord const& record = game.record;
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
  EXPECT_EQ(game.log, std::vector<std::string>{"White says: good luck"});
}

TEST(tcp_seat, an_illegal_move_loses_and_the_other_side_is_told) {
  ClientGame const game = client_game(4, random_policy(1), [](Vorak const&, Players, int) {
    return Answer{Answer::MOVE, "9,9,9,9"};
  });
  ASSERT_TRUE(game.seated);

  auto const& [white_lines, black_lines] = game.lines;
  GameRecord const& record = game.record;
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
  ClientGame const game = client_game(5, random_policy(2), [](Vorak const&, Players, int) {
    return Answer{Answer::CLOSE, "Chat{bye}\r\n"};
  });
  ASSERT_TRUE(game.seated);

  EXPECT_EQ(game.record.reason, Reason::DISCONNECTED);
  EXPECT_EQ(game.record.winner, WHITE);
  EXPECT_EQ(game.record.not_a_client, NONE);
  ASSERT_FALSE(game.lines[0].empty());
  EXPECT_EQ(game.lines[0].back(), "GameOver{OpponentDisconnected}");

  // Gone without one line of the protocol, it was no client: nobody wins, and White, who has
  // played, hears that the game does not count.
  ClientGame const silent = client_game(5, random_policy(2), [](Vorak const&, Players, int) {
    return Answer{Answer::CLOSE, ""};
  });
  EXPECT_EQ(silent.record.not_a_client, BLACK);
  EXPECT_EQ(silent.record.winner, NONE);
  ASSERT_FALSE(silent.lines[0].empty());
  EXPECT_EQ(silent.lines[0].back(), "GameOver{NoContest}");
}

TEST(tcp_seat, half_a_line_cannot_outlast_the_action_limit) {
  MatchSettings settings;
  settings.action_limit_ms = 300;
  ClientGame const game = client_game(
      6, random_policy(3),
      [](Vorak const&, Players, int) {
        return Answer{Answer::RAW, "Chat{hm}\r\nMove{5,"};  // and then nothing
      },
      settings);
  ASSERT_TRUE(game.seated);

  auto const& [white_lines, black_lines] = game.lines;
  EXPECT_EQ(game.record.reason, Reason::TIME_LIMIT);
  EXPECT_EQ(game.record.winner, WHITE);
  ASSERT_FALSE(black_lines.empty());
  EXPECT_EQ(black_lines.back(), "GameOver{YouLose}");
  ASSERT_FALSE(white_lines.empty());
  EXPECT_EQ(white_lines.back(), "GameOver{OtherPlayerForfeits}");
}

// Escape codes in a chat line could retitle, clear or recolour the manager's console; a huge
// illegal move was printed and recorded whole; a chat flood could fill the console.
TEST(tcp_seat, a_client_cannot_drive_the_console_or_swell_the_record) {
  ClientGame const game = client_game(3, [](Vorak const&, Players, int) {
    std::string lines =
        "Chat{hello}\r\nChat{\x1b]0;pwned\x07\x1b[2J\x1b[31mred\r\xc2\x9b \xe2\x80\xae \xff \x7f~ "
        "ok}\r\n";
    for (int i = 0; i < 2 * TcpSeat::MAX_NOTICES; ++i) lines += "Chat{again}\r\n";
    return Answer{Answer::RAW, lines + "Move{" + std::string(60 * 1024, '9') + "}\r\n"};
  });

  std::vector<std::string> const& log = game.log;
  GameRecord const& record = game.record;
  ASSERT_EQ(log.size(), TcpSeat::MAX_NOTICES + 1u);
  EXPECT_EQ(log[1],
            "White says: \\x1b]0;pwned\\x07\\x1b[2J\\x1b[31mred\\x0d\\xc2\\x9b \\xe2\\x80\\xae "
            "\\xff \\x7f~ ok");
  EXPECT_NE(log.back().find("dropped"), std::string::npos) << log.back();
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
    support::Outcome const refused = manager_program(args).finish(60);
    EXPECT_EQ(refused.status, 2) << args << "\n" << refused.out;
    EXPECT_TRUE(boost::starts_with(refused.out, "vorak-manager: ")) << refused.out;
  }
  support::Outcome const help = manager_program("--help").finish(60);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: vorak-manager"), std::string::npos);
}

TEST(manager_program, a_port_in_use_exits_with_status_1) {
  SocketServer taken(0, 1, "127.0.0.1");
  support::Outcome const run =
      manager_program("--quiet --port " + std::to_string(taken.Port())).finish(60);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("cannot bind"), std::string::npos) << run.out;
}

TEST(manager_program, plays_a_whole_game_with_a_tcp_client_and_records_it) {
  std::string const record_path = support::scratch_path("whole_game.json");
  support::Program manager =
      manager_program("--port 0 --black greedy --seed 12 --quiet --record " + record_path);
  int const port = manager.listening_port();
  std::vector<std::string> lines;
  if (port > 0) lines = play_client(port, random_policy(12));
  support::Outcome const run = manager.finish(30);
  std::string const& printed = run.out;
  ASSERT_GT(port, 0) << printed;
  EXPECT_EQ(run.status, 0) << printed;
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
  support::Program manager = manager_program("--port 0 --white tcp --black tcp --seed 9 --quiet");
  int const port = manager.listening_port();
  ASSERT_TRUE(port > 0 && manager.printed("Waiting for White")) << manager.out();
  // A request sent at once is refused before it is seated.
  support::Peer post = support::Peer::connect_to(port);
  post.send("POST /x HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n\r\nMove{1}");
  EXPECT_EQ(post.line(), std::nullopt);
  // A connection seated while it said nothing loses its seat when its first line, sent before
  // the game begins, is a request: the next client plays instead.
  ASSERT_TRUE(manager.printed("Waiting for White", 2)) << manager.out();
  support::Peer get = support::Peer::connect_to(port);
  ASSERT_TRUE(manager.printed("Waiting for Black")) << manager.out();
  get.send("GET / HTTP/1.0\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<std::string> lines[2];
  std::thread black([&] { lines[1] = play_client(port, random_policy(1)); });
  EXPECT_TRUE(manager.printed("Waiting for White", 3)) << manager.out();
  lines[0] = play_client(port, random_policy(2));
  black.join();
  EXPECT_EQ(get.line(), std::nullopt);
  EXPECT_EQ(manager.finish(30).status, 0) << manager.out();
  for (std::vector<std::string> const& l : lines)
    EXPECT_TRUE(!l.empty() && boost::starts_with(l.back(), "GameOver{")) << manager.out();
  std::string const refused = "Refused a connection for White: its first line is an HTTP request";
  EXPECT_NE(manager.out().find(refused + " (\"POST /x HTTP/1.1\")"), std::string::npos);
  EXPECT_NE(manager.out().find(refused + " (\"GET / HTTP/1.0\")"), std::string::npos);

  // Once the game has begun, such a line closes the connection; it was no client, and the
  // game is to be played again.
  ClientGame const game = client_game(3, [](Vorak const&, Players, int) {
    return Answer{Answer::RAW, "GET /favicon.ico HTTP/1.1\r\n"};
  });
  EXPECT_EQ(game.record.not_a_client, WHITE);
  EXPECT_EQ(game.record.winner, NONE);
  EXPECT_EQ(game.log, std::vector<std::string>{"White's connection is closed: its first line is "
                                               "an HTTP request (\"GET /favicon.ico HTTP/1.1\"), "
                                               "not the game's protocol"});
  EXPECT_FALSE(http_request_line("Chat{see HTTP/1.1}"));
}

// A page can make a browser open the game port: an https address sends a TLS opening, a
// preconnect says nothing and goes. Neither may cost the seat a game or be scored.
TEST(manager_program, a_connection_that_never_spoke_the_protocol_costs_no_game) {
  std::string const record_path = support::scratch_path("not_a_client.json");
  support::Program manager =
      manager_program("--port 0 --black random --seed 5 --quiet --record " + record_path);
  int const port = manager.listening_port();
  ASSERT_GT(port, 0) << manager.out();
  // Its first byte alone (0x16, a TLS handshake record) is refused, before the rest comes.
  support::Peer tls = support::Peer::connect_to(port);
  tls.send("\x16");
  EXPECT_EQ(tls.line(), std::nullopt) << "refused at once, not seated";
  ASSERT_TRUE(manager.printed("Waiting for White", 2)) << manager.out();

  support::Peer silent = support::Peer::connect_to(port);
  std::optional<std::string> line, board;
  while ((line = silent.line()) && *line != "YourTurn{}")
    if (boost::starts_with(*line, "BoardState{")) board = line;
  silent.close();
  ASSERT_TRUE(manager.printed("Waiting for White", 3)) << manager.out();
  std::vector<std::string> const lines = play_client(port, random_policy(5));
  EXPECT_EQ(manager.finish(30).status, 0) << manager.out();

  EXPECT_NE(manager.out().find("Refused a connection for White: it sent bytes that are not the "
                               "game's protocol text (\"\\x16\")"),
            std::string::npos)
      << manager.out();
  EXPECT_NE(manager.out().find("Game 1 is not counted: White's connection closed before it sent "
                               "a line of the game's protocol; it is played again from the same "
                               "setup\n"),
            std::string::npos)
      << manager.out();
  nlohmann::json const record = read_json(record_path);
  ASSERT_EQ(record["games"].size(), 1u) << "the game played again is scored once";
  EXPECT_EQ(record["games"][0]["game"], 1);
  ASSERT_TRUE(board && lines.size() > 2);
  EXPECT_EQ(lines[2], *board) << "the same setup";
  EXPECT_NE(record["games"][0]["reason"], "disconnected");
  std::remove(record_path.c_str());
}

// A client that never answers or never comes, and Ctrl-C, each end a series with everything
// recorded; a person's turn on the page is no exception.
TEST(manager_program, nothing_holds_a_series_for_ever) {
  std::string const record = support::scratch_path("interrupted.json");
  {
    support::Program manager =
        manager_program("--port 0 --connect-limit 0.3 --quiet --record " + record);
    EXPECT_EQ(manager.finish(30).status, 1) << manager.out();
    EXPECT_NE(manager.out().find("no client connected as White within 0.300 s"), std::string::npos)
        << manager.out();
    EXPECT_NE(manager.out().find("Results of 0 games"), std::string::npos) << manager.out();
    EXPECT_EQ(read_json(record)["games"].size(), 0u);
  }
  {
    support::Program manager = manager_program("--port 0 --games 5 --quiet --record " + record);
    int const port = manager.listening_port();
    ASSERT_GT(port, 0) << manager.out();
    support::Peer silent = support::Peer::connect_to(port);
    std::optional<std::string> line;
    while ((line = silent.line()) && *line != "YourTurn{}") {
    }
    manager.signal(SIGINT);
    EXPECT_EQ(silent.line(), "GameOver{NoContest}");
    EXPECT_EQ(manager.finish(30).status, 130) << manager.out();
    EXPECT_NE(manager.out().find("Results of 1 game"), std::string::npos) << manager.out();
    nlohmann::json const games = read_json(record)["games"];
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]["reason"], "interrupted");
    EXPECT_EQ(games[0]["winner"], nullptr);
  }
  {
    support::Program manager =
        manager_program("--web 0 --white human --black random --record " + record);
    ASSERT_TRUE(manager.printed("White to open")) << manager.out();
    manager.signal(SIGTERM);
    EXPECT_EQ(manager.finish(30).status, 143) << manager.out();
    nlohmann::json const games = read_json(record)["games"];
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]["detail"], "interrupted by SIGTERM during action 1");
  }
  std::remove(record.c_str());
}
