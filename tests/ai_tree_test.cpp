// The tree search's parts, each on what it must do whatever the playing strength: the choice
// on hand-made child statistics, the order of the priors, the tree's shape after a known number
// of playouts and the back-up's perspective in both node stores, the solver on built positions,
// and turns that end before their first playout.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ai/playout.h"
#include "ai/tree/descent.h"
#include "ai/tree/engine.h"
#include "ai/tree/local_store.h"
#include "ai/tree/search.h"
#include "ai/tree/shared_store.h"
#include "game/setup.h"
#include "tests/support/positions.h"

using namespace support;

namespace {

TurnClock unhurried() {
  return TurnClock::monotonic(std::chrono::steady_clock::now(), 600);
}

TreeSettings with(Parallel parallel, std::uint64_t playouts = 0) {
  TreeSettings settings;
  settings.parallel = parallel;
  settings.max_playouts = playouts;
  return settings;
}

// Black to play, every black stack of height 2, every white stack of height 1: White can never
// capture, so every playout that finishes is a win for Black.
Vorak sure_win() {
  return position(stacks("00Ww 01Ww 02Ww 03Wm 04Wm 10Wm 11Wv 12Wv 13Wv 33Bv2 55Bm2 66Bw2"), BLACK,
                  10);
}

// White to play. Black has two Voraks and two Moriels, so the look-ahead tries every capture in
// list order, and the first, 00 takes 01, takes a Wemm and leaves no kind at its last stack: it
// gives up. Yet 85 takes 86 and then 87, Black's last Vorak.
Vorak missed_double_capture() {
  return position(stacks("00Ww 01Bw 40Wm 85Wv 86Bv 87Bv 26Bm 36Bm 51Bw 62Bw"), WHITE, 10);
}

// Some random turns into a random opening, the first action of a turn due.
Vorak played_position_for_trees() {
  boost::random::mt19937 rng(1005);
  Vorak state = random_game_position(5, rng, 20);
  if (state.move_count % 2 == 1) {
    state.execute_move("", false);
    state.own_player = opponent_of(state.own_player);
  }
  return state;
}

std::string text(FastPlayout::Move m) {
  return FastPlayout::text(m);
}

}  // namespace

// The choice among children from their statistics alone: a proven win at once, a proven loss
// never, untried children first within the window (or valued at the first-play value), the UCT
// value among the tried.
TEST(tree_choice, follows_the_statistics_it_is_given) {
  struct Case {
    char const* what;
    std::vector<ChildStats> children;
    std::uint32_t parent_visits;
    double widening;
    std::uint32_t expected;
    double first_play = TreeSettings::UNTRIED_FIRST;
    bool unlisted = false;  // untried actions follow the children, not listed yet
  };
  std::vector<Case> const cases = {
      {"the better rate at equal visits", {{10, 3}, {10, 7}, {10, 5}}, 30, 100, 1},
      // 1/1 against 60/100: the rarely tried child's exploration term decides.
      {"the exploration of a rarely tried child", {{100, 60}, {1, 1}}, 101, 100, 1},
      // 0/2 against 60/100 after a thousand visits: exploration still wins over 0.6.
      {"exploration beats a middling rate", {{100, 60}, {2, 0}}, 1000, 100, 1},
      {"an untried child first", {{5, 5}, {0, 0}, {3, 3}}, 8, 100, 1},
      {"the untried child beyond the window waits", {{5, 1}, {4, 0}, {0, 0}}, 9, 0.5, 0},
      {"a proven win at once", {{50, 40}, {1, 0, PROVEN_WIN}}, 51, 100, 1},
      {"a proven loss never", {{50, 50, PROVEN_LOSS}, {50, 10}}, 100, 100, 1},
      {"a proven loss leaves the window to the next", {{5, 5, PROVEN_LOSS}, {0, 0}}, 5, 0.1, 1},
      {"all lost: the first", {{5, 5, PROVEN_LOSS}, {5, 5, PROVEN_LOSS}}, 10, 100, 0},
      // With a first-play value of 1, tried children valued above it (1.33 and 1.43) come
      // before the untried ones, and below it (0.33 and 0.43) after them.
      {"first play: tried winners first", {{5, 5}, {3, 3}, {0, 0}, {0, 0}}, 8, 100, 1, 1.0},
      {"first play: the untried before losers", {{5, 0}, {3, 0}, {0, 0}, {0, 0}}, 8, 100, 2, 1.0},
      // Past the listed children, the first unlisted action (index `count`) stands for them.
      {"unlisted: the first before losers", {{5, 0}, {3, 0}}, 8, 100, 2, 1.0, true},
      {"unlisted: tried winners first", {{5, 5}, {3, 0}}, 8, 100, 0, 1.0, true},
      {"unlisted: beyond the window", {{5, 1}, {4, 0}}, 9, 0.5, 0, 1.0, true},
  };
  for (Case const& c : cases) {
    TreeSettings settings;
    settings.widening = c.widening;
    settings.first_play = c.first_play;
    std::uint32_t const chosen =
        select_child(10, static_cast<std::uint32_t>(c.children.size()), c.unlisted, c.parent_visits,
                     settings, [&](std::uint32_t i) { return c.children[i - 10]; });
    EXPECT_EQ(chosen, 10 + c.expected) << c.what;
  }
}

