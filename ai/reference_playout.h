// The playout form that goes through the state's own member functions, move strings and all.
// The search runs the faster form (ai/playout.h); this one is the yardstick it is checked by.
#ifndef DRAVIX_AI_REFERENCE_PLAYOUT_H
#define DRAVIX_AI_REFERENCE_PLAYOUT_H

#include <string>
#include <vector>

#include "ai/search_state.h"
#include "game/vorak.h"

class ReferencePlayout {
 public:
  using Move = std::string;
  using List = std::vector<std::string>;
  static inline const Move NO_MOVE{};

  explicit ReferencePlayout(Vorak const& state) : state_(state) {}

  unsigned short move_count() const { return state_.move_count; }

  bool opponent_low(Players mover) const {
    Players const other = opponent_of(mover);
    return ::opponent_low(state_.counter(other, VORAK), state_.counter(other, MORIEL),
                          state_.counter(other, WEMM));
  }

  bool lookahead(Players mover, Decision& decision) const {
    return elimination_lookahead(state_, mover, decision);
  }

  // The candidate list of one playout step; concerned mode drops the capture preferences
  // and the pass.
  void candidates(Players mover, bool concerned, List& list) const {
    unsigned short const step = state_.move_count % 2 == 0 ? 1 : 2;
    if (concerned)
      state_.get_moves_by_action(list, mover, step, ANY);
    else
      state_.get_moves(list, mover, step);
  }

  // Draws the step's action from the candidate list; false, without a draw, when it is empty.
  bool pick(Players mover, bool concerned, boost::random::mt19937& engine, Move& move) const {
    List list;
    candidates(mover, concerned, list);
    if (list.empty()) return false;
    move = list[static_cast<std::size_t>(draw_index(engine, list.size()))];
    return true;
  }

  void execute(Move const& move) { state_.execute_move(move, false); }

  static std::string text(Move const& move) { return move; }

  Vorak const& state() const { return state_; }

 private:
  Vorak state_;
};

#endif
