// A hostile game server against the real dravix-bot process: malformed moves and boards, huge
// lines, early closes and messages out of order. For each, the bot says clearly what went
// wrong and ends the game as a no contest (or plays on where the input is harmless), and the
// process neither crashes nor hangs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/setup.h"
#include "tests/support/peer.h"
#include "tests/support/program.h"

namespace {

using support::Outcome;
using support::Peer;
using support::Script;

// Runs dravix-bot for one game against each script in turn, answering its dialogue with 1 s
// thinking, accepting rematches until the last game and declining then.
Outcome against(std::vector<Script> const& scripts) {
  std::size_t next = 0;
  support::ScriptedServer server([&](Peer& peer) { scripts[next++](peer); },
                                 static_cast<int>(scripts.size()));
  std::string dialogue;
  for (std::size_t game = 0; game < scripts.size(); ++game)
    dialogue += "\n" + std::to_string(server.port()) + "\n1\n" +
                (game + 1 < scripts.size() ? "y\n" : "n\n");
  Outcome const outcome =
      support::run_program({support::built_program("dravix-bot")}, dialogue, 90);
  server.join();
  EXPECT_TRUE(outcome.started) << "dravix-bot could not be started";
  EXPECT_EQ(next, scripts.size()) << "the bot did not come back for every game";
  EXPECT_NE(outcome.status, -1) << "the bot crashed or hung\n" << outcome.err;
  return outcome;
}

Outcome against(Script const& script) {
  return against(std::vector<Script>{script});
}

std::string const FAILURE = "Unable to connect to the Corvane Game Manager: ";
std::string const NO_CONTEST = "This game is ruled a no contest.\n";
std::string const BOARD = random_opening_description(21);

// A no contest, explained on standard error in one line that starts with the usual words and
// mentions `detail`, with the program ending normally.
void expect_no_contest(Outcome const& o, std::string const& detail) {
  EXPECT_EQ(o.status, 0) << "the bot crashed or hung\n" << o.err;
  EXPECT_NE(o.out.find(NO_CONTEST), std::string::npos) << o.out.substr(0, 2000);
  EXPECT_EQ(o.err.rfind(FAILURE, 0), 0u) << o.err;
  EXPECT_NE(o.err.find(detail), std::string::npos) << o.err;
}

// The bot plays on: it answers a request for a move with a move line, and the game is won.
void play_on(Peer& peer, std::string& reply) {
  peer.send("YourPlayerNumber{One}\nYourTurn{}\n");
  reply = peer.line().value_or("");
  peer.send("GameOver{YouWin}\n");
}

void expect_played_on(Outcome const& o, std::string const& reply) {
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(reply.rfind("Move{", 0), 0u) << reply;
  EXPECT_NE(o.out.find("Considering that you are an obvious novice you did quite well.\n"),
            std::string::npos);
}

}  // namespace

TEST(hostile_moves, bad_moves_from_the_server_end_the_game) {
  struct Case {
    std::string body, detail;
  };
  for (Case const& c : std::vector<Case>{{"3,x,3,5", "is not four numbers"},
                                         {"9,0,0,0", "does not name two cells of the board"},
                                         {"4,9,4,5", "does not name two cells of the board"},
                                         // (0,5) is a blocked cell: index 5 of a row of five
                                         {"0,5,0,4", "does not name two cells of the board"}}) {
    Outcome const o = against([&](Peer& peer) {
      peer.send("YourPlayerNumber{Two}\nBoardState{" + BOARD + "}\nMove{" + c.body + "}\n");
      peer.send("GameOver{YouWin}\n");
    });
    expect_no_contest(o, c.detail);
    EXPECT_NE(o.err.find(c.body), std::string::npos) << "the message names the move";
  }
}

TEST(hostile_moves, a_move_from_an_empty_cell_ends_the_game) {
  std::string board;
  for (int i = 0; i < 60; ++i) board += i == 0 ? "{}" : (i % 2 ? ",{WHITE,Wemm}" : ",{}");
  Outcome const o = against([&](Peer& peer) {
    peer.send("YourPlayerNumber{Two}\nBoardState{" + board + "}\nMove{0,0,0,1}\n");
  });
  expect_no_contest(o, "does not start from a stack of my opponent");
}

