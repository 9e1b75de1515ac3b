// The rules against a second, deliberately plain rendering of them on many random positions:
// the same legal moves in the same order, the same results of executing them, and tallies that
// always agree with the board.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "game/vorak.h"
#include "tests/support/positions.h"
#include "tests/support/state_checks.h"

using namespace support;

namespace {

// ---- The reference: written from the rules, sharing nothing with game/ but the data. ----
namespace reference {

bool inside(int row, int column) {
  return row >= 0 && row < 9 && column >= 0 && column < 9;
}

bool blocked(int row, int column) {
  int const diff = row - column;
  return (row == 4 && column == 4) || diff > 4 || diff < -4;
}

bool is_stack(Entry const& e) {
  return e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM;
}

unsigned short& tally(Vorak& v, Players owner, Pieces piece) {
  bool const white = owner == WHITE;
  if (piece == WEMM) return white ? v.white_wemms : v.black_wemms;
  if (piece == MORIEL) return white ? v.white_moriels : v.black_moriels;
  return white ? v.white_voraks : v.black_voraks;
}

unsigned short tally(Vorak const& v, Players owner, Pieces piece) {
  return tally(const_cast<Vorak&>(v), owner, piece);
}

bool legal(Vorak const& v, int sr, int sc, int tr, int tc, int step, int action) {
  Entry const& s = v.board[sr][sc];
  Entry const& t = v.board[tr][tc];
  if (t.owner != s.owner) {
    if (action > 4) return false;
    if (action == CAPTURE_VORAK && t.piece != VORAK) return false;
    if (action == CAPTURE_MORIEL && t.piece != MORIEL) return false;
    if (action == CAPTURE_WEMM && t.piece != WEMM) return false;
    return t.height <= s.height;
  }
  if (step != 2 || !is_stack(t)) return false;
  int const n = tally(v, t.owner, t.piece);
  // Each stacking category: the kinds that may move (bits by kind) and the target's tally it needs.
  struct Stacking {
    int action, movers, tally;
  };
  int const V = 1 << VORAK, M = 1 << MORIEL, W = 1 << WEMM;
  Stacking const rules[] = {{ANY, V | M | W, 2},        {STACK_STRONG_PLENTY, V | M, 7},
                            {STACK_VORAK_PLENTY, V, 7}, {STACK_MORIEL_PLENTY, M, 7},
                            {STACK_WEMM_PLENTY, W, 7},  {STACK_VORAK, V, 2},
                            {STACK_MORIEL, M, 2},       {STACK_WEMM, W, 2}};
  for (Stacking const& r : rules)
    if (r.action == action) return (r.movers >> s.piece & 1) && n >= r.tally;
  return false;
}

void piece_moves(Vorak const& v, int row, int column, int step, int action, Moves& out) {
  int const dr[6] = {1, -1, 0, 0, 1, -1};
  int const dc[6] = {0, 0, 1, -1, 1, -1};
  for (int d = 0; d < 6; ++d) {
    int r = row + dr[d], c = column + dc[d];
    while (inside(r, c) && v.board[r][c].piece == BLANK) {
      r += dr[d];
      c += dc[d];
    }
    if (!inside(r, c) || v.board[r][c].piece == BLOCK) continue;
    if (legal(v, row, column, r, c, step, action))
      out.push_back(std::to_string(row) + std::to_string(column) + std::to_string(r) +
                    std::to_string(c));
  }
}

Moves sweep(Vorak const& v, Players player, int step, int action) {
  Moves out;
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) {
      Entry const& e = v.board[r][c];
      if (e.piece != BLANK && e.piece != BLOCK && e.owner == player)
        piece_moves(v, r, c, step, action, out);
    }
  return out;
}

Moves candidates(Vorak const& v, Players player, int step) {
  Moves out;
  if (step == 1) {
    for (int action : {CAPTURE_VORAK, CAPTURE_MORIEL, CAPTURE_WEMM})
      if (out.empty()) out = sweep(v, player, 1, action);
    return out;
  }
  out = sweep(v, player, 2, STACK_STRONG_PLENTY);
  if (out.empty()) out = sweep(v, player, 2, ANY);
  out.push_back("");
  return out;
}

void execute(Vorak& v, std::string const& move) {
  v.move_count = v.move_count == 0 ? 2 : static_cast<unsigned short>(v.move_count + 1);
  if (move.empty()) return;
  int const sr = move[0] - '0', sc = move[1] - '0', tr = move[2] - '0', tc = move[3] - '0';
  Entry const lifted = v.board[sr][sc];
  Entry& target = v.board[tr][tc];
  v.board[sr][sc] = Entry{NONE, BLANK, 0};
  --tally(v, target.owner, target.piece);
  if (lifted.owner == target.owner) {
    target.piece = lifted.piece;
    target.height = static_cast<unsigned short>(target.height + lifted.height);
  } else {
    target = lifted;
  }
}

// Whose action it is: White alone opens the game, then the colours alternate by turns of two.
Players mover(Vorak const& v) {
  return (v.move_count / 2) % 2 == 1 ? BLACK : WHITE;
}
int step(Vorak const& v) {
  return v.move_count % 2 == 1 ? 2 : 1;
}

}  // namespace reference

