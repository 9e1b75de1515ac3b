// The move choice on hand-made positions: the elimination look-ahead's cases, the choice of a
// sequence from the playout tables, the random player, whole searches under a clock that counts
// its checks, so that every search here is repeatable, and searches on several threads and by
// several searchers at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>

#include "ai/playout.h"
#include "ai/reference_playout.h"
#include "ai/search.h"
#include "ai/search_watch.h"
#include "ai/searcher.h"
#include "ai/thought.h"
#include "ai/tree/engine.h"
#include "ai/tree/tree_thought.h"
#include "game/geometry.h"
#include "game/setup.h"
#include "game/vorak.h"
#include "tests/support/expect.h"
#include "tests/support/positions.h"
#include "tests/support/state_checks.h"

using namespace support;

namespace {

std::vector<Stack> swap_colours(std::vector<Stack> stacks) {
  for (Stack& s : stacks) s.owner = opponent_of(s.owner);
  return stacks;
}

// "winner first second", or "none" when the look-ahead decided nothing.
std::string describe(std::optional<Decision> const& d) {
  if (!d) return "none";
  return std::to_string(d->winner) + " " + d->first + " " + d->second;
}

// Runs the look-ahead in both forms, which must agree and leave the state as it was.
std::optional<Decision> look_ahead(Vorak const& state, Players mover) {
  Vorak const before = state;
  Decision reference, fast;
  bool const ref_decided = elimination_lookahead(state, mover, reference);
  EXPECT_EQ(state_difference(state, before), "");
  bool const fast_decided = FastPlayout(state).lookahead(mover, fast);
  EXPECT_EQ(position_difference(state, before), "");
  std::optional<Decision> const r = ref_decided ? std::optional<Decision>(reference) : std::nullopt;
  std::optional<Decision> const f = fast_decided ? std::optional<Decision>(fast) : std::nullopt;
  EXPECT_EQ(describe(f), describe(r)) << "the compact form's look-ahead disagrees";
  return r;
}

std::string decided(Players winner, std::string const& first, std::string const& second) {
  return describe(Decision{winner, first, second});
}

// Three opposing stacks of each kind that no height-1 stack can capture, kept out of the way of
// the lines the look-ahead cases use.
std::vector<Stack> tall_reserve(Players owner, int voraks, int moriels, int wemms) {
  static int const cells[][2] = {{6, 6}, {6, 7}, {6, 8}, {7, 6}, {7, 7},
                                 {7, 8}, {8, 6}, {8, 7}, {8, 8}};
  std::vector<Stack> stacks;
  int i = 0;
  for (int n = 0; n < voraks; ++n, ++i)
    stacks.push_back({cells[i][0], cells[i][1], owner, VORAK, 5});
  for (int n = 0; n < moriels; ++n, ++i)
    stacks.push_back({cells[i][0], cells[i][1], owner, MORIEL, 5});
  for (int n = 0; n < wemms; ++n, ++i) stacks.push_back({cells[i][0], cells[i][1], owner, WEMM, 5});
  return stacks;
}

std::vector<Stack> operator+(std::vector<Stack> a, std::vector<Stack> const& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// White to open a turn; Black has one Vorak left, within reach of two white stacks, and a Wemm
// that white can take earlier in list order.
std::vector<Stack> last_vorak_layout() {
  return stacks("00Wv 10Bw 04Wm 24Bv 22Ww") + tall_reserve(BLACK, 0, 3, 3);
}

// Black has two Voraks. The white Vorak at 2,1 can take either; after it takes the one at 4,1
// nothing reaches the other, but after it takes the one at 2,2 the Moriel at 0,1 sees the
// one at 4,1 down the opened column.
std::vector<Stack> two_voraks_layout() {
  return stacks("01Wm 21Wv 41Bv 22Bv 58Ww") + tall_reserve(BLACK, 0, 3, 3);
}

// Black keeps three tall Voraks, and has `moriel_height` for its Moriel at 1,0 and two
// height-1 Wemms, each within reach of a different white stack.
std::vector<Stack> two_wemms_layout(unsigned short moriel_height) {
  return std::vector<Stack>{{0, 0, WHITE, VORAK},  {1, 0, BLACK, MORIEL, moriel_height},
                            {0, 4, WHITE, MORIEL}, {2, 4, BLACK, WEMM},
                            {5, 1, WHITE, WEMM},   {5, 3, BLACK, WEMM}} +
         tall_reserve(BLACK, 3, 2, 0);
}

// The Wemm of White at 0,0 can take a height-1 Wemm at 0,1 and nothing else, ever; White then
// has no second action but the pass. Everything else of Black's is too tall for White and
// takes any white stack, so every playout is lost, always in the same four clock checks.
std::vector<Stack> doomed_layout() {
  return stacks("00Ww 01Bw 88Wv 84Wm 78Bv5 40Bv5 41Bv5 42Bm5 43Bm5 51Bm5 52Bw5 53Bw5 62Bw5");
}

// Black to play, every black stack of height 2, every white stack of height 1: White can never
// capture, so every playout that finishes is a win for Black.
std::vector<Stack> sure_win_layout() {
  return stacks("00Ww 01Ww 02Ww 03Wm 04Wm 10Wm 11Wv 12Wv 13Wv 33Bv2 55Bm2 66Bw2");
}

// A position some random legal turns into a random opening, at the start of a turn, with the
// side to move as the program's colour.
Vorak played_position(std::uint32_t seed, int actions) {
  boost::random::mt19937 rng(seed + 1000u);
  Vorak state = random_game_position(seed, rng, actions);
  if (state.move_count % 2 == 1) {  // a turn left half done ends with a pass
    state.execute_move("", false);
    state.own_player = opponent_of(state.own_player);
  }
  return state;
}

// Legal two-action sequences of the program from `state` (its first action due): for each of
// its first captures, that capture followed by the first action legal after it.
std::vector<std::string> legal_sequences(Vorak const& state) {
  std::vector<std::string> sequences;
  for (std::string const& first : by_action(state, state.own_player, 1, CAPTURE)) {
    Vorak after = state;
    after.execute_move(first, false);
    Moves const second = by_action(after, state.own_player, 2, ANY);
    if (!second.empty()) sequences.push_back(first + second.front());
  }
  return sequences;
}

void set_tables(std::map<std::string, std::uint32_t> const& best,
                std::map<std::string, std::uint32_t> const& worst) {
  bestMoves.clear();
  worstMoves.clear();
  for (auto const& [key, count] : best) bestMoves[key] = count;
  for (auto const& [key, count] : worst) worstMoves[key] = count;
}

std::map<std::string, std::uint32_t> copy_of(SequenceTable const& table) {
  return {table.begin(), table.end()};
}

// The whole sequence named by a search report, or "" when there is no such report.
std::string reported_sequence(std::string const& output) {
  std::string const marker = "this sequence (";
  std::size_t const begin = output.find(marker);
  if (begin == std::string::npos) return "";
  std::size_t const end = output.find(')', begin);
  return output.substr(begin + marker.size(), end - begin - marker.size());
}

// The flat search's report of its first action, from its won or its lost playouts.
std::string sequence_report(bool won, unsigned playouts, unsigned games, std::size_t sequences,
                            std::string const& chosen, unsigned count) {
  return "Of the " + std::to_string(playouts) + " games completed, " + std::to_string(games) +
         (won ? " were winning games" : " were losing games") + "\nplayed using " +
         std::to_string(sequences) + " different starting sequences.\nOf those this sequence (" +
         chosen + ") resulted in " + std::to_string(count) +
         (won ? " wins,\nwhich is the best result.\n"
              : " loses,\nwhich is the best (lowest) result.\n");
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST(lookahead, last_vorak_taken_at_depth_one) {
  Vorak const state = position(last_vorak_layout(), WHITE, 10);
  ASSERT_EQ(state.black_voraks, 1);
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"0010", "0424", "2224"}));
  // Only Vorak captures are tried: the first of them ends the game on its own.
  EXPECT_EQ(describe(look_ahead(state, WHITE)), decided(WHITE, "0424", ""));
}

