// Applying actions to the state, their console report, and the score by piece counts.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "game/vorak.h"
#include "tests/game_helpers.h"

namespace {

// A position with every playable cell empty.
Vorak empty_position() {
  std::string text = "{}";
  for (int i = 1; i < 60; ++i) text += ",{}";
  Vorak v(1);
  v.create_board(text);
  return v;
}

std::string executed(Vorak& v, std::string const& move) {
  testing::internal::CaptureStdout();
  v.execute_move(move, true);
  return testing::internal::GetCapturedStdout();
}

std::string score_text(Vorak const& v, int expected_result) {
  testing::internal::CaptureStdout();
  int const result = v.is_winning(true);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, expected_result);
  return out;
}

char const kWinning[] = "Based on piece counts alone it looks like I am winning.\n";
char const kDraw[] = "Based on piece counts alone it looks like so far it's a draw.\n";
char const kLosing[] = "Based on piece counts alone it looks like I am losing.\n";

}  // namespace

TEST(execute_move, capture_example) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, WEMM, 1};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("3334", false);
  expect_entry(v.board[3][3], NONE, BLANK, 0);
  expect_entry(v.board[3][4], WHITE, VORAK, 1);
  EXPECT_EQ(tallies(v), (Tallies{4, 4, 4, 4, 4, 3}));
}

TEST(execute_move, stacking_example) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, WEMM, 1};
  v.board[3][4] = Entry{WHITE, MORIEL, 2};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("3334", false);
  expect_entry(v.board[3][3], NONE, BLANK, 0);
  expect_entry(v.board[3][4], WHITE, WEMM, 3);
  EXPECT_EQ(tallies(v), (Tallies{4, 3, 4, 4, 4, 4}));
}

TEST(execute_move, capture_along_a_line) {
  Vorak v = empty_position();
  v.board[5][5] = Entry{BLACK, MORIEL, 2};
  v.board[7][7] = Entry{WHITE, MORIEL, 2};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("5577", false);
  expect_entry(v.board[5][5], NONE, BLANK, 0);
  expect_entry(v.board[6][6], NONE, BLANK, 0);
  expect_entry(v.board[7][7], BLACK, MORIEL, 2);
  EXPECT_EQ(tallies(v), (Tallies{4, 3, 4, 4, 4, 4}));
}

TEST(execute_move, capture_takes_the_movers_height) {
  Vorak v = empty_position();
  v.board[1][1] = Entry{BLACK, WEMM, 1};
  v.board[2][1] = Entry{WHITE, VORAK, 3};
  v.board[6][6] = Entry{WHITE, MORIEL, 5};
  v.board[6][7] = Entry{BLACK, VORAK, 1};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("1121", false);
  expect_entry(v.board[2][1], BLACK, WEMM, 1);
  v.execute_move("6667", false);
  expect_entry(v.board[6][7], WHITE, MORIEL, 5);
  EXPECT_EQ(tallies(v), (Tallies{3, 4, 4, 3, 4, 4}));
}

TEST(execute_move, stacking_onto_the_same_kind) {
  Vorak v = empty_position();
  v.board[0][0] = Entry{BLACK, WEMM, 2};
  v.board[0][4] = Entry{BLACK, WEMM, 3};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("0004", false);
  expect_entry(v.board[0][0], NONE, BLANK, 0);
  expect_entry(v.board[0][4], BLACK, WEMM, 5);
  EXPECT_EQ(tallies(v), (Tallies{4, 4, 4, 4, 4, 3}));
}

TEST(execute_move, only_the_first_four_characters_count) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, WEMM, 1};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  v.execute_move("3334xyz", false);
  expect_entry(v.board[3][4], WHITE, VORAK, 1);
  EXPECT_EQ(v.black_wemms, 3);
}

TEST(move_count, first_action_counts_two) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, WEMM, 1};
  v.board[3][5] = Entry{WHITE, WEMM, 1};
  set_tallies(v, {4, 4, 4, 4, 4, 4});
  Vorak passing(v);

  v.execute_move("3334", false);
  EXPECT_EQ(v.move_count, 2);
  v.execute_move("3534", false);
  EXPECT_EQ(v.move_count, 3);
  v.execute_move("", false);
  EXPECT_EQ(v.move_count, 4);

  passing.execute_move("", false);
  EXPECT_EQ(passing.move_count, 2);
  passing.execute_move("", false);
  EXPECT_EQ(passing.move_count, 3);
}