// A node's kept last choice only saves reading its children: at every step it chooses what a
// choice reading them all would, also where the node still has untried children and where its
// visits are past the tables (the exploration then bounded, not computed).
TEST(tree_choice, a_kept_choice_chooses_as_a_fresh_one_would) {
  for (std::uint32_t const start_visits : {40u, UctTables::SIZE - 500, UctTables::SIZE + 100}) {
    TreeSettings settings;
    settings.first_play = 0.9;
    std::vector<ChildStats> children(24);
    for (std::size_t i = 0; i < 12; ++i) {  // the first half tried, the rest untried
      children[i].visits = start_visits / 24 + static_cast<std::uint32_t>(i);
      children[i].wins = children[i].visits * static_cast<std::uint32_t>(i % 5 + 3) / 10;
    }
    auto stats = [&](std::uint32_t i) { return children[i - 10]; };
    std::uint32_t visits = start_visits;
    LastChoice last;
    boost::random::mt19937 engine(5);
    for (int step = 0; step < 3000; ++step, ++visits) {
      std::uint32_t const kept = select_child(10, 24, false, visits, settings, stats, &last);
      ASSERT_EQ(kept, select_child(10, 24, false, visits, settings, stats)) << "step " << step;
      ChildStats& chosen = children[kept - 10];
      ++chosen.visits;
      chosen.wins += engine() % 100 < 30 + 3 * (kept - 10) ? 1 : 0;  // later children win more
    }
  }
}

// A leaf lists only its first few actions: they are those of the whole order, in its order,
// and every other action follows them, at both actions of a turn and at every stage of a game.
TEST(tree_priors, the_first_few_are_those_of_the_whole_order) {
  boost::random::mt19937 rng(77);
  for (int const actions : {0, 1, 2, 9, 20, 31, 44, 61}) {
    Vorak const state = random_game_position(3, rng, actions);
    FastPlayout const p(state);
    FastPlayout::List legal;
    p.legal(state.own_player, legal);
    FastPlayout::List whole = legal;
    order_by_priors(p, state.own_player, whole);
    auto sorted = [](FastPlayout::List const& list) {
      std::vector<FastPlayout::Move> moves;
      for (std::size_t i = 0; i < list.size(); ++i) moves.push_back(list[i]);
      std::sort(moves.begin(), moves.end());
      return moves;
    };
    for (std::size_t const first : {std::size_t{1}, std::size_t{3}, std::size_t{8}, legal.size()}) {
      FastPlayout::List part = legal;
      order_first_by_priors(p, state.own_player, part, first);
      ASSERT_EQ(sorted(part), sorted(legal)) << actions << " actions in, first " << first;
      for (std::size_t i = 0; i < std::min(first, legal.size()); ++i)
        EXPECT_EQ(part[i], whole[i])
            << actions << " actions in, first " << first << ", place " << i;
    }
  }
}

TEST(tree_priors, captures_of_the_scarcest_kind_come_first_and_exposed_stacks_last) {
  // White's Vorak at 85 can take Black's Vorak at 86 (Black's scarcest kind, two left) or,
  // from 00, the Wemm at 01 (three left); a stacking and the pass follow.
  Vorak state = missed_double_capture();
  FastPlayout const p(state);
  FastPlayout::List list;
  p.legal(WHITE, list);
  order_by_priors(p, WHITE, list);
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(text(list[0]), "8586");
  EXPECT_EQ(text(list[1]), "0001");
  // After 85 takes 86, the Vorak on 86 faces Black's Vorak on 87, as high: exposed.
  EXPECT_TRUE(p.facts(list[0]).capture);
  EXPECT_TRUE(p.facts(list[0]).exposed);
  EXPECT_TRUE(p.facts(FastPlayout::make_move(0, 1)).capture);
  Vorak after = state;
  after.execute_move("8586", false);
  FastPlayout const q(after);
  FastPlayout::List seconds;
  q.legal(WHITE, seconds);
  order_by_priors(q, WHITE, seconds);
  EXPECT_EQ(text(seconds[0]), "8687");  // the last Vorak: the scarcest kind, nothing left to take
  EXPECT_EQ(prior_score(q, WHITE, FastPlayout::PASS), 2u);
}