TEST(lookahead, depth_one_for_black_names_black) {
  Vorak const state = position(swap_colours(last_vorak_layout()), BLACK, 10);
  ASSERT_EQ(state.white_voraks, 1);
  EXPECT_EQ(describe(look_ahead(state, BLACK)), decided(BLACK, "0424", ""));
}

TEST(lookahead, two_voraks_need_two_captures) {
  Vorak const state = position(two_voraks_layout(), WHITE, 10);
  ASSERT_EQ(state.black_voraks, 2);
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE_VORAK), (Moves{"2141", "2122"}));
  // 2141 leaves the last Vorak out of reach, so the next first capture is tried.
  EXPECT_EQ(describe(look_ahead(state, WHITE)), decided(WHITE, "2122", "0141"));
  Vorak const mirrored = position(swap_colours(two_voraks_layout()), BLACK, 10);
  EXPECT_EQ(describe(look_ahead(mirrored, BLACK)), decided(BLACK, "2122", "0141"));
}

TEST(lookahead, wemms_low_makes_every_capture_a_first_candidate) {
  // One black Wemm left; White's first capture in list order takes a Moriel. That capture is a
  // candidate too, and the second capture of the last Wemm after it decides.
  std::vector<Stack> layout = two_wemms_layout(1);
  layout.erase(std::remove_if(layout.begin(), layout.end(),
                              [](Stack const& s) { return s.row == 5 && s.column == 3; }),
               layout.end());
  Vorak const state = position(layout, WHITE, 10);
  ASSERT_EQ(state.black_wemms, 1);
  ASSERT_GT(state.black_voraks, 2);
  ASSERT_GT(state.black_moriels, 2);
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"0010", "0424"}));
  EXPECT_EQ(describe(look_ahead(state, WHITE)), decided(WHITE, "0010", "0424"));
}

TEST(lookahead, stops_when_first_capture_leaves_no_kind_at_one) {
  Vorak const state = position(two_wemms_layout(1), WHITE, 10);
  ASSERT_EQ(state.black_wemms, 2);
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"0010", "0424", "5153"}));
  // Taking the Moriel first leaves every kind at 2 or more: the look-ahead gives up, although
  // 0424 then 5153 would have won.
  EXPECT_EQ(describe(look_ahead(state, WHITE)), "none");
  // With the Moriel out of reach the same pair is found.
  Vorak const reachable = position(two_wemms_layout(5), WHITE, 10);
  ASSERT_EQ(by_action(reachable, WHITE, 1, CAPTURE), (Moves{"0424", "5153"}));
  EXPECT_EQ(describe(look_ahead(reachable, WHITE)), decided(WHITE, "0424", "5153"));
}

TEST(lookahead, other_captures_tried_when_the_low_kind_is_out_of_reach) {
  // Black's last Moriel hides behind a Wemm; taking the Wemm opens the line to it.
  Vorak const state =
      position(stacks("21Wv 22Bw 23Bm 84Wm 85Ww") + tall_reserve(BLACK, 3, 0, 2), WHITE, 10);
  ASSERT_EQ(tallies(state), (Tallies{1, 1, 1, 3, 1, 3}));
  ASSERT_TRUE(by_action(state, WHITE, 1, CAPTURE_MORIEL).empty());
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"2122"}));
  EXPECT_EQ(describe(look_ahead(state, WHITE)), decided(WHITE, "2122", "2223"));
}

TEST(lookahead, list_order_beats_a_shorter_win) {
  // Two Voraks and one Moriel left: the Vorak capture listed first leaves a Vorak and a Moriel
  // at one, so any capture may follow it, and the Moriel's falls. The direct capture of the
  // Moriel, later in the list, is never reached.
  Vorak const state =
      position(stacks("00Wv 10Bv 04Wm 24Bm 22Ww") + tall_reserve(BLACK, 1, 0, 3), WHITE, 10);
  ASSERT_EQ(tallies(state), (Tallies{1, 1, 1, 2, 1, 3}));
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"0010", "0424", "2224"}));
  EXPECT_EQ(describe(look_ahead(state, WHITE)), decided(WHITE, "0010", "0424"));
}

TEST(lookahead, no_capture_no_decision) {
  std::vector<Stack> layout = last_vorak_layout();
  for (Stack& s : layout)
    if (s.owner == BLACK) s.height = 5;
  Vorak const state = position(layout, WHITE, 10);
  ASSERT_TRUE(by_action(state, WHITE, 1, CAPTURE).empty());
  EXPECT_EQ(describe(look_ahead(state, WHITE)), "none");
}

