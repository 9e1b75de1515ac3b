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

  // Every legal action of the mover now, in list order: any capture to open a turn; as the
  // second action any capture, any stacking that keeps a stack of the covered kind, then the
  // pass.
  void legal(Players mover, List& list) const {
    candidates(mover, true, list);
    if (move_count_ % 2 == 1) list.push(PASS);
  }
  // The colour that has won by elimination, or NONE while both have every kind.
  Players winner() const { return winner(count_); }

  void execute(Move move);

  // What the tree search's priors read of one of the mover's actions (not the pass); the
  // exposure, the dear part, only when asked for (else false).
  struct ActionFacts {
    bool capture = false;
    Pieces target = BLANK;  // the kind of the stack it lands on
    // Whether an opposing stack could take the moved stack on its new cell at once.
    bool exposed = false;
  };
  ActionFacts facts(Move move, bool exposure = true) const;
  unsigned short stacks(Players owner, Pieces kind) const { return count_[owner][kind]; }

  static Move make_move(int from, int to) { return static_cast<Move>(from | (to << 8)); }
  static std::string text(Move move);

 private:
  static constexpr int DIRECTIONS = geometry::DIRECTIONS;
  static constexpr int NO_CELL = 63;  // a cell number beyond the board: "no stack there"

  // A stack as one word: its class, owner (Players) times 4 plus top kind (Pieces), in the low
  // byte and its height in the upper half. An empty cell is 0, class 0.
  using Cell = std::uint32_t;
  static Cell make_cell(unsigned owner, unsigned kind, unsigned height) {
    return owner << 2 | kind | height << 16;
  }
  static unsigned class_of(Cell c) { return c & 0xF; }
  static unsigned owner_of(Cell c) { return (c & 0xF) >> 2; }
  static unsigned kind_of(Cell c) { return c & 3; }
  static unsigned height_of(Cell c) { return c >> 16; }
  static constexpr int CLASSES = 12;
  static int class_of(Players owner, Pieces kind) { return owner << 2 | kind; }

  // A candidate list as bit sets of sources, one per direction: bit s of by[d] says that the
  // stack on s has an action onto the nearest stack in direction d. The list itself is every
  // such pair, ordered by source cell, then direction: the order of the member functions.
  struct Lines {
    std::uint64_t by[DIRECTIONS];
  };
  struct Census;

  // The directions (a bit each) in which the stack on `source` has an action of the list.
  static unsigned directions_of(Lines const& lines, int source) {
    unsigned directions = 0;
    for (int d = 0; d < DIRECTIONS; ++d)
      directions |= static_cast<unsigned>((lines.by[d] >> source) & 1) << d;
    return directions;
  }
  static bool any(Lines const& lines) {
    return (lines.by[0] | lines.by[1] | lines.by[2] | lines.by[3] | lines.by[4] | lines.by[5]) != 0;
  }
  // The candidate list of the step now due; `pass` says whether the pass follows it.
  Lines step_lines(Players mover, bool concerned, bool& pass) const;
  // The mover's captures, of every kind or of one.
  Lines captures(Players mover) const;
  Lines captures(Players mover, Pieces kind) const;
  // The i-th action of the list, i below the census's total.
  Move nth(Lines const& lines, Census const& census, std::size_t i) const;
  // Calls f(move) for the actions of the list in order until it returns true.
  template <class F>
  void for_each(Lines const& lines, F&& f) const;

  int nearest(int from, int direction) const { return nearest(occupied(), from, direction); }
  // The nearest stack from `from` in `direction` among `occupied`, or NO_CELL.
  static int nearest(std::uint64_t occupied, int from, int direction);
  // The nearest stack from `from` in direction D among `occupied`, or NO_CELL.
  template <int D>
  static int neighbour(std::uint64_t occupied, int from);
  // The line of the stack on `from` in `direction`, which ended at a stack of class `was`, now
  // ends at `to` (a cell, or the empty cell NO_CELL).
  void repoint(int from, int direction, unsigned was, Cell source, Cell to);
  // Whether a line of `source` that ends at `to` is one of the captures it cannot make.
  void compare_heights(int from, int direction, Cell source, Cell to);

  // What one look-ahead learns of a target on the board as it stands, for every first capture
  // it tries.
  struct Attackers;
  // After the mover's capture m1 (not made on the board), the first capture in list order of
  // an opposing stack whose kind is in `kinds` (a bit per Pieces value), or NO_MOVE.
  Move first_capture_after(Players mover, Move m1, unsigned kinds, Attackers& known) const;
  // The first capture of the target on `to` after m1 (not made on the board), where none could
  // take it before and `near` holds the cells its lines end at; as first_capture_of.
  int capture_opened(Players mover, int to, Move m1, std::uint64_t near, Move& move) const;
  // The cells of `owner`'s stacks whose kind is in `kinds` (a bit per Pieces value).
  std::uint64_t stacks_of(Players owner, unsigned kinds) const;
  // Makes sure `known` holds the target on `to` as the board stands.
  void know(Players mover, int to, Attackers& known) const;
  // The place in list order of the first capture of `to` among `occupied` (-1 for none), the
  // stack on `moved_to` being the one from `moved_from` (NO_CELL: none moved); that capture
  // goes to `move`, and the cells the target's lines end at to `near`.
  int first_capture_of(Players mover, int to, std::uint64_t occupied, int moved_from, int moved_to,
                       std::uint64_t& near, Move& move) const;
  static Players winner(std::uint16_t const (&count)[3][4]);
  std::uint64_t occupied() const { return stacks_[WHITE] | stacks_[BLACK]; }

  // Per playable cell number, and up to NO_CELL, which stands for "no stack".
  Cell cell_[NO_CELL + 1];
  std::uint16_t count_[3][4];  // stacks per [Players][Pieces]
  std::uint64_t stacks_[3];    // the cells holding each colour's stacks
  std::uint64_t kinds_[3][4];  // the same per [Players][Pieces] of the top piece
  // Per direction and class, the stacks whose line in that direction ends at a stack of that
  // class (class 0: at no stack); and per direction, those whose line ends at a higher stack.
  // The cells emptied since are left in; the stacks of the colour asked for mask them out.
  std::uint64_t ends_[DIRECTIONS][CLASSES];
  std::uint64_t higher_[DIRECTIONS];
  std::uint16_t move_count_;
};

#endif
