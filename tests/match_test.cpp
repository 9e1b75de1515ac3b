// The match loop against a scripted game manager over real TCP on 127.0.0.1, and the server
// move notation.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "game/geometry.h"
#include "game/vorak.h"
#include "match/match.h"
#include "match/printable.h"
#include "tests/support/peer.h"
#include "tests/support/text.h"

namespace {

const std::string FAILURE = "Unable to connect to the Corvane Game Manager: ";
const std::string UNKNOWN = "I don't understand that type of message.\n";

using support::contains;
using support::count;
using support::Peer;

struct Game {
  int result;
  std::string out;
  std::string err;
  unsigned short port;
};

// Plays one game against `script`, with standard output and error captured.
Game play(support::Script const& script, unsigned short time = 1) {
  support::ScriptedServer server(script);
  auto const port = static_cast<unsigned short>(server.port());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int const result = play_game("127.0.0.1", port, time);
  Game game{result, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr(),
            port};
  server.join();
  return game;
}

// A board description from stacks keyed by cell (row * 9 + column); other cells are empty.
std::string describe(std::map<int, std::string> const& stacks) {
  std::string text;
  for (std::uint8_t c : geometry::PLAYABLE) {
    if (!text.empty()) text += ",";
    auto const it = stacks.find(c);
    text += "{" + (it == stacks.end() ? std::string() : it->second) + "}";
  }
  return text;
}

// A full opening: one letter per playable cell in canonical order, capitals for White.
std::string full_board() {
  std::string const layout = "WwVvWmWwMmWvMwVmMmMwWwWmWwMwWwWvWwMvWwWwWmMmVvWwVwVmWvMmVwMw";
  std::map<int, std::string> stacks;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    char const k = layout[i];
    std::string const owner = (k >= 'a') ? "BLACK," : "WHITE,";
    char const kind = static_cast<char>(k >= 'a' ? k - 'a' + 'A' : k);
    stacks[geometry::PLAYABLE[i]] = owner + (kind == 'V'   ? "Vorak"
                                             : kind == 'M' ? "Moriel"
                                                           : "Wemm");
  }
  return describe(stacks);
}

// A few stacks: (3,4) White Vorak, (3,5) Black Wemm, (3,3) Black Moriel, (5,5) White Wemm.
std::string small_board() {
  return describe({{geometry::cell(3, 4), "WHITE,Vorak"},
                   {geometry::cell(3, 5), "BLACK,Wemm"},
                   {geometry::cell(3, 3), "BLACK,Moriel"},
                   {geometry::cell(5, 5), "WHITE,Wemm"}});
}

// The body of a "Move{...}\r\n" line, or "?" when the line has another form.
std::string move_body(std::string const& line) {
  static std::regex const form(R"(Move\{((?:[0-8],[0-8],[0-8],[0-8])?)\}\r\n)");
  std::smatch m;
  return std::regex_match(line, m, form) ? m[1].str() : "?";
}

}  // namespace

TEST(server_notation, worked_examples_both_ways) {
  Vorak const v(1);
  std::pair<char const*, char const*> const examples[] = {{"3435", "3,4,3,5"}, {"4546", "4,4,4,5"},
                                                          {"4041", "4,0,4,1"}, {"5577", "5,4,7,4"},
                                                          {"8488", "8,0,8,4"}, {"", ""}};
  for (auto const& [internal, server] : examples) {
    std::string text = internal;
    v.translate_move_to_cgm(text);
    EXPECT_EQ(text, server);
    v.translate_move_from_cgm(text);
    EXPECT_EQ(text, internal);
  }
}

TEST(server_notation, every_pair_of_cells_round_trips_within_the_rows) {
  Vorak const v(1);
  for (std::uint8_t from : geometry::PLAYABLE)
    for (std::uint8_t to : geometry::PLAYABLE) {
      std::string const internal =
          std::to_string(geometry::row_of(from)) + std::to_string(geometry::column_of(from)) +
          std::to_string(geometry::row_of(to)) + std::to_string(geometry::column_of(to));
      std::string text = internal;
      v.translate_move_to_cgm(text);
      ASSERT_EQ(text.size(), 7u) << internal;
      EXPECT_EQ(text[2] - '0',
                geometry::index_in_row(geometry::row_of(from), geometry::column_of(from)));
      EXPECT_EQ(text[6] - '0',
                geometry::index_in_row(geometry::row_of(to), geometry::column_of(to)));
      v.translate_move_from_cgm(text);
      EXPECT_EQ(text, internal);
    }
}

