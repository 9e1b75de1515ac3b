// The compact playout position the search plays on: the same rules as the state's member
// functions, with moves as small integers and every stack's lines kept up to date as bit sets,
// so that a candidate list is counted and drawn from without being built. For the same draws it
// makes exactly the same moves as the member functions do.
#ifndef DRAVIX_AI_PLAYOUT_H
#define DRAVIX_AI_PLAYOUT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "ai/search_state.h"
#include "game/geometry.h"
#include "game/vorak.h"

class FastPlayout {
 public:
  // Source in the low byte, target in the high byte, each a playable cell number 0 to 59.
  using Move = std::uint16_t;
  static constexpr Move PASS = 0xFFFE;
  static constexpr Move NO_MOVE = 0xFFFF;
  static constexpr int CELLS = geometry::PLAYABLE_CELLS;
  static constexpr std::size_t MAX_MOVES = geometry::PLAYABLE_CELLS * geometry::DIRECTIONS + 1;

  // A move list on the stack, for the tests that compare whole lists.
  class List {
   public:
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    Move operator[](std::size_t i) const { return moves_[i]; }
    void push(Move m) { moves_[size_++] = m; }

   private:
    Move moves_[MAX_MOVES];
    std::size_t size_ = 0;
  };

  explicit FastPlayout(Vorak const& state);

  unsigned short move_count() const { return move_count_; }
  bool opponent_low(Players mover) const {
    Players const other = opponent_of(mover);
    return ::opponent_low(count_[other][VORAK], count_[other][MORIEL], count_[other][WEMM]);
  }
  bool lookahead(Players mover, Decision& decision) const;

  // The step's candidate list in the member functions' order.
  void candidates(Players mover, bool concerned, List& list) const;

  // Draws the step's action from the candidate list with draw_index(engine, size), without
  // building the list. False, without a draw, when there is no candidate.
  bool pick(Players mover, bool concerned, boost::random::mt19937& engine, Move& move) const;

  void execute(Move move);

  static Move make_move(int from, int to) { return static_cast<Move>(from | (to << 8)); }
  static std::string text(Move move);

 private:
  static constexpr int DIRECTIONS = geometry::DIRECTIONS;
  static constexpr int NO_CELL = 63;  // a cell number beyond the board: "no stack there"

  // A stack as one word: its class, owner (Players) times 4 plus top kind (Pieces), in each
  // half of the low byte (so that two cells' classes combine into one table index at once), and
  // its height in the upper half. An empty cell is 0.
  using Cell = std::uint32_t;
  static Cell make_cell(unsigned owner, unsigned kind, unsigned height) {
    return (owner << 2 | kind) * 0x11 | height << 16;
  }
  static unsigned owner_of(Cell c) { return (c & 0xF) >> 2; }
  static unsigned kind_of(Cell c) { return c & 3; }
  static unsigned height_of(Cell c) { return c >> 16; }

  // What the nearest stack along a line is to the stack the line starts from: a capture of an
  // opposing stack of each kind that is not higher, a stacking onto an own stack of each kind,
  // per colour of the source; LINE_NONE for anything else. (An enumeration rather than a plain
  // byte, so that writing one does not make the compiler assume every other array changed.)
  enum LineCode : std::uint8_t { LINE_NONE = 0, LINE_CODES = 13 };
  static int capture_code(Players mover, Pieces target) { return (mover - 1) * 6 + target; }
  static int stacking_code(Players mover, Pieces target) { return (mover - 1) * 6 + 3 + target; }
  static LineCode line_code(Cell from, Cell to);

  // A candidate list as bit sets of sources, one per direction: bit s of by[d] says that the
  // stack on s has an action onto the nearest stack in direction d. The list itself is every
  // such pair, ordered by source cell, then direction: the order of the member functions.
  struct Lines {
    std::uint64_t by[DIRECTIONS];
  };
  struct Census;

  static bool any(Lines const& lines) {
    return (lines.by[0] | lines.by[1] | lines.by[2] | lines.by[3] | lines.by[4] | lines.by[5]) != 0;
  }
  Lines step_lines(Players mover, bool concerned, bool& pass) const;
  // The mover's captures, of every kind or of one.
  Lines captures(Players mover) const;
  Lines captures(Players mover, Pieces kind) const;
  // The i-th action of the list, i below the census's total.
  Move nth(Lines const& lines, Census const& census, std::size_t i) const;
  // Calls f(move) for the actions of the list in order until it returns true.
  template <class F>
  void for_each(Lines const& lines, F&& f) const;

  int nearest(int from, int direction) const;
  // The nearest stack from `from` in direction D among `occupied`, or NO_CELL.
  template <int D>
  static int neighbour(std::uint64_t occupied, int from);
  void set_line(int from, int direction, LineCode code);

  // After the mover's capture m1 (not made on the board), the first capture in list order of
  // an opposing stack whose kind is in `kinds` (a bit per Pieces value), or NO_MOVE.
  Move first_capture_after(Players mover, Move m1, unsigned kinds) const;
  static Players winner(std::uint16_t const (&count)[3][4]);
  std::uint64_t occupied() const { return stacks_[WHITE] | stacks_[BLACK]; }

  // Per playable cell number, and up to NO_CELL, which stands for "no stack".
  Cell cell_[NO_CELL + 1];
  LineCode line_[DIRECTIONS][NO_CELL + 1];  // per direction, the code of each stack's line
  std::uint16_t count_[3][4];               // stacks per [Players][Pieces]
  std::uint64_t stacks_[3];                 // the cells holding each colour's stacks
  std::uint64_t kinds_[3][4];               // the same per [Players][Pieces] of the top piece
  // Per direction and line code, the stacks whose line in that direction has that code. Code
  // LINE_NONE collects whatever has no action and is never read; the cells emptied since are
  // left in the others and masked out by the stacks of the colour asked for.
  std::uint64_t lines_[DIRECTIONS][LINE_CODES];
  std::uint16_t move_count_;
};

#endif
