// The state itself: construction and copying, the printed forms of a cell, the board and the
// tallies, the game-over rule, and reading the server's board description.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "game/vorak.h"
#include "tests/support/expect.h"
#include "tests/support/positions.h"

using namespace support;

namespace {

// Written out rather than computed, so a slip in the board geometry cannot hide here.
std::vector<std::pair<int, int>> const kBlockedCells = {
    {4, 4}, {0, 5}, {0, 6}, {0, 7}, {0, 8}, {1, 6}, {1, 7}, {1, 8}, {2, 7}, {2, 8}, {3, 8},
    {5, 0}, {6, 0}, {6, 1}, {7, 0}, {7, 1}, {7, 2}, {8, 0}, {8, 1}, {8, 2}, {8, 3}};

bool is_blocked(int row, int column) {
  for (auto const& [r, c] : kBlockedCells)
    if (r == row && c == column) return true;
  return false;
}

std::vector<std::pair<int, int>> playable_cells() {
  std::vector<std::pair<int, int>> cells;
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c)
      if (!is_blocked(r, c)) cells.emplace_back(r, c);
  return cells;
}

// The body of a board description: the given groups, then empty groups up to `total`.
std::string description(std::vector<std::string> groups, std::size_t total = 60) {
  while (groups.size() < total) groups.push_back("{}");
  std::string text;
  for (std::size_t i = 0; i < groups.size(); ++i) text += (i == 0 ? "" : ",") + groups[i];
  return text;
}

Vorak parsed(std::string text) {
  Vorak v(5);
  v.create_board(text);
  return v;
}

void expect_blocked_cells(Vorak const& v) {
  for (auto const& [r, c] : kBlockedCells) {
    SCOPED_TRACE(testing::Message() << "cell " << r << "," << c);
    expect_entry(v.board[r][c], NONE, BLOCK, 0);
  }
}

std::vector<std::string> lines_of(std::string const& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string captured(void (Vorak::*print)() const, Vorak const& v) {
  return output_of([&] { (v.*print)(); });
}

}  // namespace

TEST(state, copy_carries_everything_and_shares_nothing) {
  Vorak original = parsed(description({"{WHITE,Vorak}", "{BLACK,Wemm}"}));
  original.own_player = BLACK;
  original.playouts = 70000;
  original.wins = 40000;
  original.losses = 30000;
  original.execute_move("", false);

  Vorak copy(original);
  EXPECT_EQ(copy.move_count, 2);
  EXPECT_EQ(copy.own_player, BLACK);
  EXPECT_EQ(copy.playouts, 70000u);
  EXPECT_EQ(copy.wins, 40000u);
  EXPECT_EQ(copy.losses, 30000u);
  EXPECT_EQ(tallies(copy), tallies(original));
  expect_entry(copy.board[0][1], BLACK, WEMM, 1);

  // An action on the copy leaves the original as it was, and the other way round.
  copy.execute_move("0001", false);
  EXPECT_EQ(original.move_count, 2);
  EXPECT_EQ(original.black_wemms, 1);
  expect_entry(original.board[0][0], WHITE, VORAK, 1);
  expect_entry(original.board[0][1], BLACK, WEMM, 1);

  original.execute_move("0100", false);
  expect_entry(copy.board[0][0], NONE, BLANK, 0);
  expect_entry(copy.board[0][1], WHITE, VORAK, 1);
  EXPECT_EQ(copy.white_voraks, 1);
  EXPECT_EQ(copy.move_count, 3);

  Vorak assigned(1);
  assigned = copy;
  copy.board[0][1].height = 9;
  EXPECT_EQ(assigned.board[0][1].height, 1);
}