TEST(execute_move, pass_changes_only_the_count_and_prints_nothing) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  set_tallies(v, {1, 0, 0, 0, 0, 0});
  v.move_count = 7;
  Vorak const before(v);
  EXPECT_EQ(executed(v, ""), "");
  EXPECT_EQ(v.move_count, 8);
  EXPECT_TRUE(same_board(v, before));
  EXPECT_EQ(tallies(v), tallies(before));
}

TEST(execute_move, verbose_report_of_the_opening_capture) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, WEMM, 1};
  set_tallies(v, {5, 8, 12, 5, 8, 12});
  v.own_player = WHITE;
  EXPECT_EQ(executed(v, "3334"),
            "White's final move:\n"
            "  From: 3,3: WHITE,Vorak,1\n"
            "  To:   3,4: BLACK,Wemm,1\n"
            "Score: 186 - 183 = 3\n" +
                std::string(kWinning));
}

TEST(execute_move, verbose_report_names_first_and_final) {
  Vorak v = empty_position();
  v.board[2][2] = Entry{BLACK, MORIEL, 2};
  v.board[2][3] = Entry{BLACK, VORAK, 1};
  v.board[2][5] = Entry{WHITE, WEMM, 3};
  set_tallies(v, {5, 8, 12, 5, 8, 12});
  v.own_player = WHITE;
  v.move_count = 2;
  // Black stacks: the report shows both stacks as they were before the action.
  EXPECT_EQ(executed(v, "2322"),
            "Black's first move:\n"
            "  From: 2,3: BLACK,Vorak,1\n"
            "  To:   2,2: BLACK,Moriel,2\n"
            "Score: 204 - 183 = 21\n" +
                std::string(kWinning));
  expect_entry(v.board[2][2], BLACK, VORAK, 3);
  EXPECT_EQ(executed(v, "2225"),
            "Black's final move:\n"
            "  From: 2,2: BLACK,Vorak,3\n"
            "  To:   2,5: WHITE,Wemm,3\n"
            "Score: 204 - 186 = 18\n" +
                std::string(kWinning));
  EXPECT_EQ(v.move_count, 4);
}

TEST(execute_move, non_digit_or_short_move_throws_after_counting) {
  for (std::string move : {"33a4", "x334", "333-", "33 4", "333", "33", "3"}) {
    SCOPED_TRACE("move " + move);
    Vorak v = empty_position();
    v.board[3][3] = Entry{WHITE, VORAK, 1};
    v.board[3][4] = Entry{BLACK, WEMM, 1};
    set_tallies(v, {1, 0, 0, 0, 0, 1});
    v.move_count = 4;
    Vorak const before(v);
    EXPECT_THROW(v.execute_move(move, false), boost::bad_lexical_cast);
    EXPECT_EQ(v.move_count, 5);
    EXPECT_TRUE(same_board(v, before));
    EXPECT_EQ(tallies(v), tallies(before));
  }
}

// Moves from the server are not to be trusted: anything but a move from one stack onto
// another must leave the position alone instead of writing past the board.
TEST(execute_move, moves_not_from_a_stack_onto_a_stack_are_refused) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, WEMM, 2};
  v.board[0][4] = Entry{WHITE, MORIEL, 1};
  v.board[8][8] = Entry{BLACK, VORAK, 1};
  set_tallies(v, {1, 1, 0, 1, 0, 1});
  v.move_count = 2;
  Vorak const before(v);
  for (std::string move : {"3393", "9334", "3349", "3934", "8898", "8889", "9999", "0405", "4434",
                           "3344", "0834", "3308", "5033", "2233", "3322", "3333", "8888"}) {
    SCOPED_TRACE("move " + move);
    testing::internal::CaptureStdout();
    EXPECT_THROW(v.execute_move(move, true), BadMove);
    // Nothing is reported for an action that did not happen.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(same_board(v, before));
    EXPECT_EQ(tallies(v), tallies(before));
  }
  try {
    v.execute_move("2233", false);
    ADD_FAILURE() << "no exception";
  } catch (BadMove const& e) {
    EXPECT_FALSE(e.text.empty());
  }
  // The state is still good for a real action afterwards.
  v.execute_move("3334", false);
  expect_entry(v.board[3][4], WHITE, VORAK, 1);
  EXPECT_EQ(v.black_wemms, 0);
}