// ---------------------------------------------------------------------------------------------

class best_move : public testing::Test {
 protected:
  void SetUp() override {
    std::string description = random_opening_description(7);
    state.create_board(description);
    state.own_player = WHITE;
    state.move_count = 12;
    sequences = legal_sequences(state);
    ASSERT_GE(sequences.size(), 6u);
  }

  void TearDown() override { set_tables({}, {}); }

  // The two calls of a turn, with the first action applied between them as the match loop
  // does; returns both actions and the output of each call.
  struct Turn {
    std::string first, second, first_output, second_output;
  };
  Turn play_turn() {
    Turn t;
    t.first_output = output_of([&] { t.first = state.get_best_move(); });
    Vorak const before = state;
    state.execute_move(t.first, false);
    t.second_output = output_of([&] { t.second = state.get_best_move(); });
    // The second call reads the tables again; it runs no search.
    EXPECT_EQ(std::tie(state.playouts, state.wins, state.losses),
              std::tie(before.playouts, before.wins, before.losses));
    return t;
  }

  Vorak state{1};
  std::vector<std::string> sequences;
};

TEST_F(best_move, one_win_outweighs_any_losses) {
  set_tables({{sequences[2], 1}}, {{sequences[0], 1}, {sequences[1], 400}});
  state.playouts = 402;
  state.wins = 1;
  state.losses = 401;
  Turn const t = play_turn();
  EXPECT_EQ(t.first, sequences[2].substr(0, 4));
  EXPECT_EQ(t.first_output, sequence_report(true, 402, 1, 1, sequences[2], 1));
  EXPECT_EQ(t.second, sequences[2].substr(4));
  EXPECT_EQ(t.second_output, "");
}

TEST_F(best_move, fewest_losses_first_met) {
  // Counts 3, 1 and 1 in the table's iteration order: the first sequence counted once.
  set_tables({}, {{sequences[0], 0}, {sequences[1], 0}, {sequences[2], 0}});
  std::vector<std::string> order;
  for (auto const& entry : worstMoves) order.push_back(entry.first);
  worstMoves[order[0]] = 3;
  worstMoves[order[1]] = 1;
  worstMoves[order[2]] = 1;
  state.playouts = 6;
  state.losses = 5;
  Turn const t = play_turn();
  EXPECT_EQ(t.first, order[1].substr(0, 4));
  EXPECT_EQ(t.first_output, sequence_report(false, 6, 5, 3, order[1], 1));
  EXPECT_EQ(t.second, order[1].substr(4));
  EXPECT_EQ(t.second_output, "");
}

TEST_F(best_move, ties_go_to_the_first_met_on_both_calls) {
  std::map<std::string, std::uint32_t> best;
  for (std::size_t i = 0; i < sequences.size(); ++i) best[sequences[i]] = i % 2 == 0 ? 9 : 4;
  set_tables(best, {});
  std::string expected;
  for (auto const& entry : bestMoves)
    if (entry.second == 9) {
      expected = entry.first;
      break;
    }
  state.playouts = 100;
  state.wins = 60;
  std::string again;
  output_of([&] { again = state.get_best_move(); });
  Turn const t = play_turn();
  EXPECT_EQ(t.first, expected.substr(0, 4));
  EXPECT_EQ(again, t.first);
  EXPECT_EQ(reported_sequence(t.first_output), expected);
  EXPECT_EQ(t.second, expected.substr(4));
}

TEST_F(best_move, report_texts) {
  // Only the first call of a turn reports, and the report names the whole sequence.
  std::map<std::string, std::uint32_t> best{{"34252314", 90}};
  for (int i = 0; i < 36; ++i) best["1" + std::to_string(1000 + i)] = 1 + i % 89;
  set_tables(best, {{"11112222", 7}});
  state.playouts = 5000;
  state.wins = 1200;
  state.losses = 3799;
  std::string move;
  EXPECT_EQ(output_of([&] { move = state.get_best_move(); }),
            "Of the 5000 games completed, 1200 were winning games\n"
            "played using 37 different starting sequences.\n"
            "Of those this sequence (34252314) resulted in 90 wins,\n"
            "which is the best result.\n");
  EXPECT_EQ(move, "3425");

  set_tables({}, {{"34252314", 2}, {"3425", 5}});
  state.playouts = 8;
  state.wins = 0;
  state.losses = 7;
  EXPECT_EQ(output_of([&] { move = state.get_best_move(); }),
            "Of the 8 games completed, 7 were losing games\n"
            "played using 2 different starting sequences.\n"
            "Of those this sequence (34252314) resulted in 2 loses,\n"
            "which is the best (lowest) result.\n");

  set_tables({}, {});
  state.playouts = 1;
  state.losses = 0;
  std::string const out = output_of([&] { move = state.get_best_move(); });
  EXPECT_EQ(out,
            "Of the 1 games played, no winning move sequences found.\n"
            "Randomly determining move to make.\n"
            "Making move " +
                move + "\n");
}

TEST_F(best_move, four_characters_mean_a_pass) {
  std::string const first = sequences[3].substr(0, 4);
  set_tables({{first, 5}, {sequences[4], 2}}, {});
  state.playouts = state.wins = 7;
  Turn const t = play_turn();
  EXPECT_EQ(t.first, first);
  EXPECT_EQ(t.second, "");
  EXPECT_EQ(t.second_output, "");
}

TEST_F(best_move, empty_tables_fall_back_to_the_random_player) {
  set_tables({}, {});
  state.playouts = 0;
  Turn const t = play_turn();
  EXPECT_EQ(t.first_output,
            "Of the 0 games played, no winning move sequences found.\n"
            "Randomly determining move to make.\n"
            "Making move " +
                t.first + "\n");
  // The second call reports nothing but the random player's own lines.
  EXPECT_EQ(t.second_output, "Randomly determining move to make.\nMaking move " + t.second + "\n");
  EXPECT_TRUE(contains(legal_actions(state, state.own_player), t.second)) << t.second;
}

TEST_F(best_move, first_action_of_random_fallback_is_a_listed_capture) {
  set_tables({}, {});
  Vorak const before = state;
  std::string move;
  output_of([&] { move = state.get_best_move(); });
  EXPECT_TRUE(contains(turn_candidates(before, WHITE, 1), move)) << move;
  EXPECT_EQ(position_difference(state, before), "");
}

