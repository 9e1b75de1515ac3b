// The game manager's own logic, in process: move notation checks, the referee, starting
// positions and board files, the built-in players, whole games, GameOver bodies, options,
// the drawing, the record and the results.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <boost/random/mersenne_twister.hpp>
#include <nlohmann/json.hpp>

#include "game/geometry.h"
#include "game/setup.h"
#include "game/vorak.h"
#include "manager/bot_settings.h"
#include "manager/draw.h"
#include "manager/match.h"
#include "manager/options.h"
#include "manager/players.h"
#include "manager/record.h"
#include "manager/referee.h"
#include "manager/seat.h"
#include "manager/series.h"
#include "manager/setup.h"
#include "tests/support/positions.h"
#include "tests/support/scratch.h"

using namespace manager;

namespace {

// A position holding the stacks written short (see support::stacks), no colour named yet.
Vorak position_of(std::string const& stacks) {
  return support::position(support::stacks(stacks), NONE, 0);
}

// White can open with 2,2,2,3 (its Vorak takes the Black Wemm beside it); its only Moriel
// sits below its Wemm at (1,4).
Vorak crafted() {
  return position_of("22Wv 24Wm 14Ww 66Ww 67Ww 23Bw 55Bw 56Bv 00Bv 34Bm 88Bm");
}

std::string board_cells(Vorak const& s) {
  std::string text;
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) text += s.get_text_entry(r, c) + "\n";
  return text;
}

// Replays a record from its start through a fresh referee: every action must be accepted.
Referee replay(GameRecord const& game) {
  std::string start = game.start;
  Vorak state(0);
  state.create_board(start);
  Referee referee(state);
  for (ActionRecord const& a : game.actions) {
    EXPECT_EQ(referee.to_move(), a.player) << "action " << a.number;
    EXPECT_EQ(referee.step(), a.step) << "action " << a.number;
    Referee::Verdict const v = referee.submit(a.move);
    EXPECT_TRUE(v.accepted) << "action " << a.number << " " << a.move << ": " << v.error;
    if (!v.accepted) break;
    EXPECT_EQ(kind_name(v.kind), a.kind);
  }
  return referee;
}

// A seat that plays a fixed list of replies and remembers what it was told.
class ScriptedSeat : public Seat {
 public:
  explicit ScriptedSeat(std::deque<Reply> replies) : replies_(std::move(replies)) {}
  void start(Players colour, std::string const&) override { colour_ = colour; }
  Reply request(Vorak const&, int) override {
    if (replies_.empty()) return Reply{};  // nothing left: as if the client had gone
    Reply r = replies_.front();
    replies_.pop_front();
    if (r.status == Reply::DISCONNECTED) gone_ = true;
    return r;
  }
  void opponent_played(std::string const& move) override { heard.push_back(move); }
  void finish(std::string const& body) override { outcome = body; }
  bool connected() const override { return !gone_; }

  std::vector<std::string> heard;
  std::string outcome = "(none)";

 private:
  std::deque<Reply> replies_;
  Players colour_ = NONE;
  bool gone_ = false;
};

Reply move(std::string text, double seconds = 0.01) {
  Reply r;
  r.status = Reply::MOVE;
  r.move = std::move(text);
  r.seconds = seconds;
  return r;
}

ParsedOptions parse(std::vector<std::string> args) {
  return parse_options(args);
}

std::string temp_path(std::string const& name) {
  return ::testing::TempDir() + "manager_test_" + std::to_string(::getpid()) + "_" + name;
}

}  // namespace

TEST(server_move_text, refuses_everything_that_is_not_four_cells) {
  for (std::string bad : std::vector<std::string>{
           "3,4,3", "3,4,3,5,1", "3,4,3,", ",3,4,3,5", "3,,4,3,5", "a,b,c,d", "3;4;3;5", " 3,4,3,5",
           "3,4,3,5 ", "33,4,3,5", "-1,0,0,0", "3435", "9,0,0,0", "0,5,0,0", "3,8,3,0", "4,8,4,0",
           "8,5,8,0", "5,8,5,0", std::string("3,4,3\0", 6) + "5"}) {
    EXPECT_FALSE(parse_server_move(bad)) << bad;
  }
}

TEST(server_move_text, every_pair_of_cells_round_trips) {
  EXPECT_EQ(parse_server_move("4,4,4,5"), std::optional<std::string>("4546"));
  EXPECT_EQ(parse_server_move("5,4,7,4"), std::optional<std::string>("5577"));
  EXPECT_EQ(parse_server_move(""), std::optional<std::string>(""));
  for (std::uint8_t a : geometry::PLAYABLE) {
    for (std::uint8_t b : geometry::PLAYABLE) {
      std::string const internal =
          std::to_string(geometry::row_of(a)) + std::to_string(geometry::column_of(a)) +
          std::to_string(geometry::row_of(b)) + std::to_string(geometry::column_of(b));
      std::optional<std::string> const text = to_server_notation(internal);
      ASSERT_TRUE(text) << internal;
      EXPECT_EQ(parse_server_move(*text), std::optional<std::string>(internal));
    }
  }
  EXPECT_FALSE(to_server_notation("W"));
  EXPECT_FALSE(to_server_notation("4444"));  // the centre
  EXPECT_FALSE(to_server_notation("0800"));  // a blocked corner
  EXPECT_FALSE(to_server_notation("34359"));
}

