// Legal actions on hand-made positions: the line scan, capture heights, stacking thresholds
// and the candidate lists of a turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/vorak.h"
#include "tests/support/positions.h"

using namespace support;

namespace {

// Every tally at 15, so that thresholds only bite where a test lowers a tally.
constexpr Tallies PLENTY_OF_ALL = {15, 15, 15, 15, 15, 15};

bool valid(Vorak const& v, int fr, int fc, int tr, int tc, unsigned short step, Actions action) {
  bool result = false;
  v.is_move_valid(result, fr, fc, tr, tc, step, action);
  return result;
}

}  // namespace

TEST(line_scan, six_directions_in_order) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("22Wv 52Bw 02Bm 25Bv 20Bw 33Bm 11Bv"));
  Moves const expected = {"2252", "2202", "2225", "2220", "2233", "2211"};
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), expected);
  Moves one_piece;
  v.get_moves_for_piece(one_piece, 2, 2, 1, ANY);
  EXPECT_EQ(one_piece, expected);
}

TEST(line_scan, sweep_goes_by_row_then_column_then_direction) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("00Wv 10Bm 32Ww 62Bv 75Wm 77Bw"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"0010", "3262", "3210", "7577"}));
  EXPECT_EQ(by_action(v, BLACK, 1, ANY), (Moves{"1000", "1032", "6232", "7775"}));
}

TEST(line_scan, runs_to_the_edge_yield_nothing) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  // Every line from these corners of the hexagon ends at the edge of the array or at a
  // blocked cell, some at once and some over empty cells.
  place(v, stacks("58Ww3 00Wv3 84Wv3 67Bv 77Bv"));
  for (unsigned short step : {1, 2}) EXPECT_EQ(by_action(v, WHITE, step, ANY), Moves{});

  place(v, stacks("88Bv"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"5888", "8488"}));
}

TEST(line_scan, the_centre_stops_every_line) {
  // Pairs that face each other across the centre, along each of the three axes.
  int const pairs[][4] = {{3, 3, 5, 5}, {4, 2, 4, 6}, {2, 4, 6, 4}, {4, 0, 4, 8}};
  for (auto const& p : pairs) {
    SCOPED_TRACE(testing::Message() << p[0] << p[1] << " and " << p[2] << p[3]);
    for (Players first : {WHITE, BLACK}) {
      Vorak v = empty_position(PLENTY_OF_ALL);
      place(v, {{p[0], p[1], first, VORAK, 2}, {p[2], p[3], opponent_of(first), VORAK, 2}});
      for (unsigned short step : {1, 2}) {
        EXPECT_EQ(by_action(v, WHITE, step, ANY), Moves{});
        EXPECT_EQ(by_action(v, BLACK, step, ANY), Moves{});
      }
    }
  }
  // The same distance without the centre in between is no obstacle.
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wv2 36Bv"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"3336"}));
}

TEST(line_scan, only_the_nearest_stack_is_reached) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("00Wv5 02Wm 04Bv"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"0204"}));
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"0002", "0204", "0200"}));
}

TEST(capture, height_must_not_exceed_the_movers) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wv2 34Bv2"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"3334"}));
  EXPECT_EQ(by_action(v, BLACK, 1, ANY), (Moves{"3433"}));

  place(v, stacks("34Bv3"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), Moves{});
  EXPECT_EQ(by_action(v, BLACK, 1, ANY), (Moves{"3433"}));

  place(v, stacks("34Bv"));
  EXPECT_EQ(by_action(v, WHITE, 1, ANY), (Moves{"3334"}));
  EXPECT_EQ(by_action(v, BLACK, 1, ANY), Moves{});
}

TEST(capture, categories_filter_the_target_kind) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wv2 43Bv2 23Bm 34Bw 32Ww"));
  for (unsigned short step : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    EXPECT_EQ(by_action(v, WHITE, step, CAPTURE), (Moves{"3343", "3323", "3334"}));
    EXPECT_EQ(by_action(v, WHITE, step, CAPTURE_VORAK), (Moves{"3343"}));
    EXPECT_EQ(by_action(v, WHITE, step, CAPTURE_MORIEL), (Moves{"3323"}));
    EXPECT_EQ(by_action(v, WHITE, step, CAPTURE_WEMM), (Moves{"3334"}));
    for (int action = STACK_VORAK_PLENTY; action <= STACK_STRONG_PLENTY; ++action)
      EXPECT_FALSE(valid(v, 3, 3, 4, 3, step, static_cast<Actions>(action))) << action;
  }
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"3233", "3343", "3323", "3334", "3332"}));
}