TEST(server_notation, extra_commas_and_characters_are_ignored) {
  Vorak const v(1);
  std::string text = "5,,4,,,7,,4";
  v.translate_move_from_cgm(text);
  EXPECT_EQ(text, "5577");
  text = "5,4,7,4,1,2";
  v.translate_move_from_cgm(text);
  EXPECT_EQ(text, "5577");
  text = "557712";
  v.translate_move_to_cgm(text);
  EXPECT_EQ(text, "5,4,7,4");
}

TEST(server_notation, short_or_non_digit_texts_throw) {
  Vorak const v(1);
  for (std::string bad : {"3,4,3", "3,4,3,x", ",,,", "343"}) {
    std::string text = bad;
    EXPECT_THROW(v.translate_move_from_cgm(text), boost::bad_lexical_cast) << bad;
  }
  std::string text = "34a5";
  EXPECT_THROW(v.translate_move_to_cgm(text), boost::bad_lexical_cast);
}

TEST(match_loop, plays_a_short_game_as_white) {
  std::string const board = full_board();
  std::vector<std::string> bot_lines;
  std::vector<bool> legal;
  std::string black_move;
  std::string rest;
  Game const g = play([&](Peer& peer) {
    Vorak mirror(1);
    std::string description = board;
    mirror.create_board(description);
    auto const bot_acts = [&] {
      peer.send("YourTurn{}\r\n");
      bot_lines.push_back(peer.read_line());
      std::string move = move_body(bot_lines.back());
      if (move == "?") {
        legal.push_back(false);
        return;
      }
      std::vector<std::string> moves;
      mirror.get_moves(moves, WHITE, mirror.step());
      mirror.translate_move_from_cgm(move);
      legal.push_back(std::find(moves.begin(), moves.end(), move) != moves.end());
      if (legal.back()) mirror.execute_move(move, false);
    };
    peer.send("Version{1.0}\r\nYourPlayerNumber{One}\r\nBoardState{" + board + "}\r\n");
    bot_acts();
    // Black: the first capture it has, then a pass.
    std::vector<std::string> moves;
    mirror.get_moves(moves, BLACK, mirror.step());
    if (moves.empty()) return;
    black_move = moves.front();
    mirror.execute_move(black_move, false);
    mirror.translate_move_to_cgm(black_move);
    peer.send("Move{" + black_move + "}\r\nMove{}\r\n");
    mirror.execute_move("", false);
    bot_acts();
    bot_acts();
    peer.send("GameOver{YouWin}\r\n");
    rest = peer.read_rest();
  });

  EXPECT_EQ(g.result, 1);
  EXPECT_EQ(g.err, "");
  ASSERT_EQ(bot_lines.size(), 3u);
  EXPECT_EQ(legal, std::vector<bool>(3, true));
  EXPECT_EQ(rest, "");  // nothing but the three moves

  std::string const start = "Let the game begin!\n\nAttempting to open a connection with the " +
                            std::string("Corvane Game Manager at 127.0.0.1:") +
                            std::to_string(g.port) +
                            "Received the following message: Version{1.0}\n"
                            "Received the following message: YourPlayerNumber{One}\n"
                            "I am the White player.\n"
                            "Received the following message: BoardState{";
  EXPECT_EQ(g.out.substr(0, start.size()), start);

  Vorak const v(1);
  for (std::size_t i = 0; i < bot_lines.size(); ++i) {
    std::string const server = move_body(bot_lines[i]);
    ASSERT_NE(server, "?") << bot_lines[i];
    std::string internal = server;
    v.translate_move_from_cgm(internal);
    // The search report comes between the action number and the move.
    unsigned const round[] = {1, 4, 5};
    std::string const asked =
        "Received the following message: YourTurn{}\nRound: " + std::to_string(round[i]) + "\n";
    std::size_t const at = g.out.find(asked);
    ASSERT_NE(at, std::string::npos) << asked;
    std::size_t const made = g.out.find("Making move: " + internal + " (" + server + ")\n", at);
    EXPECT_NE(made, std::string::npos) << "action " << i;
    EXPECT_LT(made, g.out.find("Received the following message:", at + asked.size()));
  }
  EXPECT_TRUE(contains(g.out, "Received the following message: Move{" + black_move +
                                  "}\nRound: 2\nBlack's first move:\n"));
  EXPECT_TRUE(contains(g.out, "Received the following message: Move{}\nRound: 3\n"));
  EXPECT_TRUE(contains(g.out, "Received the following message: GameOver{YouWin}\n"));
}