TEST(referee, accepts_exactly_the_legal_actions) {
  // Every source and target pair, plus the pass, at both steps of a turn, on several
  // positions of real games.
  boost::random::mt19937 engine(3);
  Referee referee(random_setup(41));
  for (int played = 0; played < 10 && !referee.over(); ++played) {
    Vorak const& s = referee.position();
    std::vector<std::string> expected;
    if (s.step() == 1) {
      s.get_moves_by_action(expected, referee.to_move(), 1, CAPTURE);
    } else {
      s.get_moves_by_action(expected, referee.to_move(), 2, ANY);
      expected.emplace_back();
    }
    std::vector<std::string> candidates{""};
    for (std::uint8_t a : geometry::PLAYABLE)
      for (std::uint8_t b : geometry::PLAYABLE)
        candidates.push_back(*to_server_notation(
            std::to_string(geometry::row_of(a)) + std::to_string(geometry::column_of(a)) +
            std::to_string(geometry::row_of(b)) + std::to_string(geometry::column_of(b))));
    int accepted = 0;
    for (std::string const& text : candidates) {
      Referee trial = referee;
      bool const legal =
          std::find(expected.begin(), expected.end(), *parse_server_move(text)) != expected.end();
      Referee::Verdict const v = trial.submit(text);
      ASSERT_EQ(v.accepted, legal) << text << " at action " << referee.action_number();
      if (!v.accepted) {
        EXPECT_EQ(trial.reason(), Reason::ILLEGAL_MOVE);
      }
      accepted += v.accepted ? 1 : 0;
    }
    EXPECT_EQ(accepted, static_cast<int>(expected.size()));
    ASSERT_TRUE(
        referee.submit(*to_server_notation(choose_random(s, referee.to_move(), engine))).accepted);
  }
}

TEST(referee, white_opens_with_one_action_then_turns_have_two) {
  Referee referee(crafted());
  EXPECT_EQ(referee.to_move(), WHITE);
  EXPECT_EQ(referee.step(), 1);
  ASSERT_TRUE(referee.submit("2,2,2,3").accepted);
  EXPECT_EQ(referee.to_move(), BLACK);
  EXPECT_EQ(referee.step(), 1);
  Referee::Verdict const capture = referee.submit("5,5,6,4");  // Vorak (5,6) takes Wemm (6,6)
  ASSERT_TRUE(capture.accepted) << capture.error;
  EXPECT_EQ(capture.kind, ActionKind::CAPTURE);
  EXPECT_EQ(referee.to_move(), BLACK);
  EXPECT_EQ(referee.step(), 2);
  Referee::Verdict const pass = referee.submit("");
  ASSERT_TRUE(pass.accepted);
  EXPECT_EQ(pass.kind, ActionKind::PASS);
  EXPECT_EQ(referee.to_move(), WHITE);
  EXPECT_EQ(referee.action_number(), 4);
  EXPECT_FALSE(referee.over());
}

TEST(referee, refuses_a_move_of_the_wrong_colour) {
  Referee referee(crafted());
  Referee::Verdict const v = referee.submit("2,3,2,2");  // Black's Wemm taking White's Vorak
  EXPECT_FALSE(v.accepted);
  EXPECT_TRUE(referee.over());
  EXPECT_EQ(referee.winner(), BLACK);
  EXPECT_EQ(referee.reason(), Reason::ILLEGAL_MOVE);
  EXPECT_EQ(game_over_bodies(referee.reason()).loser, "IllegalMove");
  EXPECT_EQ(game_over_bodies(referee.reason()).winner, "OpponentMadeIllegalMove");
}

TEST(referee, a_turn_opens_with_a_capture_only) {
  for (std::string opening : {"6,4,6,5", ""}) {  // a stacking of the Wemms, a pass
    Referee referee(crafted());
    EXPECT_FALSE(referee.submit(opening).accepted) << opening;
    EXPECT_EQ(referee.winner(), BLACK) << opening;
    EXPECT_EQ(referee.reason(), Reason::ILLEGAL_MOVE) << opening;
  }
}

TEST(referee, refuses_a_stacking_that_covers_the_last_stack_of_a_kind) {
  Referee referee(crafted());
  for (std::string a : {"2,2,2,3", "5,5,6,4", "", "6,5,6,4"})
    ASSERT_TRUE(referee.submit(a).accepted) << a;
  ASSERT_EQ(referee.step(), 2);
  Referee trial = referee;
  // The Wemm at (1,4) onto White's only Moriel at (2,4).
  EXPECT_FALSE(trial.submit("1,4,2,4").accepted);
  EXPECT_EQ(trial.reason(), Reason::ILLEGAL_MOVE);
  EXPECT_EQ(trial.winner(), BLACK);
  EXPECT_TRUE(referee.submit("").accepted);
}

