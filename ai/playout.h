// The compact playout position the search plays on: the same rules as the state's member
// functions, with moves as small integers, precomputed rays and bit sets of each colour's
// stacks. For the same draws it makes exactly the same moves as the member functions do.
#ifndef DRAVIX_AI_PLAYOUT_H
#define DRAVIX_AI_PLAYOUT_H

#include <cstdint>
#include <string>

#include "ai/search.h"
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

  // A move list on the stack; its owner clears and refills it, so nothing is allocated.
  class List {
   public:
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    Move operator[](std::size_t i) const { return moves_[i]; }
    void push(Move m) { moves_[size_++] = m; }
    void set(std::size_t i, Move m) { moves_[i] = m; }

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
  void candidates(Players mover, bool concerned, List& list) const;
  // Every legal action of the mover now: any capture to open a turn; any capture, stacking
  // that keeps two of a kind, or the pass as the second action.
  void legal(Players mover, List& list) const;
  // The colour that has won by elimination, or NONE while every kind of both is on the board.
  Players winner() const { return winner(count_); }
  // How many stacks `player` has of `kind`.
  unsigned short count(Players player, Pieces kind) const { return count_[player][kind]; }
  // The kind of the stack a move lands on, before it is made.
  Pieces target_kind(Move move) const { return static_cast<Pieces>(piece_[move >> 8]); }
  void execute(Move move);

  static Move make_move(int from, int to) { return static_cast<Move>(from | (to << 8)); }
  static std::string text(Move move);

 private:
  // The mover's captures whose target is `kind` (BLANK: any kind), in list order.
  void captures(Players mover, Pieces kind, List& list) const;
  // The mover's captures of the opposing stacks in `targets`, in list order; found from the
  // targets' side, which is cheaper when they are few.
  void captures_onto(Players mover, std::uint64_t targets, List& list) const;
  // After the mover's capture m1 (not made on the board), the first capture in list order of
  // an opposing stack whose kind is in `kinds` (a bit per Pieces value), or NO_MOVE.
  Move first_capture_after(Players mover, Move m1, unsigned kinds) const;
  // Every capture of the mover in list order, shared by the look-ahead and the candidate list
  // of the same step.
  List const& all_captures(Players mover) const;
  // The captures of `all` whose target is `kind`, in their order.
  void filter_captures(List const& all, Pieces kind, List& list) const;
  static Players winner(std::uint16_t const (&count)[3][4]);
  std::uint64_t occupied() const { return stacks_[WHITE] | stacks_[BLACK]; }

  std::uint8_t owner_[CELLS];  // Players, per playable cell number
  std::uint8_t piece_[CELLS];  // Pieces
  std::uint16_t height_[CELLS];
  std::uint16_t count_[3][4];  // stacks per [Players][Pieces]; the state's six counters
  std::uint64_t stacks_[3];    // playable cells holding each colour's stacks, per Players
  std::uint64_t kinds_[3][4];  // the same per [Players][Pieces] of the top piece
  std::uint16_t move_count_;
  std::uint32_t stamp_;  // names the position: copies share it, every action draws a new one
};

#endif