TEST(match_loop, game_over_bodies_give_the_result) {
  std::pair<char const*, int> const outcomes[] = {{"YouWin", 1},
                                                  {"OtherPlayerForfeits", 1},
                                                  {"OpponentMadeIllegalMove", 1},
                                                  {"OpponentDisconnected", 1},
                                                  {"YouLose", -1},
                                                  {"IllegalMove", -1},
                                                  {"", 0},
                                                  {"Draw", 0},
                                                  {"youwin", 0}};
  for (auto const& [body, result] : outcomes) {
    SCOPED_TRACE(body);
    std::string sent;
    Game const g = play([&, b = std::string(body)](Peer& peer) {
      peer.send("Version{any text at all}\r\nGameOver{" + b + "}\r\n");
      sent = peer.read_rest();
    });
    EXPECT_EQ(g.result, result);
    EXPECT_EQ(sent, "");  // neither Version nor GameOver is answered
    EXPECT_EQ(g.err, "");
    EXPECT_TRUE(contains(g.out,
                         "Received the following message: Version{any text at all}\n"
                         "Received the following message: GameOver{" +
                             std::string(body) + "}\n"));
  }
}

TEST(match_loop, player_number_sets_the_colour) {
  Game const g = play([](Peer& peer) {
    peer.send("YourPlayerNumber{One}\nYourPlayerNumber{Two}\nYourPlayerNumber{one}\n");
    peer.send("GameOver{YouLose}\n");
  });
  EXPECT_EQ(g.result, -1);
  EXPECT_TRUE(contains(g.out, "YourPlayerNumber{One}\nI am the White player.\n"));
  EXPECT_TRUE(contains(g.out, "YourPlayerNumber{Two}\nI am the Black player.\n"));
  EXPECT_TRUE(contains(g.out, "YourPlayerNumber{one}\nI am the Black player.\n"));
}

// The chat flag lives for the whole run, so this is the only test of the program that chats:
// its first reply is the first of the run.
TEST(match_loop, chat_replies_change_after_the_first_of_the_run) {
  std::vector<std::string> replies;
  Game const first_game = play([&](Peer& peer) {
    peer.send("Chat{hello}\r\n");
    replies.push_back(peer.read_line());
    peer.send("Chat{}\r\n");
    replies.push_back(peer.read_line());
    peer.send("GameOver{}\r\n");
  });
  Game const second_game = play([&](Peer& peer) {
    peer.send("Chat{again}\r\nGameOver{YouWin}\r\n");
    replies.push_back(peer.read_line());
  });
  EXPECT_EQ(first_game.result, 0);
  EXPECT_EQ(second_game.result, 1);
  std::string const later =
      "Chat{Dravix Bot continues to silently ignore your feeble mumblings.}\n";
  EXPECT_EQ(replies,
            (std::vector<std::string>{"Chat{Dravix Bot silently ignores your feeble mumbling.}\n",
                                      later, later}));
  EXPECT_TRUE(contains(first_game.out,
                       "Received the following message: Chat{hello}\n"
                       "Received the following message: Chat{}\n"));
}