TEST(referee, refuses_bad_notation_without_touching_the_position) {
  for (std::string bad : {"2,2,2", "x", "2,2,2,3,", "9,9,9,9", "2,9,2,3"}) {
    Referee referee(crafted());
    std::string const before = board_cells(referee.position());
    Referee::Verdict const v = referee.submit(bad);
    EXPECT_FALSE(v.accepted) << bad;
    EXPECT_EQ(referee.reason(), Reason::ILLEGAL_MOVE) << bad;
    EXPECT_NE(referee.detail().find("not a move"), std::string::npos) << referee.detail();
    EXPECT_EQ(board_cells(referee.position()), before) << bad;
  }
}

TEST(referee, a_side_without_a_capture_to_open_its_turn_loses) {
  // White's stacks are all taller than Black's, so after White's opening Black can take
  // nothing.
  Vorak const start = position_of("22Wv 00Wm3 04Ww3 23Bw 88Bw 87Bv 86Bm");
  Referee referee(start);
  ASSERT_FALSE(referee.over());
  ASSERT_TRUE(referee.submit("2,2,2,3").accepted);
  EXPECT_TRUE(referee.over());
  EXPECT_EQ(referee.winner(), WHITE);
  EXPECT_EQ(referee.reason(), Reason::NO_CAPTURE);
  EXPECT_EQ(game_over_bodies(referee.reason()).winner, "YouWin");
  EXPECT_EQ(game_over_bodies(referee.reason()).loser, "YouLose");

  // The same from the start: White, with only tall Black stacks around, cannot open.
  Referee blocked(position_of("22Wv 00Wm 04Ww 23Bw2 87Bv2 86Bm2"));
  EXPECT_TRUE(blocked.over());
  EXPECT_EQ(blocked.winner(), BLACK);
  EXPECT_EQ(blocked.reason(), Reason::NO_CAPTURE);
}

TEST(referee, taking_the_last_stack_of_a_kind_wins) {
  Vorak const start = position_of("22Wv 00Wm 04Ww 23Bw 87Bv 86Bm");
  Referee referee(start);
  ASSERT_TRUE(referee.submit("2,2,2,3").accepted);
  EXPECT_EQ(referee.winner(), WHITE);
  EXPECT_EQ(referee.reason(), Reason::ELIMINATION);
  EXPECT_EQ(referee.detail(), "Black has no Wemm left");
  EXPECT_FALSE(referee.submit("8,3,8,2").accepted);  // nothing is played after the end
  EXPECT_EQ(referee.winner(), WHITE);
}

TEST(board_file, random_setups_have_the_starting_stacks_and_depend_on_the_seed) {
  Vorak const a = random_setup(17);
  for (Players p : {WHITE, BLACK}) {
    EXPECT_EQ(a.counter(p, VORAK), 6);
    EXPECT_EQ(a.counter(p, MORIEL), 9);
    EXPECT_EQ(a.counter(p, WEMM), 15);
  }
  for (std::uint8_t c : geometry::PLAYABLE)
    EXPECT_EQ(a.board[geometry::row_of(c)][geometry::column_of(c)].height, 1);
  EXPECT_EQ(board_cells(random_setup(17)), board_cells(a));
  EXPECT_NE(board_cells(random_setup(18)), board_cells(a));
}

TEST(board_file, the_written_description_reads_back_to_the_same_position) {
  // A played position too, with taller stacks and empty cells.
  Referee referee(random_setup(5));
  boost::random::mt19937 engine(5);
  for (int i = 0; i < 12 && !referee.over(); ++i)
    referee.submit(
        *to_server_notation(choose_random(referee.position(), referee.to_move(), engine)));
  ASSERT_FALSE(referee.over());
  for (Vorak const& original : {random_setup(5), referee.position()}) {
    std::string text = board_description(original);
    Vorak model(0);
    model.create_board(text);
    EXPECT_EQ(board_cells(model), board_cells(original));
    std::string error;
    std::optional<Vorak> const strict =
        read_board("BoardState{" + board_description(original) + "}\r\n", error);
    ASSERT_TRUE(strict) << error;
    EXPECT_EQ(board_cells(*strict), board_cells(original));
    for (Players p : {WHITE, BLACK})
      for (Pieces k : {VORAK, MORIEL, WEMM})
        EXPECT_EQ(strict->counter(p, k), original.counter(p, k));
  }
}