// After a known number of playouts on one thread, in either store: a node has children exactly
// when it has taken expand_after visits besides the one that expanded it, and its visits are
// those it took as a leaf plus its children's; the root's are its children's.
TEST(tree_shape, leaves_grow_after_the_threshold_and_every_visit_is_accounted_for) {
  Vorak const state = played_position_for_trees();
  FastPlayout const start(state);
  TreeSettings settings;
  settings.expand_after = 3;
  settings.solver = false;  // no node stops its visits short
  for (auto const& [priors, widening, first_play] : {std::tuple{false, 1.0, 1.0},
                                                     {true, 1.0, 1.0},
                                                     {false, TreeSettings::EVERY_CHILD, 1.0},
                                                     {true, TreeSettings::EVERY_CHILD, 0.6},
                                                     {true, 1.0, TreeSettings::UNTRIED_FIRST}}) {
    settings.priors = priors;
    settings.widening = widening;
    settings.first_play = first_play;
    auto check = [&](auto& store) {
      Descent<std::remove_reference_t<decltype(store)>> d(store, settings, 7, start,
                                                          state.own_player);
      ASSERT_TRUE(expand_root(store, settings, start, state.own_player));
      // Enough playouts that many nodes pass the visits after which a descent keeps their
      // positions, and some of them share a slot.
      constexpr std::uint32_t PLAYOUTS = 20000;
      for (std::uint32_t i = 0; i < PLAYOUTS; ++i) d.iterate();
      EXPECT_EQ(store.visits(0), PLAYOUTS);
      std::size_t expanded = 0, partial = 0;
      std::function<void(std::uint32_t, FastPlayout const&, Players)> walk =
          [&](std::uint32_t n, FastPlayout const& p, Players mover) {
            NodeView const node = store.view(n);
            std::uint64_t below = 0;
            for (std::uint32_t i = node.first_child; i < node.first_child + node.child_count; ++i) {
              below += store.visits(i);
              FastPlayout q = p;
              q.execute(store.move(i));
              walk(i, q, q.move_count() % 2 == 0 ? opponent_of(mover) : mover);
            }
            if (n == 0) {
              EXPECT_EQ(node.visits, below);
            } else if (node.child_count > 0) {
              ++expanded;
              EXPECT_EQ(node.visits, settings.expand_after + below) << "node " << n;
              // The children are the first of the node's actions in the priors' order: all of
              // them, or as many as the window has wanted yet.
              FastPlayout::List moves;
              p.legal(mover, moves);
              if (settings.priors) order_by_priors(p, mover, moves);
              ASSERT_LE(node.child_count, moves.size());
              for (std::uint32_t k = 0; k < node.child_count; ++k)
                EXPECT_EQ(store.move(node.first_child + k), moves[k]) << "node " << n;
              if (store.partial(n)) {
                ++partial;
                EXPECT_LT(node.child_count, moves.size());
              } else {
                EXPECT_EQ(node.child_count, moves.size()) << "node " << n;
              }
            } else {
              FastPlayout::List moves;
              p.legal(mover, moves);
              if (p.winner() == NONE && !moves.empty()) {  // else a leaf for good
                EXPECT_LE(node.visits, settings.expand_after) << "node " << n;
              }
            }
          };
      walk(0, start, state.own_player);
      EXPECT_GT(expanded, 10u);
      if (store.PARTIAL_LISTS) {
        EXPECT_GT(partial, 0u);
      } else {
        EXPECT_EQ(partial, 0u);
      }
    };
    LocalStore local(1 << 20);
    check(local);
    SharedStore shared(1 << 20);
    check(shared);
    // The local store lists a leaf's first actions only and keeps a node's last choice while it
    // holds; the shared store does neither. From one seed both grow the same tree.
    std::function<void(std::uint32_t, std::uint32_t)> same = [&](std::uint32_t l, std::uint32_t s) {
      NodeView const a = local.view(l), b = shared.view(s);
      ASSERT_EQ(std::tie(a.move, a.visits, a.wins), std::tie(b.move, b.visits, b.wins));
      for (std::uint32_t k = 0; k < b.child_count; ++k)  // what is not listed was never tried
        if (k < a.child_count)
          same(a.first_child + k, b.first_child + k);
        else
          ASSERT_EQ(shared.visits(b.first_child + k), 0u);
    };
    same(0, 0);
  }
}