TEST(stacking, never_at_step_one) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v,
        {{3, 3, WHITE, VORAK}, {3, 4, WHITE, MORIEL}, {8, 7, BLACK, WEMM}, {8, 8, BLACK, VORAK}});
  for (int action = ANY; action <= STACK_STRONG_PLENTY; ++action) {
    SCOPED_TRACE(testing::Message() << "category " << action);
    EXPECT_EQ(by_action(v, WHITE, 1, static_cast<Actions>(action)), Moves{});
    EXPECT_EQ(by_action(v, BLACK, 1, static_cast<Actions>(action)), Moves{});
  }
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"3334", "3433"}));
  EXPECT_EQ(by_action(v, BLACK, 2, ANY), (Moves{"8788", "8887"}));
}

struct StackCase {
  Actions action;
  Pieces mover;
  Pieces target;
  unsigned short target_count;  // the tally of the target's colour and kind
  bool legal;
};

TEST(stacking, thresholds_per_category) {
  std::vector<StackCase> const cases = {
      {ANY, VORAK, MORIEL, 1, false},
      {ANY, VORAK, MORIEL, 2, true},
      {ANY, WEMM, WEMM, 2, true},
      {CAPTURE, VORAK, VORAK, 15, false},
      {CAPTURE_VORAK, VORAK, VORAK, 15, false},
      {CAPTURE_MORIEL, VORAK, MORIEL, 15, false},
      {CAPTURE_WEMM, VORAK, WEMM, 15, false},
      {STACK_VORAK_PLENTY, VORAK, WEMM, 6, false},
      {STACK_VORAK_PLENTY, VORAK, WEMM, 7, true},
      {STACK_VORAK_PLENTY, MORIEL, WEMM, 7, false},
      {STACK_MORIEL_PLENTY, MORIEL, VORAK, 6, false},
      {STACK_MORIEL_PLENTY, MORIEL, VORAK, 7, true},
      {STACK_MORIEL_PLENTY, VORAK, VORAK, 7, false},
      {STACK_WEMM_PLENTY, WEMM, MORIEL, 6, false},
      {STACK_WEMM_PLENTY, WEMM, MORIEL, 7, true},
      {STACK_WEMM_PLENTY, VORAK, MORIEL, 7, false},
      {STACK_VORAK, VORAK, WEMM, 1, false},
      {STACK_VORAK, VORAK, WEMM, 2, true},
      {STACK_VORAK, MORIEL, WEMM, 2, false},
      {STACK_MORIEL, MORIEL, MORIEL, 1, false},
      {STACK_MORIEL, MORIEL, MORIEL, 2, true},
      {STACK_MORIEL, WEMM, MORIEL, 2, false},
      {STACK_WEMM, WEMM, VORAK, 1, false},
      {STACK_WEMM, WEMM, VORAK, 2, true},
      {STACK_WEMM, VORAK, VORAK, 2, false},
      {STACK_STRONG_PLENTY, VORAK, WEMM, 6, false},
      {STACK_STRONG_PLENTY, VORAK, WEMM, 7, true},
      {STACK_STRONG_PLENTY, MORIEL, VORAK, 7, true},
      {STACK_STRONG_PLENTY, MORIEL, MORIEL, 6, false},
      {STACK_STRONG_PLENTY, WEMM, VORAK, 15, false},
  };
  for (Players colour : {WHITE, BLACK}) {
    Players const other = opponent_of(colour);
    for (StackCase const& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << "colour " << colour << ", category " << c.action << ", mover " << c.mover
                   << ", target " << c.target << ", count " << c.target_count);
      Vorak v = empty_position(PLENTY_OF_ALL);
      place(v, {{3, 3, colour, c.mover, 1}, {3, 4, colour, c.target, 4}});
      // Only the tally of the target's colour and kind may decide; the others point the
      // opposite way.
      unsigned short const others = c.legal ? 0 : 15;
      v.white_voraks = v.white_moriels = v.white_wemms = others;
      v.black_voraks = v.black_moriels = v.black_wemms = others;
      unsigned short& count = colour == WHITE ? (c.target == VORAK    ? v.white_voraks
                                                 : c.target == MORIEL ? v.white_moriels
                                                                      : v.white_wemms)
                                              : (c.target == VORAK    ? v.black_voraks
                                                 : c.target == MORIEL ? v.black_moriels
                                                                      : v.black_wemms);
      count = c.target_count;

      EXPECT_EQ(valid(v, 3, 3, 3, 4, 2, c.action), c.legal);
      EXPECT_FALSE(valid(v, 3, 3, 3, 4, 1, c.action));
      Moves moves;
      v.get_moves_for_piece(moves, 3, 3, 2, c.action);
      EXPECT_EQ(moves, c.legal ? Moves{"3334"} : Moves{});
      EXPECT_EQ(by_action(v, other, 2, c.action), Moves{});
    }
  }
}