TEST(board_file, refuses_malformed_or_unplayable_descriptions) {
  std::string const good = board_description(crafted());
  std::string const sixty_one = good + ",{}";
  std::string const fifty_nine = good.substr(0, good.rfind(",{"));
  Vorak sixteen = position_of("88Wv 87Wm 86Bv 85Bm 84Bw");  // and 16 White Wemms
  for (int i = 0; i < 16; ++i)
    sixteen.board[geometry::row_of(geometry::PLAYABLE[i])]
                 [geometry::column_of(geometry::PLAYABLE[i])] = Entry{WHITE, WEMM, 1};
  std::string no_black_vorak = board_description(position_of("00Wv 01Wm 02Ww 03Bm 04Bw"));
  std::string with_owner_only = good;
  with_owner_only.replace(with_owner_only.find("{WHITE,Vorak}"), 13, "{WHITE}");
  std::string lower_case = good;
  lower_case.replace(lower_case.find("WHITE,Vorak"), 11, "White,Vorak");
  std::string bad_piece = good;
  bad_piece.replace(bad_piece.find("Vorak"), 5, "Worak");
  std::string no_comma = good;
  no_comma.replace(no_comma.find("},{"), 3, "}{");

  for (std::string const& text :
       {sixty_one, fifty_nine, board_description(sixteen), no_black_vorak, with_owner_only,
        lower_case, bad_piece, no_comma, good.substr(0, good.size() - 1), std::string(),
        "{" + good + "}", "BoardState{" + good}) {
    std::string error;
    EXPECT_FALSE(read_board(text, error)) << text;
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(read_board_file(temp_path("does_not_exist"), error));
  EXPECT_NE(error.find("cannot read"), std::string::npos);
}

TEST(builtin_players, every_choice_is_legal_and_greedy_takes_a_win) {
  boost::random::mt19937 engine(9);
  Referee referee(random_setup(9));
  while (!referee.over()) {
    Players const me = referee.to_move();
    std::string const choice = referee.action_number() % 2 == 0
                                   ? choose_random(referee.position(), me, engine)
                                   : choose_greedy(referee.position(), me, engine);
    ASSERT_TRUE(referee.submit(*to_server_notation(choice)).accepted) << choice;
  }

  // White's Vorak may take Black's last Wemm or one of its two Moriels: greedy wins.
  Vorak const choice = position_of("22Wv 00Wm 04Ww 21Bm 23Bw 88Bm 87Bv");
  for (int i = 0; i < 20; ++i) EXPECT_EQ(choose_greedy(choice, WHITE, engine), "2223");
}

TEST(builtin_players, greedy_captures_the_opponents_scarcest_kind) {
  // Black has 2 Voraks, 3 Moriels and 4 Wemms; White's Vorak at (2,2) can take the Moriel at
  // (2,1) or the Vorak at (2,3): the Vorak is the scarcer kind.
  Vorak const s = position_of("22Wv 00Wm 04Ww 21Bm 23Bv 88Bv 87Bm 86Bm 78Bw 77Bw 76Bw 75Bw");
  boost::random::mt19937 engine(1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(choose_greedy(s, WHITE, engine), "2223");
}

TEST(whole_game, random_against_greedy_ends_with_a_result_and_only_legal_actions) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    BuiltinSeat white(SeatKind::RANDOM, seed, 1, true);
    BuiltinSeat black(SeatKind::GREEDY, seed + 100, 1, true);
    GameRecord record;
    play_match(random_setup(seed), white, black, MatchSettings{}, record);
    ASSERT_NE(record.winner, NONE) << seed;
    EXPECT_TRUE(record.reason == Reason::ELIMINATION || record.reason == Reason::NO_CAPTURE);
    EXPECT_FALSE(record.refused);
    Referee const end = replay(record);
    EXPECT_TRUE(end.over());
    EXPECT_EQ(end.winner(), record.winner);
    EXPECT_EQ(end.reason(), record.reason);
    if (record.reason == Reason::ELIMINATION) {
      EXPECT_EQ(end.position().is_game_over(), record.winner);
    }
  }
}

TEST(whole_game, the_bot_seat_plays_legal_actions_silently_when_quiet) {
  BuiltinSeat bot(SeatKind::BOT, 1, 1, true);
  Vorak const start = random_setup(21);
  bot.start(WHITE, board_description(start));
  std::ostringstream captured;
  std::streambuf* const saved = std::cout.rdbuf(captured.rdbuf());
  Reply const reply = bot.request(start, -1);
  std::cout.rdbuf(saved);
  EXPECT_EQ(captured.str(), "");
  ASSERT_EQ(reply.status, Reply::MOVE);
  Referee referee(start);
  EXPECT_TRUE(referee.submit(reply.move).accepted) << reply.move;
}