TEST(match_loop, opponent_moves_and_passes_are_applied) {
  Game const g = play([](Peer& peer) {
    peer.send("BoardState{" + small_board() + "}\r\n");
    peer.send("  \t Move{3,4,3,5} \r\n");  // blanks around a line do not matter
    peer.send("Move{}\r\nMove{3,3,3,5}\r\nGameOver{YouLose}\r\n");
  });
  EXPECT_EQ(g.result, -1);
  EXPECT_EQ(g.err, "");
  EXPECT_TRUE(contains(g.out,
                       "Received the following message: Move{3,4,3,5}\nRound: 1\n"
                       "White's final move:\n  From: 3,4: WHITE,Vorak,1\n"
                       "  To:   3,5: BLACK,Wemm,1\n"));
  // A pass advances the action number like any action.
  EXPECT_TRUE(contains(g.out, "Received the following message: Move{}\nRound: 2\n"));
  EXPECT_TRUE(contains(g.out,
                       "Received the following message: Move{3,3,3,5}\nRound: 3\n"
                       "Black's final move:\n  From: 3,3: BLACK,Moriel,1\n"
                       "  To:   3,5: WHITE,Vorak,1\n"));
}

// Each range of characters that a terminal obeys is tested at both of its ends and just past
// them: one code point more or less is a different character.
TEST(echo, peer_text_is_escaped_at_the_edges_of_every_control_range) {
  struct Case {
    std::string in, shown;
  };
  for (Case const& c : std::vector<Case>{
           {"\x1f \x20~\t\r", "\\x1f  ~\\x09\\x0d"},                      // C0 with tab and CR
           {"\x7e\x7f", "~\\x7f"},                                        // DEL
           {"\xc2\x80\xc2\x9f\xc2\xa0", "\\xc2\\x80\\xc2\\x9f\xc2\xa0"},  // C1 is U+0080..U+009F
           {"\xe2\x80\xa7\xe2\x80\xa8", "\xe2\x80\xa7\\xe2\\x80\\xa8"},   // U+2028 starts
           {"\xe2\x80\xae\xe2\x80\xaf", "\\xe2\\x80\\xae\xe2\x80\xaf"},   // U+202E ends
           {"\xe2\x81\xa5\xe2\x81\xa6", "\xe2\x81\xa5\\xe2\\x81\\xa6"},   // U+2066 starts
           {"\xe2\x81\xa9\xe2\x81\xaa", "\\xe2\\x81\\xa9\xe2\x81\xaa"},   // U+2069 ends
           {"\xff\xc3", "\\xff\\xc3"},                                    // not UTF-8
           {std::string(CLIENT_TEXT_LIMIT, 'a'), std::string(CLIENT_TEXT_LIMIT, 'a')},
           {std::string(CLIENT_TEXT_LIMIT + 1, 'a'),
            std::string(CLIENT_TEXT_LIMIT, 'a') + "[cut: 301 bytes in all]"}})
    EXPECT_EQ(client_text(c.in), c.shown) << c.shown;
}

// A carriage return could print a forged line over the echo; a chat just under the line cap
// was echoed whole, megabytes a second into the bot's log.
TEST(echo, a_server_can_neither_forge_a_line_nor_fill_the_log) {
  std::string reply;
  Game const g = play([&](Peer& peer) {
    peer.send("Chat{x\rReceived the following message: GameOver{YouWin}}\n");
    reply = peer.line().value_or("");
    peer.send("Chat{" + std::string(1000000, 'c') + "}\nGameOver{YouLose}\n");
  });
  EXPECT_EQ(g.result, -1);
  // Which of the two wordings depends on the chats of the run so far.
  EXPECT_EQ(reply.rfind("Chat{Dravix Bot ", 0), 0u) << "the chat is still answered: " << reply;
  EXPECT_TRUE(contains(g.out,
                       "Received the following message: Chat{x\\x0dReceived the following "
                       "message: GameOver{YouWin}}\n"));
  EXPECT_TRUE(contains(g.out, "Received the following message: Chat{" +
                                  std::string(CLIENT_TEXT_LIMIT - 5, 'c') +
                                  "[cut: 1000006 bytes in all]\n"));
  EXPECT_LT(g.out.size(), 5000u);
}

TEST(framing, blank_lines_are_skipped_without_echo) {
  Game const g =
      play([](Peer& peer) { peer.send("   \r\n\r\n\t\n \x0b\x0c\r\nGameOver{YouWin}\n"); });
  EXPECT_EQ(g.result, 1);
  EXPECT_EQ(count(g.out, "Received the following message: "), 1u);
  EXPECT_EQ(g.err, "");
}