TEST_F(best_move, placeholder_second_action_falls_back) {
  // A lost playout in which the program had no second action is counted under "xxxxW"; chosen
  // as the fewest losses, its second action must not go out as "W".
  std::string const first = sequences[0].substr(0, 4);
  set_tables({}, {{first + "W", 1}, {sequences[1], 6}});
  state.playouts = state.losses = 7;
  Turn const t = play_turn();
  EXPECT_EQ(t.first, first);
  EXPECT_NE(t.second, "W");
  EXPECT_TRUE(contains(legal_actions(state, state.own_player), t.second)) << t.second;
  EXPECT_EQ(t.second_output, "Randomly determining move to make.\nMaking move " + t.second + "\n");
}

TEST_F(best_move, second_action_no_longer_legal_falls_back) {
  // A table left from another position: the recorded second action repeats the first, whose
  // source is empty once the first is made.
  std::string const first = sequences[1].substr(0, 4);
  set_tables({{first + first, 4}}, {});
  state.playouts = state.wins = 4;
  Turn const t = play_turn();
  EXPECT_EQ(t.first, first);
  EXPECT_NE(t.second, first);
  EXPECT_TRUE(contains(legal_actions(state, state.own_player), t.second)) << t.second;
  EXPECT_EQ(t.second_output, "Randomly determining move to make.\nMaking move " + t.second + "\n");
}

TEST_F(best_move, placeholder_alone_is_never_sent_as_first_action) {
  // Every playout lost at its first step (no capture to open the turn) is counted under the
  // placeholder alone; the first action must still be a move string.
  set_tables({}, {{"W", 9}});
  state.playouts = state.losses = 9;
  std::string move;
  std::string const out = output_of([&] { move = state.get_best_move(); });
  EXPECT_NE(move, "W");
  EXPECT_TRUE(contains(turn_candidates(state, WHITE, 1), move)) << move;
  EXPECT_EQ(out.substr(0, out.find("Randomly")), sequence_report(false, 9, 9, 1, "W", 9));
}

// ---------------------------------------------------------------------------------------------

TEST(random_player, only_the_pass_to_choose) {
  Vorak state = position(doomed_layout(), WHITE, 10);
  state.execute_move("0001", false);
  ASSERT_EQ(turn_candidates(state, WHITE, 2), (Moves{""}));
  Vorak const before = state;
  std::string move = "unset";
  EXPECT_EQ(output_of([&] { move = state.random_ai(); }),
            "Randomly determining move to make.\nMaking move \n");
  EXPECT_EQ(move, "");
  EXPECT_EQ(position_difference(state, before), "");
}

TEST(random_player, no_capture_passes_without_drawing) {
  std::vector<Stack> layout = doomed_layout();
  layout[1].height = 5;  // the one stack White could take is now out of reach
  Vorak state = position(layout, WHITE, 10);
  ASSERT_TRUE(turn_candidates(state, WHITE, 1).empty());
  gen.seed(99);
  boost::random::mt19937 const engine = gen;
  std::string move = "unset";
  EXPECT_EQ(output_of([&] { move = state.random_ai(); }),
            "Randomly determining move to make.\nMaking move \n");
  EXPECT_EQ(move, "");
  EXPECT_TRUE(gen == engine) << "the random player drew from an empty list";
}

TEST(random_player, every_candidate_comes_up) {
  Vorak state = position(sure_win_layout(), BLACK, 10);
  Moves const candidates = turn_candidates(state, BLACK, 1);
  ASSERT_EQ(candidates.size(), 2u);
  state.execute_move(candidates[0], false);
  Moves const seconds = turn_candidates(state, BLACK, 2);
  ASSERT_GE(seconds.size(), 3u);
  Vorak const before = state;
  gen.seed(2024);
  std::map<std::string, int> seen;
  int const calls = 200 * static_cast<int>(seconds.size());
  output_of([&] {
    for (int i = 0; i < calls; ++i) ++seen[state.random_ai()];
  });
  EXPECT_EQ(position_difference(state, before), "");
  EXPECT_EQ(seen.size(), seconds.size());
  for (std::string const& m : seconds) {
    EXPECT_GT(seen[m], 120) << "'" << m << "' came up too rarely";
    EXPECT_LT(seen[m], 280) << "'" << m << "' came up too often";
  }
}

// ---------------------------------------------------------------------------------------------

struct Search {
  std::string move, output;
};

template <class P = FastPlayout>
Search search(Vorak& state, std::uint64_t steps, std::uint32_t seed = 1) {
  gen.seed(seed);
  StepClock clock{steps};
  Search s;
  s.output = output_of([&] { s.move = run_search<P>(state, clock); });
  return s;
}

bool closes_once(std::string const& output) {
  bool const confident = output.rfind("Dravix Bot looks confident.\n", 0) == 0;
  bool const concerned = output.rfind("Dravix Bot looks concerned.\n", 0) == 0;
  return confident != concerned;
}

// A search ends with one closing line, unless a win found at its first step ended it.
testing::AssertionResult well_closed(Search const& s, Vorak const& state) {
  if (closes_once(s.output)) return testing::AssertionSuccess();
  if (state.playouts == 1 && state.wins == 1 && s.output.rfind("Of the 1 games completed", 0) == 0)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << s.output;
}

TEST(search, second_call_reads_the_same_tables) {
  Vorak state = played_position(5, 24);
  ASSERT_EQ(state.move_count % 2, 0);
  Search const s = search(state, 30000);
  std::string const chosen = reported_sequence(s.output);
  ASSERT_FALSE(chosen.empty()) << s.output;
  ASSERT_EQ(s.move, chosen.substr(0, 4));
  auto const best = copy_of(bestMoves), worst = copy_of(worstMoves);
  state.execute_move(s.move, false);
  Vorak const before = state;
  boost::random::mt19937 const engine = gen;
  std::string second;
  EXPECT_EQ(output_of([&] { second = state.monte_carlo(); }), "");
  EXPECT_EQ(second, chosen.substr(4));
  EXPECT_EQ(state_difference(state, before), "");
  EXPECT_TRUE(gen == engine) << "the second call searched";
  EXPECT_EQ(copy_of(bestMoves), best);
  EXPECT_EQ(copy_of(worstMoves), worst);
}