TEST(game_over_bodies, each_end_tells_both_sides) {
  struct Case {
    std::deque<Reply> white, black;
    MatchSettings settings;
    Reason reason;
    Players winner;
    std::string white_hears, black_hears;
  };
  Reply slow = move("2,2,2,3", 0.5);
  Reply gone;  // DISCONNECTED
  Reply garbled;
  garbled.status = Reply::MALFORMED;
  garbled.move = "Move{2,2";
  std::vector<Case> cases = {
      {{move("2,3,2,2")},
       {},
       {},
       Reason::ILLEGAL_MOVE,
       BLACK,
       "IllegalMove",
       "OpponentMadeIllegalMove"},
      {{garbled}, {}, {}, Reason::ILLEGAL_MOVE, BLACK, "IllegalMove", "OpponentMadeIllegalMove"},
      {{slow}, {}, MatchSettings{100}, Reason::TIME_LIMIT, BLACK, "YouLose", "OtherPlayerForfeits"},
      {{move("2,2,2,3")}, {gone}, {}, Reason::DISCONNECTED, WHITE, "OpponentDisconnected", ""},
      {{move("2,2,2,3")},
       {move("5,5,6,4"), move("5,5,6,5")},
       {},
       Reason::ILLEGAL_MOVE,
       WHITE,
       "OpponentMadeIllegalMove",
       "IllegalMove"},
  };
  for (Case& c : cases) {
    ScriptedSeat white(c.white), black(c.black);
    GameRecord record;
    play_match(crafted(), white, black, c.settings, record);
    EXPECT_EQ(record.reason, c.reason) << record.detail;
    EXPECT_EQ(record.winner, c.winner) << record.detail;
    EXPECT_EQ(white.outcome, c.white_hears) << record.detail;
    EXPECT_EQ(black.outcome, c.black_hears) << record.detail;
  }

  // A game won on the board: the winner hears YouWin, and each side heard the other's moves.
  ScriptedSeat white({move("2,2,2,3")}), black({});
  GameRecord record;
  play_match(position_of("22Wv 00Wm 04Ww 23Bw 87Bv 86Bm"), white, black, MatchSettings{}, record);
  EXPECT_EQ(white.outcome, "YouWin");
  EXPECT_EQ(black.outcome, "YouLose");
  EXPECT_EQ(black.heard, std::vector<std::string>{"2,2,2,3"});
  EXPECT_TRUE(white.heard.empty());
}

TEST(game_over_bodies, a_refused_action_is_recorded_apart_from_the_played_ones) {
  ScriptedSeat white({move("2,2,2,3")}), black({move("5,5,6,4"), move("0,0,0,1", 0.25)});
  GameRecord record;
  play_match(crafted(), white, black, MatchSettings{}, record);
  ASSERT_EQ(record.actions.size(), 2u);
  ASSERT_TRUE(record.refused);
  EXPECT_EQ(record.refused->move, "0,0,0,1");
  EXPECT_EQ(record.refused->number, 3);
  EXPECT_EQ(record.refused->player, BLACK);
  EXPECT_EQ(record.refused->step, 2);
  EXPECT_DOUBLE_EQ(record.refused->seconds, 0.25);
}

TEST(options, defaults_match_the_usage) {
  ParsedOptions const p = parse({});
  ASSERT_EQ(p.status, ParsedOptions::RUN);
  EXPECT_EQ(p.options.address, "127.0.0.1");
  EXPECT_EQ(p.options.port, 2525);
  EXPECT_EQ(p.options.white, SeatKind::TCP);
  EXPECT_EQ(p.options.black, SeatKind::RANDOM);
  EXPECT_EQ(p.options.games, 1);
  EXPECT_FALSE(p.options.alternate);
  EXPECT_FALSE(p.options.seed);
  // A client that never answers or never comes cannot hold the series for ever; a person or a
  // built-in player has no limit unless one is given, and 0 gives none to anyone.
  EXPECT_EQ(p.options.action_limit_for(SeatKind::TCP), 600000);
  EXPECT_EQ(p.options.action_limit_for(SeatKind::HUMAN), -1);
  EXPECT_EQ(p.options.connect_limit_ms, 600000);
  ParsedOptions const none = parse({"--action-limit", "0", "--connect-limit", "0.0"});
  EXPECT_EQ(none.options.action_limit_for(SeatKind::TCP), -1);
  EXPECT_EQ(none.options.connect_limit_ms, -1);
  EXPECT_FALSE(p.options.quiet);
  EXPECT_EQ(parse({"--help"}).status, ParsedOptions::HELP);
  EXPECT_EQ(parse({"-h"}).status, ParsedOptions::HELP);
}

TEST(options, every_option_is_read) {
  ParsedOptions const p = parse(
      {"--address",       "0.0.0.0", "--port=0",    "--white", "greedy",     "--black", "bot",
       "--games",         "12",      "--alternate", "--seed",  "4294967295", "--board", "b.txt",
       "--action-limit",  "2.5",     "--bot-time",  "2",       "--record",   "r.json",  "--quiet",
       "--connect-limit", "30"});
  ASSERT_EQ(p.status, ParsedOptions::RUN) << p.message;
  EXPECT_EQ(p.options.address, "0.0.0.0");
  EXPECT_EQ(p.options.port, 0);
  EXPECT_EQ(p.options.white, SeatKind::GREEDY);
  EXPECT_EQ(p.options.black, SeatKind::BOT);
  EXPECT_EQ(p.options.games, 12);
  EXPECT_TRUE(p.options.alternate);
  EXPECT_EQ(p.options.seed, std::optional<std::uint32_t>(4294967295u));
  EXPECT_EQ(p.options.board_file, "b.txt");
  EXPECT_EQ(p.options.action_limit_for(SeatKind::RANDOM), 2500);
  EXPECT_EQ(p.options.connect_limit_ms, 30000);
  EXPECT_EQ(p.options.bot_seconds, 2);
  EXPECT_EQ(p.options.record_file, "r.json");
  EXPECT_TRUE(p.options.quiet);
  EXPECT_FALSE(p.options.web_port);
  // A record opened on the page plays nothing, on --web's port or any free one.
  for (auto const& [args, port] :
       {std::pair(std::vector<std::string>{"--open", "r.json"}, 0),
        std::pair(std::vector<std::string>{"--web", "8080", "--open", "r.json"}, 8080)}) {
    ParsedOptions const opened = parse(args);
    ASSERT_EQ(opened.status, ParsedOptions::RUN) << opened.message;
    EXPECT_EQ(opened.options.open_file, "r.json");
    EXPECT_EQ(opened.options.games, 0);
    EXPECT_EQ(opened.options.web_port, std::optional<int>(port));
  }
}