TEST(cell_text, examples_and_every_name) {
  Vorak v = parsed(description({}));
  v.board[2][5] = Entry{WHITE, MORIEL, 3};
  EXPECT_EQ(v.get_text_entry(2, 5), "2,5: WHITE,Moriel,3");
  EXPECT_EQ(v.get_text_entry(4, 4), "4,4: NONE,BLOCK,0");
  EXPECT_EQ(v.get_text_entry(7, 3), "7,3: NONE,BLANK,0");
  EXPECT_EQ(v.get_text_entry(0, 8), "0,8: NONE,BLOCK,0");
  place(v, {{8, 8, BLACK, WEMM, 12}, {0, 0, BLACK, VORAK, 1}, {6, 7, WHITE, VORAK, 65535}});
  EXPECT_EQ(v.get_text_entry(8, 8), "8,8: BLACK,Wemm,12");
  EXPECT_EQ(v.get_text_entry(0, 0), "0,0: BLACK,Vorak,1");
  EXPECT_EQ(v.get_text_entry(6, 7), "6,7: WHITE,Vorak,65535");
}

TEST(cell_text, values_outside_the_enumerations_add_nothing) {
  Vorak v = parsed(description({}));
  v.board[1][1] = Entry{static_cast<Players>(7), VORAK, 1};
  v.board[1][2] = Entry{WHITE, static_cast<Pieces>(9), 2};
  EXPECT_EQ(v.get_text_entry(1, 1), "1,1: ,Vorak,1");
  EXPECT_EQ(v.get_text_entry(1, 2), "1,2: WHITE,2");
}

TEST(board_listing, all_81_cells_in_canonical_order) {
  Vorak v = parsed(description({"{WHITE,Vorak}", "{BLACK,Moriel,Wemm}"}));
  v.board[8][8] = Entry{BLACK, WEMM, 4};
  std::string const out = captured(&Vorak::print_board_state, v);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '\n');
  std::vector<std::string> lines = lines_of(out);
  ASSERT_EQ(lines.size(), 82u);
  EXPECT_EQ(lines[0], "Current Board:");
  EXPECT_EQ(lines[1], "0,0: WHITE,Vorak,1");
  EXPECT_EQ(lines[2], "0,1: BLACK,Moriel,2");
  EXPECT_EQ(lines[3], "0,2: NONE,BLANK,0");
  EXPECT_EQ(lines[6], "0,5: NONE,BLOCK,0");
  EXPECT_EQ(lines[1 + 4 * 9 + 4], "4,4: NONE,BLOCK,0");
  EXPECT_EQ(lines[81], "8,8: BLACK,Wemm,4");
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c)
      EXPECT_EQ(lines[1 + r * 9 + c].rfind(std::to_string(r) + "," + std::to_string(c) + ": ", 0),
                0u);
}

TEST(tallies, printed_in_columns_that_narrow_at_ten_white_wemms) {
  std::pair<Tallies, char const*> const cases[] = {
      {{2, 5, 12, 3, 4, 9}, "Voraks:  W2  B3\nMoriels: W5  B4\nWemms:   W12 B9\n"},
      {{10, 11, 9, 0, 0, 7}, "Voraks:  W10  B0\nMoriels: W11  B0\nWemms:   W9  B7\n"},
      {{1, 1, 10, 15, 16, 100}, "Voraks:  W1  B15\nMoriels: W1  B16\nWemms:   W10 B100\n"}};
  Vorak v(1);
  for (auto const& [t, text] : cases) {
    set_tallies(v, t);
    EXPECT_EQ(captured(&Vorak::print_piece_counts, v), std::string("Current Totals:\n") + text);
  }
}

TEST(game_over, white_is_tested_first) {
  std::pair<Tallies, Players> const cases[] = {
      {{1, 1, 1, 1, 1, 1}, NONE},  {{3, 0, 3, 3, 3, 3}, BLACK}, {{3, 0, 3, 0, 0, 0}, BLACK},
      {{0, 3, 3, 3, 3, 3}, BLACK}, {{3, 3, 0, 3, 3, 0}, BLACK}, {{3, 3, 3, 3, 3, 0}, WHITE},
      {{3, 3, 3, 0, 3, 3}, WHITE}, {{3, 3, 3, 3, 0, 3}, WHITE}};
  Vorak v(1);
  for (auto const& [t, winner] : cases) {
    set_tallies(v, t);
    EXPECT_EQ(v.is_game_over(), winner) << testing::PrintToString(t);
  }
}

