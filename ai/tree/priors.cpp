// The features of an action that order a node's children.
#include "ai/tree/priors.h"

#include <algorithm>
#include <cstdint>

#include "game/rules.h"

namespace {

constexpr unsigned SCORES = 16;
constexpr Pieces KINDS[] = {VORAK, MORIEL, WEMM};

}  // namespace

unsigned prior_score(FastPlayout const& p, Players mover, FastPlayout::Move move) {
  if (move == FastPlayout::PASS) return 2;
  FastPlayout::ActionFacts const facts = p.facts(move);
  unsigned score = facts.exposed ? 0 : 3;
  if (facts.capture) {
    // The kind the opponent has fewest of is the one whose loss ends the game soonest.
    Players const other = opponent_of(mover);
    unsigned short fewest = 0xFFFF;
    for (Pieces kind : KINDS) fewest = std::min(fewest, p.stacks(other, kind));
    score += p.stacks(other, facts.target) == fewest ? 8 : 4;
  } else if (rules::strong(facts.target) && p.stacks(mover, facts.target) >= rules::PLENTY) {
    score += 1;
  }
  return score;
}

void order_by_priors(FastPlayout const& p, Players mover, FastPlayout::List& moves) {
  // A counting sort: stable, and nothing allocated.
  std::uint8_t score[FastPlayout::MAX_MOVES];
  unsigned start[SCORES + 1] = {};
  for (std::size_t i = 0; i < moves.size(); ++i) {
    score[i] = static_cast<std::uint8_t>(SCORES - 1 - prior_score(p, mover, moves[i]));
    ++start[score[i] + 1];
  }
  for (unsigned s = 0; s < SCORES; ++s) start[s + 1] += start[s];
  FastPlayout::Move sorted[FastPlayout::MAX_MOVES];
  for (std::size_t i = 0; i < moves.size(); ++i) sorted[start[score[i]]++] = moves[i];
  std::size_t const count = moves.size();
  moves.clear();
  for (std::size_t i = 0; i < count; ++i) moves.push(sorted[i]);
}