TEST(framing, lines_that_are_no_message_of_the_table) {
  Game const g = play([](Peer& peer) {
    // A line without a brace is not the previous message again: the colour is printed once.
    peer.send("YourPlayerNumber{One}\r\nOne\r\n{YouWin}\r\nyourturn{}\r\nGameOver{YouWin}\r\n");
  });
  EXPECT_EQ(g.result, 1);
  EXPECT_EQ(count(g.out, "I am the White player."), 1u);
  EXPECT_TRUE(contains(g.out, "Received the following message: One\n"));
  EXPECT_TRUE(contains(g.out, "Received the following message: {YouWin}\n"));
  EXPECT_EQ(g.err, UNKNOWN + UNKNOWN + UNKNOWN);
}

TEST(framing, last_character_of_the_body_is_dropped_whatever_it_is) {
  // Without its closing brace the move loses its last digit and is refused.
  Game const g = play([](Peer& peer) {
    peer.send("BoardState{" + small_board() + "}\r\nMove{3,4,3,5\r\nGameOver{YouWin}\r\n");
  });
  EXPECT_EQ(g.result, 0);
  EXPECT_EQ(g.err, FAILURE + "the server sent the move \"3,4,3,\", which is not four numbers\n");
  EXPECT_FALSE(contains(g.out, "From:"));
}

TEST(framing, type_longer_than_sixteen_bits) {
  // The first brace lies 65,544 characters in; read with a 16-bit index it would seem to be
  // at 8 and make this a GameOver.
  std::string const long_line = "GameOver" + std::string(65536, 'x') + "{YouLose}\n";
  Game const g = play([&](Peer& peer) { peer.send(long_line + "GameOver{YouWin}\n"); });
  EXPECT_EQ(g.result, 1);
  EXPECT_EQ(g.err, UNKNOWN);
}

TEST(match_faults, closed_connection_is_a_no_contest) {
  Game const g = play([](Peer& peer) { peer.send("Version{1}\r\n"); });
  EXPECT_EQ(g.result, 0);
  EXPECT_EQ(g.err, FAILURE + "the connection was closed\n");

  // A whole last message without its line feed still counts; half of one does not.
  Game const whole = play([](Peer& peer) { peer.send("GameOver{YouWin}"); });
  EXPECT_EQ(whole.result, 1) << whole.err;
  EXPECT_TRUE(contains(whole.out, "Received the following message: GameOver{YouWin}\n"));
  Game const tail = play([](Peer& peer) { peer.send("GameOver{YouWin"); });
  EXPECT_EQ(tail.result, 0);
  EXPECT_EQ(tail.err, FAILURE + "the connection was closed in the middle of a line\n");
  EXPECT_FALSE(contains(tail.out, "Received the following message"));
}

TEST(match_faults, endless_line_is_a_no_contest) {
  Game const g = play([](Peer& peer) { peer.send(std::string((1 << 20) + 16, 'x')); });
  EXPECT_EQ(g.result, 0);
  EXPECT_EQ(g.err.rfind(FAILURE, 0), 0u) << g.err;
  EXPECT_FALSE(contains(g.err, "closed")) << g.err;
  EXPECT_FALSE(contains(g.out, "Received the following message"));
}

TEST(match_faults, refused_connection_is_a_no_contest) {
  // A port that was just free and has no listener.
  int const fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ::close(fd);
  unsigned short const port = ntohs(address.sin_port);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int const result = play_game("127.0.0.1", port, 1);
  std::string const out = testing::internal::GetCapturedStdout();
  std::string const err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out,
            "Let the game begin!\n\nAttempting to open a connection with the Corvane Game "
            "Manager at 127.0.0.1:" +
                std::to_string(port));
  EXPECT_EQ(err, FAILURE + std::strerror(ECONNREFUSED) + "\n");
}

