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
  // Source cell in the low byte, target cell in the high byte (cells numbered row * 9 + col).
  using Move = std::uint16_t;
  static constexpr Move PASS = 0xFFFE;
  static constexpr Move NO_MOVE = 0xFFFF;
  static constexpr std::size_t MAX_MOVES = geometry::PLAYABLE_CELLS * geometry::DIRECTIONS + 1;

  // A move list on the stack; its owner clears and refills it, so nothing is allocated.
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
  void candidates(Players mover, bool concerned, List& list) const;
  void execute(Move move);

  static Move make_move(int from, int to) { return static_cast<Move>(from | (to << 8)); }
  static std::string text(Move move);

 private:
  // The mover's captures whose target is `kind` (BLANK: any kind), in list order.
  void captures(Players mover, Pieces kind, List& list) const;
  static Players winner(std::uint16_t const (&count)[3][4]);

  std::uint8_t owner_[geometry::CELLS];  // Players
  std::uint8_t piece_[geometry::CELLS];  // Pieces; blocked cells are never read
  std::uint16_t height_[geometry::CELLS];
  std::uint16_t count_[3][4];  // stacks per [Players][Pieces]; the state's six counters
  std::uint64_t stacks_[3][2];  // cells holding each colour's stacks, as two 64-bit words
  std::uint16_t move_count_;
};

#endif