TEST(options, bad_options_and_values_are_refused_with_the_option_named) {
  std::vector<std::pair<std::vector<std::string>, std::string>> const cases = {
      {{"--port", "70000"}, "port"},
      {{"--port", "-1"}, "port"},
      {{"--port", "25x"}, "port"},
      {{"--port"}, "port"},
      {{"--port", "1", "--port", "2"}, "port"},
      {{"--games", "0"}, "games"},
      {{"--white", "human"}, "white"},
      {{"--black", "Random"}, "black"},
      {{"--seed", "4294967296"}, "seed"},
      {{"--action-limit", "0.0001"}, "action-limit"},
      {{"--connect-limit", "-5"}, "connect-limit"},
      {{"--action-limit", "1e3"}, "action-limit"},
      {{"--action-limit", ".5"}, "action-limit"},
      {{"--bot-time", "0"}, "bot-time"},
      {{"--open", "r.json", "--games", "2"}, "open"},
      {{"--open", ""}, "open"},
      {{"--white", "bot", "--bot-time", "3", "--action-limit", "3"}, "bot-time"},
      {{"--whi", "random"}, "whi"},
      {{"--frobnicate"}, "frobnicate"},
      {{"extra"}, "positional"},
  };
  for (auto const& [args, named] : cases) {
    ParsedOptions const p = parse(args);
    EXPECT_EQ(p.status, ParsedOptions::ERROR) << args[0];
    EXPECT_NE(p.message.find(named), std::string::npos) << p.message;
  }
  std::string const help = help_text();
  for (char const* option :
       {"--address", "--port", "--white", "--black", "--games", "--alternate", "--seed", "--board",
        "--action-limit", "--connect-limit", "--seconds", "--record", "--quiet", "--help"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(board_drawing, rows_are_offset_into_a_hexagon_in_canonical_order) {
  Vorak const s = random_setup(8);
  std::istringstream drawing(draw_board(s));
  std::vector<std::string> lines;
  for (std::string line; std::getline(drawing, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 9u);
  std::vector<std::size_t> first_cell;
  for (int r = 0; r < 9; ++r) {
    std::istringstream words(lines[static_cast<std::size_t>(r)]);
    std::string word;
    words >> word >> word;
    EXPECT_EQ(word, std::to_string(r));
    std::vector<std::string> expected;
    for (int c = 0; c < 9; ++c)
      if (geometry::is_playable(r, c) || (r == 4 && c == 4))
        expected.push_back(cell_text(s.board[r][c]));
    std::vector<std::string> cells;
    while (words >> word) cells.push_back(word);
    EXPECT_EQ(cells, expected) << "row " << r;
    first_cell.push_back(lines[static_cast<std::size_t>(r)].find(expected.front(), 6));
  }
  // Each row away from the middle starts half a cell further in, on both sides of it.
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(first_cell[static_cast<std::size_t>(r)] - first_cell[static_cast<std::size_t>(r) + 1],
              4u);
    EXPECT_EQ(
        first_cell[static_cast<std::size_t>(8 - r)] - first_cell[static_cast<std::size_t>(7 - r)],
        4u);
  }
  EXPECT_NE(draw_board(s).find("White         6        9     15"), std::string::npos);
}

TEST(board_drawing, the_last_action_is_marked) {
  Referee referee(crafted());
  ASSERT_TRUE(referee.submit("2,2,2,3").accepted);
  std::string const drawing = draw_board(referee.position(), "2,2,2,3");
  std::string const row2 =
      drawing.substr(drawing.find("row 2"), drawing.find("row 3") - drawing.find("row 2"));
  EXPECT_NE(row2.find("(.)"), std::string::npos) << row2;
  EXPECT_NE(row2.find("[W-V1]"), std::string::npos) << row2;
  EXPECT_EQ(draw_board(referee.position(), "").find('['), std::string::npos);
  EXPECT_EQ(cell_text(Entry{BLACK, WEMM, 12}), "B-W12");
}

TEST(series_record, the_results_count_wins_per_side_and_seat) {
  auto game = [](std::string w, std::string b, Players winner, std::vector<double> thinks) {
    GameRecord g;
    g.white = std::move(w);
    g.black = std::move(b);
    g.winner = winner;
    Players p = WHITE;
    for (double t : thinks) {
      ActionRecord a;
      a.player = p;
      a.seconds = t;
      g.actions.push_back(a);
      p = opponent_of(p);
    }
    return g;
  };
  SeriesStats const s =
      summarize({game("tcp", "random", WHITE, {1.0, 0.1, 3.0}),
                 game("random", "tcp", WHITE, {0.2, 2.0}), game("tcp", "random", NONE, {})});
  EXPECT_EQ(s.games, 3);
  EXPECT_EQ(s.white_wins, 2);
  EXPECT_EQ(s.black_wins, 0);
  EXPECT_EQ(s.no_result, 1);
  EXPECT_DOUBLE_EQ(s.average_actions, 5.0 / 3);
  ASSERT_EQ(s.seats.size(), 2u);
  SeatStats const& tcp = s.seats[0];
  EXPECT_EQ(tcp.label, "tcp");
  EXPECT_EQ(tcp.wins, 1);
  EXPECT_EQ(tcp.wins_as_white, 1);
  EXPECT_EQ(tcp.games_as_white, 2);
  EXPECT_EQ(tcp.games_as_black, 1);
  EXPECT_EQ(tcp.actions, 3);
  EXPECT_DOUBLE_EQ(tcp.think_total, 6.0);
  EXPECT_DOUBLE_EQ(tcp.think_longest, 3.0);
  EXPECT_EQ(s.seats[1].wins_as_white, 1);
  std::string const table = results_table(s);
  EXPECT_NE(table.find("White won 2, Black won 0, no result 1"), std::string::npos) << table;
  EXPECT_NE(table.find("Average actions per game: 1.7"), std::string::npos) << table;
}

TEST(series_record, a_series_alternates_colours_and_writes_every_game) {
  Options o;
  o.white = SeatKind::RANDOM;
  o.black = SeatKind::GREEDY;
  o.games = 4;
  o.alternate = true;
  o.seed = 11;
  o.quiet = true;
  o.record_file = temp_path("series.json");
  std::ostringstream out, err;
  ASSERT_EQ(run_series(o, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("Seed: 11"), std::string::npos);
  EXPECT_NE(out.str().find("Results of 4 games"), std::string::npos);
  std::ifstream in(o.record_file);
  nlohmann::json const j = nlohmann::json::parse(in);
  ASSERT_EQ(j["games"].size(), 4u);
  for (int g = 0; g < 4; ++g) {
    EXPECT_EQ(j["games"][g]["white"], g % 2 == 0 ? "random" : "greedy");
    EXPECT_EQ(j["games"][g]["setup_seed"], 11 + g);
    EXPECT_FALSE(j["games"][g]["winner"].is_null());
  }
  std::remove(o.record_file.c_str());
}

// The record used to be written through the fixed name RECORD.tmp, following a link planted
// there, and two managers given one --record wrote through the same temporary file.
TEST(series_record, the_record_is_written_through_a_fresh_file_that_no_link_redirects) {
  namespace fs = std::filesystem;
  support::ScratchFolder const scratch("record_folder");
  fs::path const& folder = scratch.path();
  std::string const record = (folder / "games.json").string();
  for (char const* name : {"a.txt", "b.txt"}) std::ofstream((folder / name).string()) << "keep";
  std::error_code no_links;  // where links cannot be made, the rest holds all the same
  fs::create_symlink(folder / "a.txt", record + ".tmp", no_links);
  if (!no_links) fs::create_symlink(folder / "b.txt", record, no_links);

  // Two writers at once, as two managers would be.
  bool written[2] = {true, true};
  std::string errors[2];
  auto writer = [&](int w) {
    for (int i = 0; i < 40; ++i)
      written[w] = write_record(record, Json{{"writer", w}, {"i", i}}, errors[w]) && written[w];
  };
  std::thread first(writer, 0), second(writer, 1);
  first.join();
  second.join();
  EXPECT_TRUE(written[0] && written[1]) << errors[0] << errors[1];
  nlohmann::json const j = nlohmann::json::parse(std::ifstream(record), nullptr, false);
  EXPECT_EQ(j["i"], 39) << j;
  EXPECT_FALSE(fs::is_symlink(record));
  std::vector<std::string> left;
  for (fs::directory_entry const& e : fs::directory_iterator(folder))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = {"a.txt", "b.txt", "games.json"};
  if (!no_links) expected.push_back("games.json.tmp");
  EXPECT_EQ(left, expected);
  for (char const* name : {"a.txt", "b.txt"}) {
    std::ifstream kept((folder / name).string());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep") << name;
  }

  std::string error;
  EXPECT_FALSE(write_record((folder / "missing" / "games.json").string(), Json{}, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  // A replace that fails (a folder is in the way) leaves no temporary file behind.
  fs::create_directories(folder / "taken" / "inside");
  auto const entries = [&] { return std::distance(fs::directory_iterator(folder), {}); };
  auto const before = entries();
  EXPECT_FALSE(write_record((folder / "taken").string(), Json{}, error));
  EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
  EXPECT_EQ(entries(), before);
}

// The record used to be one JSON tree of every game, built again after each (95 KB a game);
// now each game is written once, and every record replaced is whole: the games so far and their
// running figures, the same as the figures of those games counted at once.
TEST(series_record, every_record_written_is_whole_and_counts_the_games_so_far) {
  namespace fs = std::filesystem;
  support::ScratchFolder const scratch("record_growth");
  fs::path const& folder = scratch.path();
  std::string const path = (folder / "games.json").string();
  {  // the spool goes with the file (on Windows it is there while the file is open)
    RecordFile file(path);
    std::string error;
    ASSERT_TRUE(file.open(error)) << error;
    std::vector<GameRecord> games;
    SeriesStats stats;
    for (int g = 1; g <= 3; ++g) {
      ASSERT_TRUE(file.update(
          7,
          [&] {
            return Json{{"summary", summary_json(stats)}};
          },
          true, error))
          << error;
      nlohmann::json const j = nlohmann::json::parse(std::ifstream(path), nullptr, false);
      ASSERT_FALSE(j.is_discarded()) << "game " << g;
      EXPECT_EQ(j["seed"], 7);
      ASSERT_EQ(j["games"].size(), games.size());
      for (std::size_t i = 0; i < games.size(); ++i)
        EXPECT_EQ(j["games"][i], nlohmann::json::parse(game_json(games[i]).dump()));
      EXPECT_EQ(j["summary"], nlohmann::json::parse(summary_json(summarize(games)).dump()));

      GameRecord game;
      game.game = g;
      game.white = g % 2 ? "random" : "greedy";
      game.black = g % 2 ? "greedy" : "random";
      game.winner = g == 2 ? NONE : WHITE;
      game.actions.resize(g);
      game.detail = "client text \x1b";
      ASSERT_TRUE(file.add(game, error)) << error;
      games.push_back(game);
      add_to_stats(stats, game);
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "only the record is there: no spool or temporary file is left";
}

// A record that cannot be written was found only after every game had been played; a name
// that fits was refused for its temporary file's longer one; a device would have been replaced.
TEST(series_record, a_record_that_cannot_be_written_is_refused_before_the_first_game) {
  namespace fs = std::filesystem;
  support::ScratchFolder const scratch("record_checks");
  fs::path const& folder = scratch.path();
  struct Case {
    std::string path, why;
  };
  std::vector<Case> cases = {{(folder / "missing" / "games.json").string(), "missing"},
                             {folder.string(), "not a regular file"}};
#ifndef _WIN32
  // A pipe, not a device of the system: were it replaced (a planted fault), nothing is lost.
  std::string const pipe = (folder / "pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  cases.push_back({pipe, "not a regular file"});
#endif
  for (Case const& c : cases) {
    Options o;
    o.white = SeatKind::RANDOM;
    o.games = 2;
    o.record_file = c.path;
    std::ostringstream out, err;
    EXPECT_EQ(run_series(o, out, err), 2) << c.path;
    EXPECT_NE(err.str().find(c.why), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "") << "no game is played";
  }
#ifndef _WIN32
  fs::remove(pipe);
#endif
  Options o;
  o.white = SeatKind::RANDOM;
  o.games = 2;
  o.quiet = true;
  o.record_file = (folder / std::string(250, 'r')).string();
  std::ostringstream out, err;
  ASSERT_EQ(run_series(o, out, err), 0) << err.str();
  nlohmann::json const j = nlohmann::json::parse(std::ifstream(o.record_file), nullptr, false);
  EXPECT_EQ(j["games"].size(), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(series_record, a_board_file_that_cannot_be_read_is_a_bad_value) {
  Options o;
  o.white = SeatKind::RANDOM;
  o.board_file = temp_path("missing_board.txt");
  std::ostringstream out, err;
  EXPECT_EQ(run_series(o, out, err), 2);
  EXPECT_NE(err.str().find("cannot read"), std::string::npos);
}

// A bot seat's judgement of each of its actions goes into the record beside the action; the
// other seat's actions have none, as records written before judgements were kept.
TEST(series_record, a_bots_actions_carry_its_judgement) {
  BuiltinSeat white(SeatKind::RANDOM, 3, 1, true);
  BuiltinSeat black(SeatKind::BOT, 4, BotSettings{0.05, 1, "mcts"}, true);
  GameRecord record;
  play_match(random_setup(6), white, black, MatchSettings{}, record);
  Json const game = game_json(record);
  int judged = 0;
  for (Json const& a : game["actions"]) {
    SCOPED_TRACE(a.dump());
    if (a["player"] == "white") {
      EXPECT_FALSE(a.contains("eval"));
      continue;
    }
    ++judged;
    Json const& eval = a["eval"];
    EXPECT_EQ(eval["candidates"][0]["move"], a["move"]);
    EXPECT_EQ(eval["line"][0], a["move"]);
    EXPECT_NEAR(eval["white"].get<double>(), 1 - eval["value"].get<double>(), 1e-4);
  }
  EXPECT_GT(judged, 0);
}