TEST(hostile_boards, odd_but_harmless_descriptions_let_the_game_go_on) {
  std::string forty_wemms, two_hundred, owner_only = "{WHITE}", high_bytes;
  for (int i = 0; i < 60; ++i) {
    forty_wemms += std::string(i ? "," : "") + (i < 40 ? "{BLACK,Wemm}" : "{WHITE,Vorak}");
    owner_only += i < 30 ? ",{WHITE,Vorak}" : ",{BLACK,Moriel}";
    high_bytes += std::string(i ? "," : "") + (i % 2 ? "{WHITE,W\xe9mm,\xff}" : "{BLACK,Moriel}");
  }
  for (int i = 0; i < 200; ++i) two_hundred += std::string(i ? "," : "") + "{BLACK,Wemm}";
  std::string const fewer = "{WHITE,Vorak},{BLACK,Wemm},{BLACK,Wemm,Wemm}";
  for (std::string const& board : {fewer, two_hundred, forty_wemms, owner_only, high_bytes}) {
    std::string reply;
    Outcome const o = against([&](Peer& peer) {
      peer.send("BoardState{" + board + "}\n");
      play_on(peer, reply);
    });
    expect_played_on(o, reply);
  }
}

TEST(hostile_stream, ten_megabytes_without_a_line_feed_end_the_game) {
  Outcome const o = against([](Peer& peer) { peer.send(std::string(10 << 20, 'x')); });
  expect_no_contest(o, "line longer than");
}

TEST(hostile_stream, a_close_in_the_middle_of_a_game_ends_it) {
  Outcome const o = against([](Peer& peer) {
    peer.send("YourPlayerNumber{One}\nBoardState{" + BOARD + "}\nYourTurn{}\n");
    peer.line();
    peer.send("Move{");  // and gone, halfway through a line
  });
  expect_no_contest(o, "the connection was closed");
}

TEST(hostile_stream, a_turn_before_the_board_ends_the_game_without_a_move) {
  std::string reply = "unset";
  Outcome const o = against([&](Peer& peer) {
    peer.send("YourPlayerNumber{One}\nYourTurn{}\n");
    reply = peer.read_rest();  // up to the bot's close
  });
  expect_no_contest(o, "before sending the board");
  EXPECT_EQ(reply, "") << "nothing is sent for a turn the bot cannot play";
}

TEST(hostile_text, control_characters_are_shown_escaped) {
  Outcome const o = against([](Peer& peer) {
    peer.send("Chat{\x1b]0;owned\x07\x1b[2J\tok\x7f~\xc2\x9b}\n");
    peer.line();
    peer.send("BoardState{" + BOARD + "}\nMove{\x1b[31m}\n");
  });
  EXPECT_NE(o.out.find("Received the following message: Chat{\\x1b]0;owned\\x07\\x1b[2J\\x09ok"
                       "\\x7f~\\xc2\\x9b}\n"),
            std::string::npos)
      << o.out;
  expect_no_contest(o, "\"\\x1b[31m\"");
  for (std::string const* stream : {&o.out, &o.err})
    EXPECT_EQ(stream->find_first_of("\x1b\x07\x7f"), std::string::npos) << *stream;
}

TEST(hostile_stream, a_chat_reply_that_cannot_be_sent_still_uses_up_the_first_wording) {
  std::string reply;
  Outcome const o =
      against(std::vector<Script>{[](Peer& peer) {
                                    // The long line keeps the bot reading until the reset has
                                    // arrived.
                                    peer.send("Version{" + std::string(50000, 'v') + "}\nChat{}\n");
                                    peer.reset();
                                  },
                                  [&](Peer& peer) {
                                    peer.send("Chat{}\n");
                                    reply = peer.line().value_or("");
                                  }});
  EXPECT_EQ(reply, "Chat{Dravix Bot continues to silently ignore your feeble mumblings.}");
}
