// Applying actions to the state, their console report, and the score by piece counts.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "game/vorak.h"
#include "tests/support/expect.h"
#include "tests/support/positions.h"
#include "tests/support/state_checks.h"

using namespace support;

namespace {

// How a state differs from what it was, its action count aside.
std::string difference_but_count(Vorak v, Vorak const& before) {
  v.move_count = before.move_count;
  return state_difference(v, before);
}

std::string executed(Vorak& v, std::string const& move) {
  return output_of([&] { v.execute_move(move, true); });
}

std::string score_text(Vorak const& v, int expected_result) {
  int result = 0;
  std::string const out = output_of([&] { result = v.is_winning(true); });
  EXPECT_EQ(result, expected_result);
  return out;
}

char const kWinning[] = "Based on piece counts alone it looks like I am winning.\n";
char const kDraw[] = "Based on piece counts alone it looks like so far it's a draw.\n";
char const kLosing[] = "Based on piece counts alone it looks like I am losing.\n";

}  // namespace

// Each case puts stacks on an empty board with every tally at 4, executes its moves and checks
// the cells it names and the six tallies.
TEST(execute_move, captures_and_stackings) {
  struct Case {
    char const* what;
    std::vector<Stack> before;
    std::vector<std::string> moves;
    std::vector<Stack> after;
    Tallies tallies;
  };
  Case const cases[] = {
      {"capture",
       {{3, 3, WHITE, VORAK}, {3, 4, BLACK, WEMM}},
       {"3334"},
       {{3, 3, NONE, BLANK, 0}, {3, 4, WHITE, VORAK, 1}},
       {4, 4, 4, 4, 4, 3}},
      {"stacking takes the mover's kind and adds the heights",
       {{3, 3, WHITE, WEMM}, {3, 4, WHITE, MORIEL, 2}},
       {"3334"},
       {{3, 3, NONE, BLANK, 0}, {3, 4, WHITE, WEMM, 3}},
       {4, 3, 4, 4, 4, 4}},
      {"capture along a line",
       {{5, 5, BLACK, MORIEL, 2}, {7, 7, WHITE, MORIEL, 2}},
       {"5577"},
       {{5, 5, NONE, BLANK, 0}, {6, 6, NONE, BLANK, 0}, {7, 7, BLACK, MORIEL, 2}},
       {4, 3, 4, 4, 4, 4}},
      {"a capture takes the mover's height",
       {{1, 1, BLACK, WEMM},
        {2, 1, WHITE, VORAK, 3},
        {6, 6, WHITE, MORIEL, 5},
        {6, 7, BLACK, VORAK}},
       {"1121", "6667"},
       {{2, 1, BLACK, WEMM, 1}, {6, 7, WHITE, MORIEL, 5}},
       {3, 4, 4, 3, 4, 4}},
      {"stacking onto the same kind",
       {{0, 0, BLACK, WEMM, 2}, {0, 4, BLACK, WEMM, 3}},
       {"0004"},
       {{0, 0, NONE, BLANK, 0}, {0, 4, BLACK, WEMM, 5}},
       {4, 4, 4, 4, 4, 3}},
      {"only the first four characters count",
       {{3, 3, WHITE, VORAK}, {3, 4, BLACK, WEMM}},
       {"3334xyz"},
       {{3, 4, WHITE, VORAK, 1}},
       {4, 4, 4, 4, 4, 3}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    Vorak v = empty_position({4, 4, 4, 4, 4, 4});
    for (Stack const& s : c.before) v.board[s.row][s.column] = Entry{s.owner, s.piece, s.height};
    for (std::string const& move : c.moves) v.execute_move(move, false);
    for (Stack const& s : c.after)
      expect_entry(v.board[s.row][s.column], s.owner, s.piece, s.height);
    EXPECT_EQ(tallies(v), c.tallies);
  }
}

TEST(move_count, first_action_counts_two) {
  Vorak v = empty_position({4, 4, 4, 4, 4, 4});
  place(v, stacks("33Wv 34Bw 35Ww"));
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
  Vorak v = empty_position({1, 0, 0, 0, 0, 0});
  v.board[3][3] = Entry{WHITE, VORAK, 1};
  v.move_count = 7;
  Vorak const before(v);
  EXPECT_EQ(executed(v, ""), "");
  EXPECT_EQ(v.move_count, 8);
  EXPECT_EQ(difference_but_count(v, before), "");
}

TEST(execute_move, verbose_report_of_the_opening_capture) {
  Vorak v = empty_position({5, 8, 12, 5, 8, 12});
  place(v, stacks("33Wv 34Bw"));
  v.own_player = WHITE;
  EXPECT_EQ(executed(v, "3334"),
            "White's final move:\n"
            "  From: 3,3: WHITE,Vorak,1\n"
            "  To:   3,4: BLACK,Wemm,1\n"
            "Score: 186 - 183 = 3\n" +
                std::string(kWinning));
}

TEST(execute_move, verbose_report_names_first_and_final) {
  Vorak v = empty_position({5, 8, 12, 5, 8, 12});
  place(v, stacks("22Bm2 23Bv 25Ww3"));
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
    place(v, stacks("33Wv 34Bw"));
    set_tallies(v, {1, 0, 0, 0, 0, 1});
    v.move_count = 4;
    Vorak const before(v);
    EXPECT_THROW(v.execute_move(move, false), boost::bad_lexical_cast);
    EXPECT_EQ(v.move_count, 5);
    EXPECT_EQ(difference_but_count(v, before), "");
  }
}

// Moves from the server are not to be trusted: anything but a move from one stack onto
// another must leave the position alone instead of writing past the board.
TEST(execute_move, moves_not_from_a_stack_onto_a_stack_are_refused) {
  Vorak v = empty_position({1, 1, 0, 1, 0, 1});
  place(v, stacks("33Wv 34Bw2 04Wm 88Bv"));
  v.move_count = 2;
  Vorak const before(v);
  for (std::string move : {"3393", "9334", "3349", "3934", "8898", "8889", "9999", "0405", "4434",
                           "3344", "0834", "3308", "5033", "2233", "3322", "3333", "8888"}) {
    SCOPED_TRACE("move " + move);
    // Nothing is reported for an action that did not happen.
    EXPECT_EQ(output_of([&] { EXPECT_THROW(v.execute_move(move, true), BadMove); }), "");
    EXPECT_EQ(difference_but_count(v, before), "");
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
  Vorak v = empty_position({5, 8, 12, 1, 8, 12});
  place(v, stacks("33Wv 34Bv"));
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
    EXPECT_EQ(output_of([&] { EXPECT_EQ(v.is_winning(false), expected[i]); }), "");
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
