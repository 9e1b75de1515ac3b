// The elimination look-ahead on copies of the state, through its own member functions.
#include <string>
#include <vector>

#include "ai/search_state.h"

namespace {

struct Counts {
  unsigned short v, m, w;
};

Counts opponent_counts(Vorak const& s, Players mover) {
  Players const other = opponent_of(mover);
  return Counts{s.counter(other, VORAK), s.counter(other, MORIEL), s.counter(other, WEMM)};
}

}  // namespace

bool elimination_lookahead(Vorak const& state, Players mover, Decision& decision) {
  Counts const c = opponent_counts(state, mover);
  Actions const category =
      (c.v <= LOW_STACKS && c.m > LOW_STACKS && c.w > LOW_STACKS)   ? CAPTURE_VORAK
      : (c.v > LOW_STACKS && c.m <= LOW_STACKS && c.w > LOW_STACKS) ? CAPTURE_MORIEL
                                                                    : CAPTURE;
  std::vector<std::string> first;
  state.get_moves_by_action(first, mover, 1, category);
  if (first.empty() && category != CAPTURE) state.get_moves_by_action(first, mover, 1, CAPTURE);

  for (std::string const& m1 : first) {
    Vorak s1(state);
    s1.execute_move(m1, false);
    Players const over = s1.is_game_over();
    if (over != NONE) {
      decision = Decision{over, m1, std::string()};
      return true;
    }
    Counts const c1 = opponent_counts(s1, mover);
    Actions second_category;
    if (c1.v == 1)
      second_category = (c1.m >= 2 && c1.w >= 2) ? CAPTURE_VORAK : CAPTURE;
    else if (c1.m == 1)
      second_category = c1.w >= 2 ? CAPTURE_MORIEL : CAPTURE;
    else if (c1.w == 1)
      second_category = CAPTURE;
    else
      return false;  // no kind is down to its last stack: give up on the whole look-ahead

    std::vector<std::string> second;
    s1.get_moves_by_action(second, mover, 1, second_category);
    for (std::string const& m2 : second) {
      Vorak s2(s1);
      s2.execute_move(m2, false);
      Players const end = s2.is_game_over();
      if (end != NONE) {
        decision = Decision{end, m1, m2};
        return true;
      }
    }
  }
  return false;
}
