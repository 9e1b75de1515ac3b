// The features of an action that order a node's children.
#include "ai/tree/priors.h"

#include <algorithm>
#include <cstdint>

#include "game/rules.h"

namespace {

constexpr unsigned SCORES = 16;
constexpr Pieces KINDS[] = {VORAK, MORIEL, WEMM};
constexpr unsigned PASS_SCORE = 2;
constexpr unsigned SAFE = 3;  // added for a stack that no opposing stack can take at once

// The kind the opponent has fewest of is the one whose loss ends the game soonest.
unsigned short fewest_of(FastPlayout const& p, Players owner) {
  unsigned short fewest = 0xFFFF;
  for (Pieces kind : KINDS) fewest = std::min(fewest, p.stacks(owner, kind));
  return fewest;
}

// An action's score but for SAFE.
unsigned kind_part(FastPlayout const& p, Players mover, FastPlayout::ActionFacts const& facts,
                   unsigned short fewest) {
  if (facts.capture) return p.stacks(opponent_of(mover), facts.target) == fewest ? 8 : 4;
  return rules::strong(facts.target) && p.stacks(mover, facts.target) >= rules::PLENTY ? 1 : 0;
}

}  // namespace

unsigned prior_score(FastPlayout const& p, Players mover, FastPlayout::Move move) {
  if (move == FastPlayout::PASS) return PASS_SCORE;
  FastPlayout::ActionFacts const facts = p.facts(move);
  return (facts.exposed ? 0 : SAFE) + kind_part(p, mover, facts, fewest_of(p, opponent_of(mover)));
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

void order_first_by_priors(FastPlayout const& p, Players mover, FastPlayout::List& moves,
                           std::size_t first) {
  std::size_t const count = moves.size();
  if (first >= count) return order_by_priors(p, mover, moves);
  // The scores from the highest down, each in list order, until `first` are placed. The part
  // of a score that comes from the action's kind is cheap; whether the action is SAFE is asked
  // only of those whose score could be the one being placed: actions of kind part `score`
  // (exposed, or the pass) and of kind part `score - SAFE` (safe), two runs in list order.
  constexpr unsigned PARTS = 9;  // kind parts 0 to 8
  unsigned short const fewest = fewest_of(p, opponent_of(mover));
  std::uint8_t part[FastPlayout::MAX_MOVES];
  unsigned start[PARTS + 1] = {};
  for (std::size_t i = 0; i < count; ++i) {
    part[i] = static_cast<std::uint8_t>(
        moves[i] == FastPlayout::PASS ? PASS_SCORE
                                      : kind_part(p, mover, p.facts(moves[i], false), fewest));
    ++start[part[i] + 1];
  }
  for (unsigned k = 0; k < PARTS; ++k) start[k + 1] += start[k];
  std::uint16_t by_part[FastPlayout::MAX_MOVES];
  {
    unsigned next[PARTS];
    std::copy(start, start + PARTS, next);
    for (std::size_t i = 0; i < count; ++i)
      by_part[next[part[i]]++] = static_cast<std::uint16_t>(i);
  }
  FastPlayout::Move sorted[FastPlayout::MAX_MOVES];
  bool placed[FastPlayout::MAX_MOVES] = {};
  std::size_t n = 0;
  auto const place = [&](std::uint16_t i) {
    sorted[n++] = moves[i];
    placed[i] = true;
  };
  // Whether an action (not the pass) is exposed, asked once at most: an exposed one is asked
  // again at its lower score.
  constexpr std::uint8_t UNKNOWN = 2;
  std::uint8_t exposed[FastPlayout::MAX_MOVES];
  std::fill_n(exposed, count, UNKNOWN);
  auto const is_exposed = [&](std::uint16_t i) {
    if (exposed[i] == UNKNOWN) exposed[i] = p.facts(moves[i]).exposed;
    return exposed[i] == 1;
  };
  for (unsigned score = SCORES; score-- > 0 && n < first;) {
    // Exposed actions (and the pass) of part `score`, merged in list order with the safe ones
    // of part `score - SAFE`.
    unsigned a = score < PARTS ? start[score] : 0, a_end = score < PARTS ? start[score + 1] : 0;
    unsigned b = score >= SAFE && score - SAFE < PARTS ? start[score - SAFE] : 0;
    unsigned const b_end = score >= SAFE && score - SAFE < PARTS ? start[score - SAFE + 1] : 0;
    while (n < first && (a < a_end || b < b_end)) {
      if (b < b_end && (a == a_end || by_part[b] < by_part[a])) {
        std::uint16_t const i = by_part[b++];
        if (moves[i] != FastPlayout::PASS && !is_exposed(i)) place(i);
      } else {
        std::uint16_t const i = by_part[a++];
        if (moves[i] == FastPlayout::PASS || is_exposed(i)) place(i);
      }
    }
  }
  for (std::size_t i = 0; i < count; ++i)
    if (!placed[i]) sorted[n++] = moves[i];
  moves.clear();
  for (std::size_t i = 0; i < count; ++i) moves.push(sorted[i]);
}