TEST(match_faults, failed_send_is_a_no_contest) {
  // The server aborts the connection while the bot thinks: its move cannot be sent, and that
  // must neither kill the program nor pass for a move made.
  Game const g = play([](Peer& peer) {
    peer.send("YourPlayerNumber{One}\nBoardState{" + full_board() + "}\n");
    // The search ends when the calendar second after its start begins, so the turn is given
    // just after a second begins and the reset comes in the middle of the search.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto const now = std::chrono::system_clock::now();
    std::this_thread::sleep_until(std::chrono::ceil<std::chrono::seconds>(now) +
                                  std::chrono::milliseconds(50));
    peer.send("YourTurn{}\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    peer.reset();
  });
  EXPECT_EQ(g.result, 0);
  EXPECT_TRUE(contains(g.out, "Making move: ")) << "the reset came before the bot read its turn";
  EXPECT_EQ(g.err.rfind(FAILURE, 0), 0u) << g.err;
  EXPECT_FALSE(contains(g.out, "White's final move:")) << "the unsent move was applied";
}

TEST(match_faults, bad_server_moves_end_the_game) {
  struct Case {
    char const* body;
    char const* why;
  };
  Case const cases[] = {
      {"9,0,0,0", "does not name two cells of the board"},
      {"0,5,0,0", "does not name two cells of the board"},  // row 0 has five cells
      {"3,4,4,8", "does not name two cells of the board"},  // row 4 has eight
      {"3,4,3", "is not four numbers"},
      {"3,4,3,5,1", "is not four numbers"},
      {"a,4,3,5", "is not four numbers"},
      {"3,-4,3,5", "is not four numbers"},
      {"3,3,3,5", "does not start from a stack of my opponent"},  // the bot's own stack
      {"3,0,3,4", "does not start from a stack of my opponent"},  // an empty cell
      {"3,4,3,6", "does not end on a stack"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.body);
    Game const g = play([&c](Peer& peer) {
      peer.send("YourPlayerNumber{Two}\nBoardState{" + small_board() + "}\nMove{" + c.body +
                "}\nGameOver{YouWin}\n");
    });
    EXPECT_EQ(g.result, 0);
    EXPECT_EQ(g.err,
              FAILURE + "the server sent the move \"" + c.body + "\", which " + c.why + "\n");
    EXPECT_FALSE(contains(g.out, "From:"));
  }
}

TEST(match_faults, move_before_any_board_ends_the_game) {
  Game const g = play([](Peer& peer) { peer.send("Move{3,4,3,5}\nGameOver{YouWin}\n"); });
  EXPECT_EQ(g.result, 0);
  EXPECT_EQ(g.err, FAILURE +
                       "the server sent the move \"3,4,3,5\", which does not start from a stack "
                       "of my opponent\n");
}

TEST(match_faults, move_onto_itself_ends_the_game) {
  // The cells are fine, but a stack cannot move onto itself.
  Game const g = play([](Peer& peer) {
    peer.send("YourPlayerNumber{Two}\nBoardState{" + small_board() + "}\nMove{3,4,3,4}\n");
    peer.send("GameOver{YouWin}\n");
  });
  EXPECT_EQ(g.result, 0);
  EXPECT_EQ(g.err, FAILURE +
                       "the server sent the move \"3,4,3,4\", which goes from a cell onto "
                       "itself\n");
  EXPECT_FALSE(contains(g.out, "From:"));
}

TEST(match_faults, turn_before_board_or_colour_ends_the_game) {
  std::string sent = "unset";
  Game const no_board = play([&](Peer& peer) {
    peer.send("YourPlayerNumber{One}\nYourTurn{}\nGameOver{YouWin}\n");
    sent = peer.read_rest();
  });
  EXPECT_EQ(no_board.result, 0);
  EXPECT_EQ(no_board.err, FAILURE + "the server asked for a move before sending the board\n");
  EXPECT_EQ(sent, "");

  Game const no_colour = play([&](Peer& peer) {
    peer.send("BoardState{" + full_board() + "}\nYourTurn{}\nGameOver{YouWin}\n");
    sent = peer.read_rest();
  });
  EXPECT_EQ(no_colour.result, 0);
  EXPECT_EQ(no_colour.err, FAILURE + "the server asked for a move before telling me my colour\n");
  EXPECT_EQ(sent, "");
  EXPECT_FALSE(contains(no_colour.out, "Making move"));
}