TEST(board_description, worked_example) {
  std::string text = description(
      {"{WHITE,Vorak}", "{}", "{BLACK,Wemm,Wemm,Moriel}", "{WHITE,Moriel}", "{BLACK,Vorak}"});
  Vorak v(3);
  v.create_board(text);

  // The caller's string is left in its rewritten form: braces gone, groups split by "{".
  EXPECT_EQ(text,
            "WHITE,Vorak{{BLACK,Wemm,Wemm,Moriel{WHITE,Moriel{BLACK,Vorak" + std::string(55, '{'));

  expect_stacks(v, "00Wv 02Bw3 03Wm 04Bv");
  expect_entry(v.board[0][1], NONE, BLANK, 0);
  EXPECT_EQ(tallies(v), (Tallies{1, 1, 0, 1, 0, 1}));
  for (auto const& [r, c] : playable_cells())
    if (r > 0) expect_entry(v.board[r][c], NONE, BLANK, 0);
  expect_blocked_cells(v);
  // Only the board and the tallies belong to the description.
  EXPECT_EQ(v.move_count, 0);
  EXPECT_EQ(v.seconds_per_move, 3);
}

TEST(board_description, every_group_lands_on_its_cell_in_canonical_order) {
  char const* const owners[] = {"WHITE", "BLACK"};
  char const* const names[] = {"Vorak", "Moriel", "Wemm"};
  Pieces const pieces[] = {VORAK, MORIEL, WEMM};
  std::vector<std::string> groups;
  Tallies expected{};
  for (int i = 0; i < 60; ++i) {
    int const owner = i % 2, kind = (i / 2) % 3, height = 1 + i % 5;
    std::string group = std::string("{") + owners[owner];
    for (int h = 0; h < height; ++h) group += std::string(",") + names[h == 0 ? kind : 2 - kind];
    groups.push_back(group + "}");
    ++expected[owner * 3 + kind];
  }
  Vorak v = parsed(description(groups));
  std::vector<std::pair<int, int>> const cells = playable_cells();
  ASSERT_EQ(cells.size(), 60u);
  for (int i = 0; i < 60; ++i) {
    SCOPED_TRACE(testing::Message() << "group " << i);
    expect_entry(v.board[cells[i].first][cells[i].second], i % 2 == 0 ? WHITE : BLACK,
                 pieces[(i / 2) % 3], static_cast<unsigned short>(1 + i % 5));
  }
  EXPECT_EQ(tallies(v), expected);
  expect_blocked_cells(v);
}

TEST(board_description, sixty_empty_groups) {
  Vorak v = parsed(description({}));
  for (auto const& [r, c] : playable_cells()) expect_entry(v.board[r][c], NONE, BLANK, 0);
  expect_blocked_cells(v);
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 0, 0, 0, 0}));
}

TEST(board_description, blocked_cells_whatever_was_there) {
  Vorak v(1);
  for (auto const& [r, c] : kBlockedCells) v.board[r][c] = Entry{WHITE, MORIEL, 2};
  std::string text = description({"{WHITE,Vorak}"});
  v.create_board(text);
  expect_blocked_cells(v);
  EXPECT_EQ(v.get_text_entry(4, 4), "4,4: NONE,BLOCK,0");
  EXPECT_EQ(v.get_text_entry(0, 8), "0,8: NONE,BLOCK,0");
}

TEST(board_description, white_space_around_is_ignored) {
  std::string const plain = description({"{WHITE,Vorak}", "{}", "{BLACK,Wemm,Moriel}"});
  Vorak a = parsed(plain);
  Vorak b = parsed(" \t\r\n" + plain + "\r\n  ");
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) {
      SCOPED_TRACE(testing::Message() << "cell " << r << "," << c);
      expect_entry(b.board[r][c], a.board[r][c].owner, a.board[r][c].piece, a.board[r][c].height);
    }
  EXPECT_EQ(tallies(b), tallies(a));
  expect_entry(b.board[0][0], WHITE, VORAK, 1);
  expect_entry(b.board[0][2], BLACK, WEMM, 2);
}

