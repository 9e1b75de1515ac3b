// The counts the stacking rules ask of the kind a stacking covers. A stacking covers the
// target's top piece and so takes one from that kind's count. The legality test and the search's
// compact playout form both read them from here, so the two forms cannot drift apart.
#ifndef DRAVIX_GAME_RULES_H
#define DRAVIX_GAME_RULES_H

#include "game/vorak.h"

namespace rules {

// Stacking is only ever the second action of a turn.
constexpr unsigned short STACKING_STEP = 2;
// ANY and the single-kind stackings: the covered kind must keep at least one stack.
constexpr unsigned short KEEP_ONE = 2;
// The plenty stackings: only onto a kind of which the colour has this many stacks.
constexpr unsigned short PLENTY = 7;

// The kinds that may stack under STACK_STRONG_PLENTY.
constexpr bool strong(Pieces piece) {
  return piece == VORAK || piece == MORIEL;
}

}  // namespace rules

#endif