// Every playout from this position is won by Black, whose actions these are: in both stores the
// back-up credits each of them with every visit.
TEST(tree_backup, credits_the_side_that_played_each_action) {
  for (Parallel parallel : {Parallel::ROOT, Parallel::TREE}) {
    SCOPED_TRACE(parallel_name(parallel));
    Vorak const state = sure_win();
    TreeSearch search(with(parallel));
    search.run(state, {1, 2}, unhurried(), 1500);
    std::uint64_t visits = 0;
    for (ActionStats const& a : search.root_actions()) {
      EXPECT_EQ(a.wins, a.visits) << text(a.move);
      visits += a.visits;
    }
    EXPECT_EQ(visits, 3000u);
    // Below the root, Black's second actions win as well.
    ActionStats const best = best_action(search.root_actions());
    std::vector<ActionStats> const seconds = search.actions_after(best.move);
    ASSERT_FALSE(seconds.empty());
    for (ActionStats const& second : seconds) EXPECT_EQ(second.wins, second.visits);
  }
}

// The root's look-ahead gives up on this position; the tree proves the double capture won, in
// both stores, and plays it.
// The nodes of a search and what each of its threads' descents keeps besides them stay within
// the memory bound together, in both parallel forms.
TEST(tree_memory, the_nodes_and_the_descents_stay_within_the_bound) {
  constexpr std::size_t NODE_BYTES = 16;
  for (Parallel const parallel : {Parallel::ROOT, Parallel::TREE}) {
    TreeSettings settings;
    settings.memory_mb = 2;
    settings.parallel = parallel;
    TreeSearch search(settings);
    for (std::size_t const threads : {1, 4}) {  // more threads than the search before
      search.run(played_position_for_trees(), std::vector<std::uint64_t>(threads, 1), unhurried(),
                 50);
      EXPECT_LE(search.capacity() * NODE_BYTES + threads * Descent<LocalStore>::OWN_BYTES,
                settings.memory_bytes())
          << parallel_name(parallel) << ", " << threads << " threads";
    }
  }
}

TEST(tree_solver, proves_a_double_capture_the_look_ahead_misses) {
  for (Parallel parallel : {Parallel::ROOT, Parallel::TREE}) {
    SCOPED_TRACE(parallel_name(parallel));
    Vorak state = missed_double_capture();
    Decision decision;
    ASSERT_FALSE(FastPlayout(state).lookahead(WHITE, decision));
    TreeEngine engine(3, with(parallel, 2000));
    std::ostringstream report;
    EXPECT_EQ(engine.choose(state, 2, &report), "8586");
    EXPECT_NE(report.str().find("8586 played"), std::string::npos) << report.str();
    EXPECT_NE(report.str().find("(proven)"), std::string::npos) << report.str();
    state.execute_move("8586", false);
    EXPECT_EQ(engine.choose(state, 2, &report), "8687");
  }
}

// White's Vorak on 64 stands between Black's Vorak on 63 and White's last Wemm on 66. Taking
// the Moriel on 84 moves it away, and nothing White can do next closes the line: Black takes the
// Wemm and wins. The solver proves that capture lost for White; taking the Wemm on 01 instead
// keeps the line closed.
TEST(tree_solver, proves_lost_a_capture_that_opens_the_way_to_the_last_wemm) {
  Vorak const state = position(stacks("63Bv3 64Wv4 66Ww 84Bm 00Wm 01Bw 20Wv5 30Wv5 31Wm5 "
                                      "48Bv5 58Bv5 57Bm5 68Bw5"),
                               WHITE, 10);
  for (Parallel parallel : {Parallel::ROOT, Parallel::TREE}) {
    SCOPED_TRACE(parallel_name(parallel));
    TreeSearch search(with(parallel));
    search.run(state, {5, 6}, unhurried(), 3000);
    bool seen = false;
    for (ActionStats const& a : search.root_actions())
      if (text(a.move) == "6484") {
        seen = true;
        EXPECT_EQ(a.proof, PROVEN_LOSS) << a.visits << " visits";
      }
    EXPECT_TRUE(seen);
    EXPECT_NE(text(best_action(search.root_actions()).move), "6484");
  }
}

// A turn whose clock has run out before its first playout still plays two legal actions, the
// first of them the first in the tree's order, in both parallel forms.
TEST(tree_engine, a_turn_without_a_playout_still_plays_legal_actions) {
  for (Parallel parallel : {Parallel::ROOT, Parallel::TREE}) {
    SCOPED_TRACE(parallel_name(parallel));
    Vorak state = played_position_for_trees();
    state.seconds_per_move = 0;
    TreeEngine engine(4, with(parallel));
    std::ostringstream report;
    std::string const first = engine.choose(state, 2, &report);
    EXPECT_EQ(state.playouts, 0u);
    EXPECT_TRUE(contains(legal_actions(state, state.own_player), first)) << first;
    FastPlayout const p(state);
    FastPlayout::List list;
    p.legal(state.own_player, list);
    if (engine.settings().priors) order_by_priors(p, state.own_player, list);
    EXPECT_EQ(first, text(list[0]));
    state.execute_move(first, false);
    std::string const second = engine.choose(state, 2, &report);
    EXPECT_TRUE(contains(legal_actions(state, state.own_player), second)) << second;
  }
}