// Random positions, written as a board description so that reading one is checked too.
// Densities, the mix of kinds and colours, and stack heights all vary from one to the next.
class Positions {
 public:
  explicit Positions(unsigned seed) : rng_(seed) {}

  Vorak next(std::string* text_out = nullptr) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double const density = 0.05 + 0.9 * unit(rng_);
    double const white_share = 0.15 + 0.7 * unit(rng_);
    std::discrete_distribution<int> kind({0.05 + unit(rng_), 0.05 + unit(rng_), 0.05 + unit(rng_)});
    std::uniform_int_distribution<int> height(1, 1 + static_cast<int>(rng_() % 6));
    char const* const names[] = {"Vorak", "Moriel", "Wemm"};

    Vorak expected(1);
    std::string text;
    for (int r = 0; r < 9; ++r)
      for (int c = 0; c < 9; ++c) {
        if (reference::blocked(r, c)) {
          expected.board[r][c] = Entry{NONE, BLOCK, 0};
          continue;
        }
        if (!text.empty()) text += ",";
        if (unit(rng_) >= density) {
          text += "{}";
          expected.board[r][c] = Entry{NONE, BLANK, 0};
          continue;
        }
        bool const white = unit(rng_) < white_share;
        int const top = kind(rng_), h = height(rng_);
        text += white ? "{WHITE" : "{BLACK";
        for (int i = 0; i < h; ++i) text += std::string(",") + names[i == 0 ? top : kind(rng_)];
        text += "}";
        Entry const e{white ? WHITE : BLACK, static_cast<Pieces>(VORAK + top),
                      static_cast<unsigned short>(h)};
        expected.board[r][c] = e;
        ++reference::tally(expected, e.owner, e.piece);
      }

    if (text_out) *text_out = text;
    Vorak v(1);
    v.create_board(text);
    EXPECT_EQ(state_difference(v, expected), "");
    return v;
  }

  // Tallies the board does not bear out, to push the stacking thresholds both ways.
  void scramble_tallies(Vorak& v) {
    std::uniform_int_distribution<int> count(0, 16);
    for (unsigned short* t : {&v.white_voraks, &v.white_moriels, &v.white_wemms, &v.black_voraks,
                              &v.black_moriels, &v.black_wemms})
      *t = static_cast<unsigned short>(count(rng_));
  }

  std::mt19937& rng() { return rng_; }

 private:
  std::mt19937 rng_;
};

}  // namespace