TEST(search, opening_turn_records_single_actions) {
  Vorak state(1);
  std::string description = random_opening_description(11);
  state.create_board(description);
  state.own_player = WHITE;
  Search const s = search(state, 20000, 3);
  EXPECT_GT(state.wins + state.losses, 50u);
  for (SequenceTable const* table : {&bestMoves, &worstMoves})
    for (auto const& entry : *table) {
      EXPECT_EQ(entry.first.size(), 4u) << entry.first;
      EXPECT_EQ(entry.first.find_first_not_of("012345678"), std::string::npos) << entry.first;
    }
  EXPECT_TRUE(contains(by_action(state, WHITE, 1, CAPTURE), s.move));
}

TEST(search, pass_as_second_action_counts_under_the_first_alone) {
  Vorak state = position(doomed_layout(), WHITE, 10);
  Search const s = search(state, 4 * 100);
  EXPECT_EQ(state.playouts, 100u);
  EXPECT_EQ(state.losses, 100u);
  EXPECT_TRUE(bestMoves.empty());
  EXPECT_EQ(copy_of(worstMoves), (std::map<std::string, std::uint32_t>{{"0001", 100}}));
  EXPECT_EQ(s.move, "0001");
}

TEST(search, leaves_the_position_alone) {
  for (std::uint32_t seed : {2u, 8u}) {
    Vorak state = played_position(seed, 30);
    Vorak const before = state;
    search(state, 20000, seed);
    EXPECT_EQ(position_difference(state, before), "");
  }
}

TEST(search, at_most_one_playout_unfinished) {
  Vorak const start = played_position(4, 40);
  for (std::uint64_t steps : {1u, 2u, 3u, 50u, 997u, 5000u, 12345u}) {
    Vorak state = start;
    Search const s = search(state, steps, static_cast<std::uint32_t>(steps));
    EXPECT_GE(state.playouts, state.wins + state.losses);
    EXPECT_LE(state.playouts, state.wins + state.losses + 1) << steps << " steps";
    EXPECT_TRUE(well_closed(s, state));
  }
  // A deadline met between playouts leaves none unfinished.
  Vorak doomed = position(doomed_layout(), WHITE, 10);
  search(doomed, 4 * 5);
  EXPECT_EQ(doomed.playouts, 5u);
  EXPECT_EQ(doomed.losses, 5u);
  search(doomed, 4 * 5 + 2);
  EXPECT_EQ(doomed.playouts, 6u);
  EXPECT_EQ(doomed.losses, 5u);
}

template <class P>
void expect_win_found_at_first_step() {
  Vorak state = position(two_voraks_layout(), WHITE, 10);
  Search const s = search<P>(state, 100000);
  EXPECT_EQ(s.output, sequence_report(true, 1, 1, 1, "21220141", 1));
  EXPECT_EQ(s.move, "2122");
  EXPECT_EQ(state.playouts, 1u);
  EXPECT_EQ(state.wins, 1u);
  EXPECT_EQ(state.losses, 0u);
  EXPECT_TRUE(worstMoves.empty());
  state.execute_move(s.move, false);
  std::string second;
  EXPECT_EQ(output_of([&] { second = state.monte_carlo(); }), "");
  EXPECT_EQ(second, "0141");
}

TEST(search, winning_lookahead_at_first_step_ends_the_search) {
  expect_win_found_at_first_step<FastPlayout>();
  expect_win_found_at_first_step<ReferencePlayout>();
}

TEST(search, depth_one_win_at_first_step_passes_after) {
  Vorak state = position(last_vorak_layout(), WHITE, 10);
  Search const s = search(state, 100000);
  EXPECT_EQ(s.output, sequence_report(true, 1, 1, 1, "0424", 1));
  EXPECT_EQ(s.move, "0424");
  state.execute_move(s.move, false);
  std::string second = "unset";
  output_of([&] { second = state.monte_carlo(); });
  EXPECT_EQ(second, "");
}

TEST(search, concerned_after_9000_playouts_without_a_win) {
  // Each playout of this position takes four clock checks and is lost.
  Vorak state = position(doomed_layout(), WHITE, 10);
  Search s = search(state, 4 * 9000);
  EXPECT_EQ(state.playouts, 9000u);
  EXPECT_EQ(state.losses, 9000u);
  EXPECT_EQ(s.output,
            "Dravix Bot looks confident.\n" + sequence_report(false, 9000, 9000, 1, "0001", 9000));

  // The 9001st playout begins but the deadline falls before its first step.
  s = search(state, 4 * 9000 + 1);
  EXPECT_EQ(state.playouts, 9001u);
  EXPECT_EQ(s.output.rfind("Dravix Bot looks confident.\n", 0), 0u) << s.output;

  // Its first step reaches the candidate list: concerned from then on.
  s = search(state, 4 * 9000 + 2);
  EXPECT_EQ(state.playouts, 9001u);
  EXPECT_EQ(state.losses, 9000u);
  EXPECT_EQ(s.output,
            "Dravix Bot looks concerned.\n" + sequence_report(false, 9001, 9000, 1, "0001", 9000));
}

TEST(search, concerned_playouts_without_second_action_never_send_the_placeholder) {
  // Concerned play offers no pass, so White, with nothing else to do, loses at its second
  // action; those playouts count under "0001W", the fewest losses.
  Vorak state = position(doomed_layout(), WHITE, 10);
  Search const s = search(state, 4 * 9000 + 3 * 3 + 1);
  EXPECT_EQ(copy_of(worstMoves),
            (std::map<std::string, std::uint32_t>{{"0001", 9000}, {"0001W", 3}}));
  EXPECT_EQ(s.output.rfind("Dravix Bot looks concerned.\n", 0), 0u);
  EXPECT_EQ(reported_sequence(s.output), "0001W");
  EXPECT_EQ(s.move, "0001");
  state.execute_move(s.move, false);
  std::string second = "unset";
  EXPECT_EQ(output_of([&] { second = state.monte_carlo(); }),
            "Randomly determining move to make.\nMaking move \n");
  EXPECT_EQ(second, "");
}