TEST(stacking, legality_flag_is_only_ever_set) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Ww 34Wv 35Bv2"));
  bool flag = true;
  v.is_move_valid(flag, 3, 3, 3, 4, 1, ANY);
  EXPECT_TRUE(flag);
  v.is_move_valid(flag, 3, 4, 3, 5, 2, ANY);
  EXPECT_TRUE(flag);
  flag = false;
  v.is_move_valid(flag, 3, 4, 3, 5, 2, ANY);
  EXPECT_FALSE(flag);
}

TEST(stacking, the_last_stack_of_a_kind_cannot_be_covered) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wm 34Wv"));
  v.white_moriels = 1;
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"3334"}));
  v.white_moriels = 2;
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"3334", "3433"}));
  v.white_voraks = 1;
  EXPECT_EQ(by_action(v, WHITE, 2, ANY), (Moves{"3433"}));
}

TEST(turn_candidates, step_one_takes_the_highest_kind_it_can) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Ww2 32Bv2 23Bm2 34Bw2 66Wm 76Bm 67Wv"));
  EXPECT_EQ(turn_candidates(v, WHITE, 1), (Moves{"3332"}));

  // A Vorak too high to capture does not count: the Moriels are next.
  place(v, stacks("32Bv3"));
  EXPECT_EQ(turn_candidates(v, WHITE, 1), (Moves{"3323", "6676"}));
  place(v, {{2, 3, BLACK, MORIEL, 3}, {7, 6, NONE, BLANK, 0}});
  EXPECT_EQ(turn_candidates(v, WHITE, 1), (Moves{"3334"}));
  place(v, stacks("34Bw3"));
  EXPECT_EQ(turn_candidates(v, WHITE, 1), Moves{});
}

TEST(turn_candidates, step_two_prefers_strong_plenty_stacking) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wv 34Ww 35Bw 43Ww"));
  v.white_wemms = 7;
  // Vorak onto a kind with 7 stacks: the only offer besides the pass, the capture is dropped.
  EXPECT_EQ(turn_candidates(v, WHITE, 2), (Moves{"3343", "3334", ""}));

  v.white_wemms = 6;
  EXPECT_EQ(turn_candidates(v, WHITE, 2), (Moves{"3343", "3334", "3435", "3433", "4333", ""}));

  v.white_voraks = 1;
  v.white_wemms = 1;
  EXPECT_EQ(turn_candidates(v, WHITE, 2), (Moves{"3435", ""}));

  place(v, stacks("35Bw2"));
  EXPECT_EQ(turn_candidates(v, WHITE, 2), (Moves{""}));
  EXPECT_EQ(turn_candidates(v, BLACK, 2), (Moves{"3534", ""}));
  // Any step but the first gives the same list.
  EXPECT_EQ(turn_candidates(v, BLACK, 3), (Moves{"3534", ""}));
}

TEST(move_lists, results_are_appended) {
  Vorak v = empty_position(PLENTY_OF_ALL);
  place(v, stacks("33Wv 34Bv"));
  Moves moves = {"kept"};
  v.get_moves_by_action(moves, WHITE, 1, ANY);
  v.get_moves_for_piece(moves, 3, 4, 1, ANY);
  EXPECT_EQ(moves, (Moves{"kept", "3334", "3433"}));
}