TEST(rules_against_reference, every_category_step_and_colour) {
  Positions positions(20240611);
  int compared = 0, nonempty = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string text;
    Vorak v = positions.next(&text);
    if (i % 3 == 0) positions.scramble_tallies(v);
    SCOPED_TRACE(testing::Message() << "position " << i << ": " << text);
    for (Players player : {WHITE, BLACK})
      for (unsigned short step : {1, 2}) {
        for (int action = ANY; action <= STACK_STRONG_PLENTY; ++action) {
          Moves moves;
          v.get_moves_by_action(moves, player, step, static_cast<Actions>(action));
          ASSERT_EQ(moves, reference::sweep(v, player, step, action))
              << "player " << player << ", step " << step << ", category " << action;
          ++compared;
          nonempty += moves.empty() ? 0 : 1;
        }
        Moves moves;
        v.get_moves(moves, player, step);
        ASSERT_EQ(moves, reference::candidates(v, player, step))
            << "player " << player << ", step " << step;
      }
  }
  // The positions must exercise the rules, not just produce empty lists.
  EXPECT_GT(nonempty, compared / 2);
}

TEST(rules_against_reference, legality_of_any_pair_of_stacks) {
  Positions positions(77);
  for (int i = 0; i < 300; ++i) {
    Vorak v = positions.next();
    if (i % 2 == 0) positions.scramble_tallies(v);
    std::vector<std::pair<int, int>> stacks;
    for (int r = 0; r < 9; ++r)
      for (int c = 0; c < 9; ++c)
        if (reference::is_stack(v.board[r][c])) stacks.emplace_back(r, c);
    if (stacks.size() < 2) continue;
    std::uniform_int_distribution<std::size_t> pick(0, stacks.size() - 1);
    for (int k = 0; k < 40; ++k) {
      auto const [sr, sc] = stacks[pick(positions.rng())];
      auto const [tr, tc] = stacks[pick(positions.rng())];
      if (sr == tr && sc == tc) continue;
      for (unsigned short step : {1, 2})
        for (int action = ANY; action <= STACK_STRONG_PLENTY; ++action) {
          bool valid = false;
          v.is_move_valid(valid, sr, sc, tr, tc, step, static_cast<Actions>(action));
          ASSERT_EQ(valid, reference::legal(v, sr, sc, tr, tc, step, action))
              << "position " << i << ", " << sr << sc << tr << tc << ", step " << step
              << ", category " << action;
        }
    }
  }
}

// Whole random games: every action comes from the candidate list, and after each one the
// position matches the reference's, the tallies match a recount, and the blocked cells hold.
TEST(random_games, tallies_follow_the_board) {
  Positions positions(4242);
  int actions = 0, captures = 0, stackings = 0, passes = 0;
  for (int game = 0; game < 1000; ++game) {
    std::string text;
    Vorak v = positions.next(&text);
    Vorak expected(v);
    SCOPED_TRACE(testing::Message() << "game " << game << ": " << text);
    for (int turn = 0; turn < 400 && v.is_game_over() == NONE; ++turn) {
      Players const player = reference::mover(v);
      int const step = reference::step(v);
      Moves moves;
      v.get_moves(moves, player, step);
      ASSERT_EQ(moves, reference::candidates(v, player, step)) << "action " << turn;
      if (moves.empty()) break;
      std::string const move =
          moves[std::uniform_int_distribution<std::size_t>(0, moves.size() - 1)(positions.rng())];
      if (move.empty())
        ++passes;
      else if (v.board[move[0] - '0'][move[1] - '0'].owner ==
               v.board[move[2] - '0'][move[3] - '0'].owner)
        ++stackings;
      else
        ++captures;

      v.execute_move(move, false);
      reference::execute(expected, move);
      ++actions;
      ASSERT_EQ(state_difference(v, expected), "") << "after " << move << ", action " << turn;
      ASSERT_EQ(soundness_fault(v), "") << "after " << move << ", action " << turn;
    }
  }
  // Sanity of the workload itself: all three kinds of action were played many times.
  EXPECT_GT(captures, 3000) << actions << " actions";
  EXPECT_GT(stackings, 500) << actions << " actions";
  EXPECT_GT(passes, 100) << actions << " actions";
}