TEST(search, concerned_play_drops_the_capture_preference) {
  // As in the doomed position, but White can also take a height-1 Vorak at 7,4. Confident play
  // always opens with that Vorak capture; concerned play draws from every capture.
  std::vector<Stack> layout = doomed_layout();
  layout.push_back({7, 4, BLACK, VORAK});
  Vorak state = position(layout, WHITE, 10);
  ASSERT_EQ(by_action(state, WHITE, 1, CAPTURE), (Moves{"0001", "8474"}));
  auto opened_with_wemm = [] {
    std::uint32_t n = 0;
    for (auto const& entry : worstMoves)
      if (entry.first.rfind("0001", 0) == 0) n += entry.second;
    return n;
  };
  Search s = search(state, 30000);
  ASSERT_EQ(s.output.rfind("Dravix Bot looks confident.\n", 0), 0u);
  EXPECT_EQ(state.wins, 0u);
  EXPECT_EQ(opened_with_wemm(), 0u);
  s = search(state, 80000);
  ASSERT_EQ(s.output.rfind("Dravix Bot looks concerned.\n", 0), 0u);
  ASSERT_GT(state.losses, 9200u);
  // About half of the playouts after the switch open with the Wemm capture.
  std::uint32_t const after_switch = state.losses - 9000;
  EXPECT_GT(opened_with_wemm(), after_switch / 4);
  EXPECT_LT(opened_with_wemm(), after_switch * 3 / 4);
}

TEST(search, won_playouts_keep_the_search_confident) {
  // Black's playouts here are all won: no switch however long the search.
  Vorak state = position(sure_win_layout(), BLACK, 10);
  Search const s = search(state, 200000, 5);
  EXPECT_GT(state.playouts, 9001u);
  EXPECT_EQ(state.losses, 0u);
  EXPECT_GE(state.wins + 1, state.playouts);
  EXPECT_TRUE(worstMoves.empty());
  // Black's first capture leaves White with two Voraks; the look-ahead still waits for the
  // next turn to open, so every key holds Black's whole turn, or its first action and a pass.
  for (auto const& entry : bestMoves)
    EXPECT_TRUE(entry.first.size() == 8 || entry.first.size() == 4) << entry.first;
  EXPECT_EQ(s.output.rfind("Dravix Bot looks confident.\n", 0), 0u);
  std::string const chosen = reported_sequence(s.output);
  ASSERT_EQ(s.output, "Dravix Bot looks confident.\n" +
                          sequence_report(true, state.playouts, state.wins, bestMoves.size(),
                                          chosen, bestMoves.at(chosen)));
  EXPECT_TRUE(contains(by_action(state, BLACK, 1, CAPTURE), s.move));
}

TEST(search, no_capture_to_open_the_turn_gives_a_pass) {
  std::vector<Stack> layout = doomed_layout();
  layout[1].height = 5;
  Vorak state = position(layout, WHITE, 10);
  Search const s = search(state, 300);
  EXPECT_GT(state.losses, 0u);
  EXPECT_EQ(s.move, "");
  EXPECT_NE(s.output.find("Making move \n"), std::string::npos) << s.output;
}

TEST(search, chooses_legal_moves_for_either_colour) {
  int colours[3] = {0, 0, 0};
  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    for (int actions : {0, 13, 27, 46}) {
      Vorak state = played_position(seed, actions);
      if (state.is_game_over() != NONE) continue;
      ++colours[state.own_player];
      Search const s = search(state, 6000, seed);
      ASSERT_TRUE(well_closed(s, state));
      ASSERT_TRUE(contains(legal_actions(state, state.own_player), s.move))
          << "seed " << seed << ", " << actions << " actions: '" << s.move << "'";
      if (state.move_count == 0) continue;  // the opening turn has one action
      state.execute_move(s.move, false);
      std::string second;
      output_of([&] { second = state.monte_carlo(); });
      EXPECT_TRUE(contains(legal_actions(state, state.own_player), second))
          << "seed " << seed << ", " << actions << " actions: '" << second << "'";
    }
  }
  EXPECT_GT(colours[WHITE], 3);
  EXPECT_GT(colours[BLACK], 3);
}

TEST(search, one_second_on_the_wall_clock) {
  Vorak state(1);
  std::string description = random_opening_description(21);
  state.create_board(description);
  state.own_player = WHITE;
  state.move_count = 2;
  std::string move;
  std::string const out = output_of([&] { move = state.monte_carlo(); });
  EXPECT_TRUE(closes_once(out)) << out;
  EXPECT_TRUE(contains(legal_actions(state, state.own_player), move)) << move;
}

TEST(search, wall_clock_ends_at_the_calendar_second_neither_early_nor_late) {
  std::time_t const deadline = std::time(nullptr) + 1;
  WallClock clock(deadline);
  int late_checks = 0;
  std::time_t const give_up = deadline + 5;  // does not hang
  while (!clock.expired()) {
    std::time_t const now = std::time(nullptr);
    if (now >= deadline) ++late_checks;  // it could have ended at this check or the last
    ASSERT_LT(now, give_up);
  }
  EXPECT_GE(std::time(nullptr), deadline);
  EXPECT_LE(late_checks, 1) << "checks went on after the calendar reached the deadline";
}

// ---------------------------------------------------------------------------------------------

namespace {

std::map<std::string, std::uint32_t>& operator+=(std::map<std::string, std::uint32_t>& a,
                                                 SequenceTable const& b) {
  for (auto const& [key, count] : b) a[key] += count;
  return a;
}

// One searcher's choices for both actions of a turn in each of a few positions.
std::vector<std::string> series(Searcher& searcher, SearchSettings const& settings) {
  std::vector<std::string> moves;
  for (std::uint32_t seed : {2u, 6u, 9u}) {
    Vorak state = played_position(seed, 20);
    std::string const first = searcher.choose(state, settings);
    moves.push_back(first + "/" + std::to_string(state.playouts));
    if (!contains(legal_actions(state, state.own_player), first))
      moves.push_back("illegal first action");
    state.execute_move(first, false);
    std::string const second = searcher.choose(state, settings);
    if (!contains(legal_actions(state, state.own_player), second))
      moves.push_back("illegal second action");
    moves.push_back(second);
  }
  return moves;
}

}  // namespace