TEST(score, level_counts_are_a_draw) {
  Vorak v(1);
  set_tallies(v, {5, 8, 12, 5, 8, 12});
  for (Players own : {WHITE, BLACK}) {
    v.own_player = own;
    EXPECT_EQ(score_text(v, 0), "Score: 183 - 183 = 0\n" + std::string(kDraw));
  }
}

TEST(score, one_wemm_stack_fewer) {
  Vorak v(1);
  set_tallies(v, {5, 8, 11, 5, 8, 12});
  v.own_player = WHITE;
  EXPECT_EQ(score_text(v, -1), "Score: 183 - 186 = -3\n" + std::string(kLosing));
  v.own_player = BLACK;
  EXPECT_EQ(score_text(v, 1), "Score: 186 - 183 = 3\n" + std::string(kWinning));
  // Before the server names a colour the program scores as Black.
  v.own_player = NONE;
  EXPECT_EQ(score_text(v, 1), "Score: 186 - 183 = 3\n" + std::string(kWinning));
}

TEST(score, every_weight_of_the_table) {
  int const weights[16] = {15970, 987, 610, 377, 233, 144, 89, 55, 34, 21, 13, 8, 5, 3, 2, 1};
  Vorak v(1);
  v.own_player = BLACK;
  for (unsigned short n = 0; n < 16; ++n) {
    SCOPED_TRACE(testing::Message() << "count " << n);
    set_tallies(v, {15, n, 15, 15, 15, 15});
    int const white = weights[n] + 2;
    EXPECT_EQ(score_text(v, white > 3 ? 1 : 0), "Score: " + std::to_string(white) +
                                                    " - 3 = " + std::to_string(white - 3) + "\n" +
                                                    (white > 3 ? kWinning : kDraw));
  }
}

TEST(score, capturing_the_last_vorak) {
  Vorak v = empty_position();
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.board[3][4] = Entry{BLACK, VORAK, 1};
  set_tallies(v, {5, 8, 12, 1, 8, 12});
  v.own_player = WHITE;
  EXPECT_EQ(score_text(v, 1), "Score: 1026 - 183 = 843\n" + std::string(kWinning));
  std::string const out = executed(v, "3334");
  EXPECT_NE(out.find("Score: 16009 - 183 = 15826\n" + std::string(kWinning)), std::string::npos)
      << out;
}

TEST(score, quiet_unless_verbose) {
  Vorak v(1);
  v.own_player = WHITE;
  int const expected[] = {1, 0, -1};
  Tallies const positions[] = {{5, 8, 12, 5, 8, 11}, {5, 8, 12, 5, 8, 12}, {5, 8, 11, 5, 8, 12}};
  for (int i = 0; i < 3; ++i) {
    set_tallies(v, positions[i]);
    testing::internal::CaptureStdout();
    EXPECT_EQ(v.is_winning(false), expected[i]);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  }
}

// A description may place 16 or more stacks of a kind; the table has room for 15.
TEST(score, counts_above_fifteen_weigh_as_fifteen) {
  Vorak v(1);
  v.own_player = WHITE;
  set_tallies(v, {16, 40, 65535, 15, 15, 15});
  EXPECT_EQ(score_text(v, 0), "Score: 3 - 3 = 0\n" + std::string(kDraw));

  std::string text = "{WHITE,Wemm}";
  for (int i = 1; i < 60; ++i) text += i < 20 ? ",{WHITE,Wemm}" : ",{BLACK,Moriel}";
  Vorak parsed(1);
  parsed.create_board(text);
  parsed.own_player = BLACK;
  ASSERT_EQ(parsed.white_wemms, 20);
  ASSERT_EQ(parsed.black_moriels, 40);
  // Both colours lack two kinds; 20 Wemms and 40 Moriels each weigh 1.
  EXPECT_EQ(score_text(parsed, 0), "Score: 31941 - 31941 = 0\n" + std::string(kDraw));
}

TEST(score, wide_scores_keep_their_sign) {
  Vorak v(1);
  set_tallies(v, {5, 8, 12, 0, 0, 0});
  v.own_player = WHITE;
  EXPECT_EQ(score_text(v, 1), "Score: 47910 - 183 = 47727\n" + std::string(kWinning));
  v.own_player = BLACK;
  EXPECT_EQ(score_text(v, -1), "Score: 183 - 47910 = -47727\n" + std::string(kLosing));
}