TEST(board_description, names_are_read_exactly) {
  Vorak v = parsed(description({"{white,Moriel}", "{ WHITE,Wemm}", "{WHITE,wemm}",
                                "{WHITE,Moriel }", "{WHITE,Stone,Moriel}", "{Grey,Wemm}"}));
  expect_stacks(v, "00Bm 01Bw 02Wv 03Wv 04Wv2 10Bw");
  EXPECT_EQ(tallies(v), (Tallies{3, 0, 0, 0, 1, 2}));
}

TEST(board_description, texts_beyond_the_sixtieth_are_ignored) {
  std::vector<std::string> groups(60, "{}");
  groups.push_back("{WHITE,Vorak}");
  groups.push_back("{BLACK,Wemm}");
  Vorak v = parsed(description(groups));
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 0, 0, 0, 0}));
  for (auto const& [r, c] : playable_cells()) expect_entry(v.board[r][c], NONE, BLANK, 0);
}

TEST(cell_group, reads_one_group_and_raises_one_tally) {
  Vorak v(1);
  expect_entry(v.get_entry(""), NONE, BLANK, 0);
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 0, 0, 0, 0}));

  expect_entry(v.get_entry("BLACK,Wemm,Wemm,Moriel"), BLACK, WEMM, 3);
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 0, 0, 0, 1}));
  expect_entry(v.get_entry("WHITE,Moriel,Vorak"), WHITE, MORIEL, 2);
  expect_entry(v.get_entry("WHITE,Moriel"), WHITE, MORIEL, 1);
  expect_entry(v.get_entry("BLACK,Vorak,Wemm,Wemm,Wemm"), BLACK, VORAK, 4);
  EXPECT_EQ(tallies(v), (Tallies{0, 2, 0, 1, 0, 1}));
}

// A short description cannot leave a cell of an earlier position behind, nor read past the
// groups it has.
TEST(board_description, fewer_than_sixty_groups_leave_the_rest_empty) {
  std::vector<std::string> full(60, "{WHITE,Wemm,Vorak}");
  Vorak v = parsed(description(full));
  ASSERT_EQ(v.white_wemms, 60);

  std::string text = "{BLACK,Moriel},{},{WHITE,Vorak,Vorak}";
  v.create_board(text);
  expect_entry(v.board[0][0], BLACK, MORIEL, 1);
  expect_entry(v.board[0][1], NONE, BLANK, 0);
  expect_entry(v.board[0][2], WHITE, VORAK, 2);
  for (auto const& [r, c] : playable_cells())
    if (r > 0 || c > 2) expect_entry(v.board[r][c], NONE, BLANK, 0);
  expect_blocked_cells(v);
  EXPECT_EQ(tallies(v), (Tallies{1, 0, 0, 0, 1, 0}));

  for (std::string empty : {std::string(), std::string("  \n")}) {
    v.create_board(empty);
    for (auto const& [r, c] : playable_cells()) expect_entry(v.board[r][c], NONE, BLANK, 0);
    EXPECT_EQ(tallies(v), (Tallies{0, 0, 0, 0, 0, 0}));
  }
}

TEST(board_description, owner_without_a_piece_is_an_empty_cell) {
  Vorak v = parsed(description({"{WHITE}", "{BLACK}", "{WHITE,Wemm}"}));
  expect_entry(v.board[0][0], NONE, BLANK, 0);
  expect_entry(v.board[0][1], NONE, BLANK, 0);
  expect_entry(v.board[0][2], WHITE, WEMM, 1);
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 1, 0, 0, 0}));

  expect_entry(v.get_entry("BLACK"), NONE, BLANK, 0);
  EXPECT_EQ(tallies(v), (Tallies{0, 0, 1, 0, 0, 0}));
}

TEST(board_description, second_description_counts_from_zero) {
  Vorak v = parsed(description({"{WHITE,Vorak}", "{WHITE,Vorak}", "{BLACK,Wemm}"}));
  ASSERT_EQ(tallies(v), (Tallies{2, 0, 0, 0, 0, 1}));
  std::string again = description({"{WHITE,Vorak}", "{BLACK,Moriel}"});
  v.create_board(again);
  EXPECT_EQ(tallies(v), (Tallies{1, 0, 0, 0, 1, 0}));
  expect_entry(v.board[0][2], NONE, BLANK, 0);
}