TEST(threads, the_report_counts_the_playouts_of_every_thread) {
  // Each thread is a search of its own on an engine seeded from gen; with a clock of checks
  // each repeats exactly, so the merged search is the sum of the searches of its seeds.
  Vorak const start = played_position(5, 24);
  std::uint64_t const steps = 20000;
  gen.seed(7);
  std::uint32_t const seeds[2] = {gen(), gen()};
  SearchTallies sum;
  std::map<std::string, std::uint32_t> best, worst;
  for (std::uint32_t seed : seeds) {
    Vorak alone = start;
    search(alone, steps, seed);
    sum.playouts += alone.playouts;
    sum.wins += alone.wins;
    sum.losses += alone.losses;
    best += bestMoves;
    worst += worstMoves;
  }
  ASSERT_GT(sum.wins, 0u);

  Vorak merged = start;
  gen.seed(7);
  std::string const out =
      output_of([&] { search<FastPlayout>(merged, StepClock{steps}, program_context(), 2); });
  EXPECT_EQ(merged.playouts, sum.playouts);
  EXPECT_EQ(merged.wins, sum.wins);
  EXPECT_EQ(merged.losses, sum.losses);
  EXPECT_EQ(copy_of(bestMoves), best);
  EXPECT_EQ(copy_of(worstMoves), worst);
  EXPECT_EQ(out.rfind("Dravix Bot looks confident.\nOf the " + std::to_string(sum.playouts) +
                          " games completed, " + std::to_string(sum.wins) + " were winning",
                      0),
            0u)
      << out;
}

TEST(threads, concern_counts_the_playouts_of_every_thread) {
  // Every playout of the doomed position is lost: 5000 per thread stay below the threshold
  // alone, but the search as a whole passes it.
  Vorak alone = position(doomed_layout(), WHITE, 10);
  EXPECT_EQ(search(alone, 4 * 5000).output.rfind("Dravix Bot looks confident.\n", 0), 0u);
  Vorak both = position(doomed_layout(), WHITE, 10);
  std::string const out =
      output_of([&] { search<FastPlayout>(both, StepClock{4 * 5000}, program_context(), 2); });
  EXPECT_EQ(out.rfind("Dravix Bot looks concerned.\n", 0), 0u) << out;
  EXPECT_GT(both.playouts, CONCERNED_AFTER);
  EXPECT_EQ(both.wins, 0u);
}

TEST(threads, a_win_at_the_first_step_ends_the_search_at_once) {
  Vorak state = position(two_voraks_layout(), WHITE, 10);
  std::string move;
  std::string const out = output_of(
      [&] { move = search<FastPlayout>(state, StepClock{100000}, program_context(), 2); });
  EXPECT_EQ(out, sequence_report(true, 1, 1, 1, "21220141", 1));
  EXPECT_EQ(move, "2122");
  EXPECT_EQ(state.playouts, 1u);
}

TEST(searcher, searches_as_the_program_does_on_its_own_engine_and_tables) {
  Vorak const start = played_position(3, 30);
  Vorak program = start;
  Search const expected = search(program, 30000, 42);
  auto const best = copy_of(bestMoves);
  Searcher searcher(42);
  Vorak mine = start;
  std::string move;
  SearchSettings settings;
  settings.steps = 30000;
  std::string const out = output_of([&] { move = searcher.choose(mine, settings); });
  EXPECT_EQ(out, expected.output);
  EXPECT_EQ(move, expected.move);
  EXPECT_EQ(state_difference(mine, program), "");
  EXPECT_EQ(copy_of(bestMoves), best) << "the searcher wrote to the program's tables";
}

TEST(searcher, two_at_once_choose_as_each_would_alone_and_print_nothing) {
  SearchSettings quiet;
  quiet.report = false;
  quiet.steps = 8000;
  SearchSettings threaded = quiet;
  threaded.threads = 2;
  Searcher a(11), b(22);
  std::vector<std::string> const alone_a = series(a, quiet), alone_b = series(b, threaded);

  Searcher a2(11), b2(22);
  std::vector<std::string> together_a, together_b;
  EXPECT_EQ(output_of([&] {
              std::thread other([&] { together_b = series(b2, threaded); });
              together_a = series(a2, quiet);
              other.join();
            }),
            "");
  EXPECT_EQ(together_a, alone_a);
  EXPECT_EQ(together_b, alone_b);
}

TEST(tree_search, won_playouts_read_as_a_sure_win) {
  // Every playout of Black's here is won, so the tree must credit each action it reports.
  Vorak state = position(sure_win_layout(), BLACK, 10);
  TreeSettings settings;
  settings.max_playouts = 3000;
  std::ostringstream report;
  std::string const move = TreeEngine(9, settings).choose(state, 1, &report);
  EXPECT_TRUE(contains(legal_actions(state, BLACK), move)) << move;
  EXPECT_EQ(report.str().rfind("Dravix Bot looks confident.\n", 0), 0u) << report.str();
  EXPECT_NE(report.str().find("won 100.0%"), std::string::npos) << report.str();
}

TEST(tree_search, plays_its_most_visited_action) {
  // The chosen action is the one the tree visited most, so at least its share of the playouts.
  Vorak state = played_position(5, 24);
  TreeSettings settings;
  settings.max_playouts = 4000;
  std::ostringstream report;
  TreeEngine(3, settings).choose(state, 1, &report);
  std::smatch m;
  std::string const text = report.str();
  ASSERT_TRUE(std::regex_search(
      text, m, std::regex(R"(Tree search: (\d+) playouts, \d+ nodes; \S+ played (\d+) times)")))
      << text;
  std::size_t const actions = by_action(state, state.own_player, 1, CAPTURE).size();
  ASSERT_GT(actions, 1u);
  EXPECT_GE(std::stoul(m[2]) * actions, std::stoul(m[1])) << text;
}

namespace {

// A thought's candidates as (move, playouts, wins).
using Ranked = std::vector<std::tuple<std::string, std::uint64_t, std::uint64_t>>;
Ranked candidates_of(Thought const& thought) {
  Ranked found;
  for (Candidate const& c : thought.candidates) found.emplace_back(c.move, c.playouts, c.wins);
  return found;
}

}  // namespace

