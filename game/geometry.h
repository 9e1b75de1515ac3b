// Board geometry as compile-time tables: playable cells, directions and the rays move
// generation walks. Cells are numbered row * 9 + column, which is the canonical order.
#ifndef DRAVIX_GAME_GEOMETRY_H
#define DRAVIX_GAME_GEOMETRY_H

#include <array>
#include <cstdint>

namespace geometry {

constexpr int SIZE = 9;
constexpr int CELLS = SIZE * SIZE;
constexpr int PLAYABLE_CELLS = 60;
constexpr int DIRECTIONS = 6;
constexpr std::uint8_t NO_CELL = 0xFF;  // ray terminator

// Direction order of the line scan: (+1,0), (-1,0), (0,+1), (0,-1), (+1,+1), (-1,-1).
constexpr int ROW_STEP[DIRECTIONS] = {+1, -1, 0, 0, +1, -1};
constexpr int COLUMN_STEP[DIRECTIONS] = {0, 0, +1, -1, +1, -1};

constexpr bool is_playable(int row, int column) {
  if (row < 0 || row >= SIZE || column < 0 || column >= SIZE) return false;
  int diff = row - column;
  if (diff < -4 || diff > 4) return false;
  return !(row == 4 && column == 4);
}

constexpr int cell(int row, int column) {
  return row * SIZE + column;
}
constexpr int row_of(int c) {
  return c / SIZE;
}
constexpr int column_of(int c) {
  return c % SIZE;
}

constexpr std::array<std::uint8_t, PLAYABLE_CELLS> make_playable_list() {
  std::array<std::uint8_t, PLAYABLE_CELLS> list{};
  int n = 0;
  for (int r = 0; r < SIZE; ++r)
    for (int c = 0; c < SIZE; ++c)
      if (is_playable(r, c)) list[n++] = static_cast<std::uint8_t>(cell(r, c));
  return list;
}

// The 60 playable cells in canonical order.
constexpr std::array<std::uint8_t, PLAYABLE_CELLS> PLAYABLE = make_playable_list();

constexpr int count_playable() {
  int n = 0;
  for (int r = 0; r < SIZE; ++r)
    for (int c = 0; c < SIZE; ++c) n += is_playable(r, c) ? 1 : 0;
  return n;
}
static_assert(count_playable() == PLAYABLE_CELLS);

// RAYS[c][d] lists the cells met stepping from c in direction d, up to the first cell that
// is off the array or blocked (exclusive), then NO_CELL. A line can never pass a blocked
// cell, so nothing beyond one matters to move generation.
using Ray = std::array<std::uint8_t, SIZE>;
using RayTable = std::array<std::array<Ray, DIRECTIONS>, CELLS>;

constexpr RayTable make_rays() {
  RayTable rays{};
  for (int c = 0; c < CELLS; ++c) {
    for (int d = 0; d < DIRECTIONS; ++d) {
      int n = 0;
      int r = row_of(c) + ROW_STEP[d];
      int col = column_of(c) + COLUMN_STEP[d];
      while (is_playable(r, col)) {
        rays[c][d][n++] = static_cast<std::uint8_t>(cell(r, col));
        r += ROW_STEP[d];
        col += COLUMN_STEP[d];
      }
      while (n < SIZE) rays[c][d][n++] = NO_CELL;
    }
  }
  return rays;
}

constexpr RayTable RAYS = make_rays();
static_assert(RAYS[cell(3, 3)][4][0] == NO_CELL, "the centre stops a diagonal");
static_assert(RAYS[cell(0, 0)][1][0] == NO_CELL, "row 0 has no cell above");

// The 60 playable cells numbered 0 to 59 in canonical order, so that a set of cells fits one
// 64-bit word and increasing bit order is the canonical order.
constexpr std::array<std::uint8_t, CELLS> make_playable_index() {
  std::array<std::uint8_t, CELLS> index{};
  for (int c = 0; c < CELLS; ++c) index[c] = NO_CELL;
  for (int p = 0; p < PLAYABLE_CELLS; ++p) index[PLAYABLE[p]] = static_cast<std::uint8_t>(p);
  return index;
}

constexpr std::array<std::uint8_t, CELLS> PLAYABLE_INDEX = make_playable_index();

// RAY_BITS[p][d] holds the playable numbers of the cells of the ray from playable cell p in
// direction d. Directions 0, 2 and 4 step to higher numbers, so the nearest cell of a ray is
// its lowest bit; for 1, 3 and 5 its highest.
using RayBitTable = std::array<std::array<std::uint64_t, DIRECTIONS>, PLAYABLE_CELLS>;

constexpr RayBitTable make_ray_bits() {
  RayBitTable bits{};
  for (int p = 0; p < PLAYABLE_CELLS; ++p)
    for (int d = 0; d < DIRECTIONS; ++d)
      for (std::uint8_t t : RAYS[PLAYABLE[p]][d])
        if (t != NO_CELL) bits[p][d] |= std::uint64_t{1} << PLAYABLE_INDEX[t];
  return bits;
}

constexpr RayBitTable RAY_BITS = make_ray_bits();

// DIRECTION_TO[p][q] is the direction of the ray from playable cell p that holds playable cell
// q, or -1 when none does.
using DirectionTable = std::array<std::array<std::int8_t, PLAYABLE_CELLS>, PLAYABLE_CELLS>;

constexpr DirectionTable make_direction_to() {
  DirectionTable to{};
  for (int p = 0; p < PLAYABLE_CELLS; ++p)
    for (int q = 0; q < PLAYABLE_CELLS; ++q) {
      to[p][q] = -1;
      for (int d = 0; d < DIRECTIONS; ++d)
        if ((RAY_BITS[p][d] >> q) & 1) to[p][q] = static_cast<std::int8_t>(d);
    }
  return to;
}

constexpr DirectionTable DIRECTION_TO = make_direction_to();
static_assert(DIRECTION_TO[PLAYABLE_INDEX[cell(0, 0)]][PLAYABLE_INDEX[cell(3, 3)]] == 4,
              "up the diagonal is direction 4");
static_assert(DIRECTION_TO[PLAYABLE_INDEX[cell(5, 3)]][PLAYABLE_INDEX[cell(5, 1)]] == 3,
              "back along a row is direction 3");
static_assert(DIRECTION_TO[PLAYABLE_INDEX[cell(3, 3)]][PLAYABLE_INDEX[cell(5, 5)]] == -1,
              "no ray crosses the centre");
static_assert(DIRECTION_TO[PLAYABLE_INDEX[cell(0, 0)]][PLAYABLE_INDEX[cell(1, 2)]] == -1,
              "a knight's step is on no ray");

// The nearest occupied cell from playable cell p in direction D, or -1 when there is none.
template <int D>
inline int nearest(std::uint64_t occupied, int p) {
  std::uint64_t const hit = RAY_BITS[p][D] & occupied;
  if (!hit) return -1;
  return (D % 2 == 0) ? __builtin_ctzll(hit) : 63 - __builtin_clzll(hit);
}

// Number of playable cells of a row: a cell's index within its row is below it.
constexpr int row_length(int row) {
  int n = 0;
  for (int c = 0; c < SIZE; ++c) n += is_playable(row, c) ? 1 : 0;
  return n;
}

// Server-notation index of a playable cell within its row, and back. Neither checks its cell:
// the index of a column off the row may be negative.
constexpr int index_in_row(int row, int column) {
  if (row == 4) return column >= 4 ? column - 1 : column;
  if (row > 4) return column - (row - 4);
  return column;
}
constexpr int column_in_row(int row, int index) {
  if (row == 4) return index >= 4 ? index + 1 : index;
  if (row > 4) return index + (row - 4);
  return index;
}

// Every playable cell has an index below its row's length, and the index leads back to it.
constexpr bool row_indices_round_trip() {
  for (int r = 0; r < SIZE; ++r)
    for (int c = 0; c < SIZE; ++c) {
      if (!is_playable(r, c)) continue;
      int const i = index_in_row(r, c);
      if (i < 0 || i >= row_length(r) || column_in_row(r, i) != c) return false;
    }
  return true;
}
static_assert(row_indices_round_trip());
static_assert(column_in_row(4, 3) == 3 && column_in_row(4, 4) == 5, "row 4 skips the centre");
static_assert(column_in_row(8, 0) == 4 && column_in_row(8, 4) == 8, "row 8 starts at column 4");

}  // namespace geometry

#endif
