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

// The indices 0 to count - 1 by their keys below K, in list order among equals (a counting
// sort: stable, and nothing allocated); start[k] is where those of key k begin.
template <unsigned K>
void bucket_order(std::uint8_t const* key, std::size_t count, unsigned (&start)[K + 1],
                  std::uint16_t* order) {
  std::fill_n(start, K + 1, 0u);
  for (std::size_t i = 0; i < count; ++i) ++start[key[i] + 1];
  for (unsigned k = 0; k < K; ++k) start[k + 1] += start[k];
  unsigned next[K];
  std::copy(start, start + K, next);
  for (std::size_t i = 0; i < count; ++i) order[next[key[i]]++] = static_cast<std::uint16_t>(i);
}

// `moves` rearranged: its action order[j] becomes its j-th.
void rearrange(FastPlayout::List& moves, std::uint16_t const* order) {
  FastPlayout::Move sorted[FastPlayout::MAX_MOVES];
  std::size_t const count = moves.size();
  for (std::size_t j = 0; j < count; ++j) sorted[j] = moves[order[j]];
  moves.clear();
  for (std::size_t j = 0; j < count; ++j) moves.push(sorted[j]);
}

}  // namespace

unsigned prior_score(FastPlayout const& p, Players mover, FastPlayout::Move move) {
  if (move == FastPlayout::PASS) return PASS_SCORE;
  FastPlayout::ActionFacts const facts = p.facts(move);
  return (facts.exposed ? 0 : SAFE) + kind_part(p, mover, facts, fewest_of(p, opponent_of(mover)));
}

void order_by_priors(FastPlayout const& p, Players mover, FastPlayout::List& moves) {
  std::uint8_t score[FastPlayout::MAX_MOVES];  // the higher score, the lower key
  for (std::size_t i = 0; i < moves.size(); ++i)
    score[i] = static_cast<std::uint8_t>(SCORES - 1 - prior_score(p, mover, moves[i]));
  unsigned start[SCORES + 1];
  std::uint16_t order[FastPlayout::MAX_MOVES];
  bucket_order<SCORES>(score, moves.size(), start, order);
  rearrange(moves, order);
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
  for (std::size_t i = 0; i < count; ++i)
    part[i] = static_cast<std::uint8_t>(
        moves[i] == FastPlayout::PASS ? PASS_SCORE
                                      : kind_part(p, mover, p.facts(moves[i], false), fewest));
  unsigned start[PARTS + 1];
  std::uint16_t by_part[FastPlayout::MAX_MOVES];
  bucket_order<PARTS>(part, count, start, by_part);
  std::uint16_t order[FastPlayout::MAX_MOVES];
  bool placed[FastPlayout::MAX_MOVES] = {};
  std::size_t n = 0;
  auto const place = [&](std::uint16_t i) {
    order[n++] = i;
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
    if (!placed[i]) order[n++] = static_cast<std::uint16_t>(i);
  rearrange(moves, order);
}