TEST(thought, the_flat_tables_rank_actions_by_their_best_sequence) {
  // 3132 and 1112 both have a sequence of five wins, 3132's with fewer losses; "W" alone (no
  // action of the program) counts among the playouts only, and "3334W" (no second action)
  // under its first action only.
  SequenceTable const best = {{"11122122", 5}, {"1112", 1}, {"3334W", 2}, {"31324142", 5}};
  SequenceTable const worst = {{"11122122", 3}, {"31324142", 1}, {"5556", 9}, {"W", 4}};
  struct Case {
    std::optional<std::string> first;
    bool single;
    std::optional<std::string> played;
    Ranked candidates;
    double value;
    std::vector<std::string> line;
  };
  Case const cases[] = {
      {std::nullopt,
       false,
       std::nullopt,
       {{"3132", 6, 5}, {"1112", 9, 6}, {"3334", 2, 2}, {"5556", 9, 0}},
       5.0 / 6,
       {"3132", "4142"}},
      {std::nullopt,
       false,
       "1112",
       {{"1112", 9, 6}, {"3132", 6, 5}, {"3334", 2, 2}, {"5556", 9, 0}},
       5.0 / 8,
       {"1112", "2122"}},
      {std::nullopt,
       true,
       std::nullopt,
       {{"3132", 6, 5}, {"1112", 9, 6}, {"3334", 2, 2}, {"5556", 9, 0}},
       5.0 / 6,
       {"3132"}},
      {"1112", false, std::nullopt, {{"2122", 8, 5}, {"", 1, 1}}, 5.0 / 8, {"2122"}},
      {"1112", false, "", {{"", 1, 1}, {"2122", 8, 5}}, 1.0, {""}},
      {"3334", false, std::nullopt, {}, 0.5, {}},
      {"5556", false, "5657", {{"5657", 0, 0}, {"", 9, 0}}, 0.5, {"5657"}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.first.value_or("first") + " " + c.played.value_or("-"));
    Thought const thought = flat_thought(best, worst, c.first, c.single, c.played);
    EXPECT_EQ(thought.engine, Engine::FLAT);
    EXPECT_EQ(thought.playouts, 30u);
    EXPECT_EQ(candidates_of(thought), c.candidates);
    EXPECT_DOUBLE_EQ(thought.value, c.value);
    EXPECT_EQ(thought.line, c.line);
  }
}

TEST(thought, the_tree_leads_with_its_choice_and_proofs_are_certain) {
  std::vector<ActionStats> const actions = {
      {0x0100, 10, 3, UNPROVEN}, {0x0201, 50, 30, UNPROVEN}, {0x0302, 5, 5, PROVEN_WIN}};
  Thought const proven = tree_thought(actions, actions[2], {}, 65);
  EXPECT_EQ(candidates_of(proven), (Ranked{{"0203", 5, 5}, {"0102", 50, 30}, {"0001", 10, 3}}));
  EXPECT_EQ(proven.line, std::vector<std::string>{"0203"});
  EXPECT_EQ(proven.value, 1);
  EXPECT_DOUBLE_EQ(tree_thought(actions, actions[1], {}, 65).value, 0.6);
  EXPECT_EQ(tree_thought(actions, {0x0100, 10, 3, PROVEN_LOSS}, {}, 65).value, 0);
}

// What each engine says of its choice is about that very choice, first action and second.
TEST(thought, each_engine_judges_the_action_it_chose) {
  for (Engine engine : {Engine::FLAT, Engine::MCTS}) {
    SCOPED_TRACE(engine_name(engine));
    SearchSettings settings;
    settings.engine = engine;
    settings.report = false;
    settings.steps = 3000;
    Searcher searcher(5);
    Vorak state = played_position(4, 20);
    for (int step = 1; step <= 2; ++step) {
      std::string const move = searcher.choose(state, settings);
      Thought const& thought = searcher.thought();
      EXPECT_EQ(thought.engine, engine);
      ASSERT_FALSE(thought.candidates.empty() || thought.line.empty());
      EXPECT_EQ(thought.candidates.front().move + " " + thought.line.front(), move + " " + move);
      EXPECT_LE(thought.candidates.size(), Thought::MOST_CANDIDATES);
      EXPECT_TRUE(thought.value >= 0 && thought.value <= 1) << thought.value;
      // Every playout of the turn's search; the flat search's last may have been cut short.
      EXPECT_GT(thought.playouts, 0u);
      EXPECT_LE(thought.playouts, state.playouts);
      EXPECT_GE(thought.playouts + 1, state.playouts);
      for (Candidate const& c : thought.candidates) EXPECT_LE(c.wins, c.playouts);
      state.execute_move(move, false);
    }
  }
}

// A watched search hands its watch snapshots of legal actions as it goes, on its own thread,
// and a cancelled one ends at its next look.
TEST(search_watch, sees_each_engine_as_it_goes_and_can_end_it) {
  for (Engine engine : {Engine::FLAT, Engine::MCTS}) {
    SCOPED_TRACE(engine_name(engine));
    SearchSettings settings;
    settings.engine = engine;
    settings.report = false;
    settings.steps = engine == Engine::FLAT ? 3000000 : 60000;
    Vorak state = played_position(7, 20);
    std::vector<std::string> const legal = legal_actions(state, state.own_player);
    std::vector<Thought> seen;
    std::thread::id const searching = std::this_thread::get_id();
    SearchWatch watch(
        [&](Thought const& t) {
          EXPECT_EQ(std::this_thread::get_id(), searching);
          seen.push_back(t);
        },
        nullptr, std::chrono::milliseconds(1));
    Searcher searcher(3);
    searcher.choose(state, settings, &watch);
    ASSERT_GE(seen.size(), 2u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
      ASSERT_FALSE(seen[i].candidates.empty());
      for (Candidate const& c : seen[i].candidates) EXPECT_TRUE(contains(legal, c.move)) << c.move;
      EXPECT_GE(seen[i].playouts, i > 0 ? seen[i - 1].playouts : 1);
    }
    EXPECT_LE(seen.back().playouts, searcher.thought().playouts);

    // Ended at the first look once cancelled: far fewer playouts than the steps allow.
    SearchWatch cancelled([](Thought const&) {});
    cancelled.cancel();
    Vorak again = played_position(7, 20);
    Searcher(3).choose(again, settings, &cancelled);
    EXPECT_LT(again.playouts * 4, seen.back().playouts);
  }
}
