// What every form of the tree search shares: the choice among a node's children and the random
// playout from a leaf. The node stores (ai/tree/local_store.h, ai/tree/shared_store.h) differ
// only in how they keep their nodes; the descent (ai/tree/descent.h) is written once for both.
#ifndef DRAVIX_AI_TREE_POLICY_H
#define DRAVIX_AI_TREE_POLICY_H

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "ai/tree/node.h"
#include "ai/tree/settings.h"

// One child as the choice sees it: its visits (virtual losses included), its wins for the side
// to move at the parent, and its proof for that side.
struct ChildStats {
  std::uint32_t visits = 0;
  std::uint32_t wins = 0;
  Proof proof = UNPROVEN;
};

// 1/n and 1/sqrt(n) for the visit counts most children have, and sqrt(log(n + 1)) for most
// parents': the choice computes its values for many children at every step of every descent,
// and division, logarithms and square roots would take most of its time.
struct UctTables {
  static constexpr std::uint32_t SIZE = 1 << 14;
  UctTables();
  struct Child {  // both of a child's values in one cache line
    float inverse;
    float inverse_root;
  };
  Child child[SIZE];
  float root_log[SIZE];
};
extern UctTables const uctTables;

// The UCT value of a child with `visits` (not 0) and `wins`, `explore` being the exploration
// constant times sqrt(log(parent's visits + 1)).
inline float uct_value(std::uint32_t visits, std::uint32_t wins, float explore) {
  if (visits < UctTables::SIZE) {
    UctTables::Child const c = uctTables.child[visits];
    return static_cast<float>(wins) * c.inverse + explore * c.inverse_root;
  }
  // In single precision, one division and one root: a root's children pass the tables within
  // a second, and the choice at the root reads every one of them on every descent.
  float const inverse = 1.0f / static_cast<float>(visits);
  return static_cast<float>(wins) * inverse + explore * std::sqrt(inverse);
}

// The children a node with `visits` visits considers, in the order of their priors
// (progressive widening): 1 + widening * sqrt(visits), at most `MOST`.
inline std::uint32_t widening_window(TreeSettings const& settings, double visits) {
  constexpr double MOST = FastPlayout::MAX_MOVES;
  return static_cast<std::uint32_t>(std::min(1 + settings.widening * std::sqrt(visits), MOST));
}

// What a choice at a node leaves for the next choice there, in a tree that one thread grows:
// the child chosen, and the highest value any other child had then (an untried one's included),
// at exploration `explore`. Until the next choice only the chosen child's statistics change,
// and another child's value grows by at most the exploration's growth, 1/sqrt(visits) <= 1
// times it: while the chosen child's value stays above that bound, the whole choice would fall
// on it again. At the busiest nodes it mostly does, and each of those choices reads every child.
// When the choice fell on the first untried child, `rival` bounds only the children before it,
// and the ones after it are untried still: the next choice is the chosen child again, or the
// next untried one, or needs all the values. Most nodes try their children one after another
// until the first-play value falls below the best of them.
struct LastChoice {
  std::uint32_t first = 0;  // the node's first child, 0 for none
  std::uint32_t child = 0;
  float rival = 0;
  float explore = 0;
  float root_log = 0;        // sqrt(log(visits + 1)) then
  std::uint32_t visits = 0;  // the parent's then
  bool untried = false;
};

// An upper bound of sqrt(log(n + 1)) from its value `root_log` at `visits` <= n: the function is
// concave, so its tangent there lies above it; the slack covers single precision.
inline double root_log_above(float root_log, std::uint32_t visits, std::uint32_t n) {
  double const r = root_log;
  return r * (1 + 1e-6) + static_cast<double>(n - visits) / (2 * (visits + 1.0) * r);
}

// The child to descend to among `count` children from `first`, whose parent has had
// `parent_visits` visits; `child(i)` gives child i's ChildStats. A child proven won is taken at
// once and one proven lost never, unless all are. Only the first few children in the order of
// their priors are considered, more as the parent's visits grow (progressive widening: 1 +
// widening * sqrt(visits) of them); among those the highest UCT value, the first untried child
// counting as the first_play value (with UNTRIED_FIRST, an untried child comes first).
// `unlisted`: the parent has actions after its `count` children that are not listed yet, all
// untried; first + count stands for the first of them when the choice falls on it. `last`,
// when given, is the node's LastChoice: kept when it still holds, else made anew.
template <class Child>
std::uint32_t select_child(std::uint32_t first, std::uint32_t count, bool unlisted,
                           std::uint32_t parent_visits, TreeSettings const& settings,
                           Child const& child, LastChoice* last = nullptr) {
  // The margin stands for the rounding of single precision.
  constexpr float MARGIN = 1e-5f;
  bool const kept = last && last->first == first;
  ChildStats const chosen = kept ? child(last->child) : ChildStats{};
  // The highest value another child can have reached since the last choice, at exploration
  // `explore_now`.
  auto const rivals_below = [&](float explore_now, float margin) {
    return last->rival + (explore_now - last->explore) + margin;
  };
  if (kept && chosen.proof == UNPROVEN && !last->untried && parent_visits >= UctTables::SIZE &&
      last->visits > 0) {
    // A parent past the tables would need a logarithm. A kept choice holds the less, the
    // larger the exploration (its rivals may grow faster than the child), so an exploration
    // known to be no smaller decides most of them without one.
    auto const above = static_cast<float>(
        settings.exploration * root_log_above(last->root_log, last->visits, parent_visits));
    if (uct_value(chosen.visits, chosen.wins, above) > rivals_below(above, 2 * MARGIN))
      return last->child;
  }
  double const n = static_cast<double>(parent_visits);
  float const root_log = parent_visits < UctTables::SIZE
                             ? uctTables.root_log[parent_visits]
                             : static_cast<float>(std::sqrt(std::log(n + 1)));
  auto const explore = static_cast<float>(settings.exploration) * root_log;
  std::uint32_t const window = widening_window(settings, n);
  bool const untried_first = settings.first_play >= TreeSettings::UNTRIED_FIRST;
  auto const first_play = static_cast<float>(settings.first_play);
  if (kept && chosen.proof == UNPROVEN) {
    float const bound = rivals_below(explore, MARGIN);
    float const value = uct_value(chosen.visits, chosen.wins, explore);
    if (!last->untried) {
      if (value > bound) return last->child;
    } else if (!untried_first && value > bound && value >= first_play) {
      return last->child;
    } else if (std::uint32_t const next = last->child + 1;
               next < first + count && next - first < window && child(next).visits == 0 &&
               (untried_first || first_play > std::max(bound, value))) {
      *last =
          LastChoice{first, next, std::max(bound, value), explore, root_log, parent_visits, true};
      return next;
    }
  }
  if (last) last->first = 0;  // until this choice is known to fall by the values
  std::uint32_t best = first + count;
  float best_value = -1;
  float rival = -1;  // the best value of the others
  std::uint32_t considered = 0;
  // The chosen child by its value, remembered for the next choice when one is asked for.
  auto const by_value = [&](float others) {
    if (last) *last = LastChoice{first, best, others, explore, root_log, parent_visits};
    return best;
  };
  for (std::uint32_t i = first; i < first + count && considered < window; ++i) {
    ChildStats const s = child(i);
    if (s.proof == PROVEN_WIN) return i;
    if (s.proof == PROVEN_LOSS) continue;
    ++considered;
    if (s.visits == 0) {
      // Untried children are tried in their order, so the ones after this are untried too:
      // it stands for them all, and the rest of the list need not be read.
      if (untried_first || first_play > best_value) {
        if (last) *last = LastChoice{first, i, best_value, explore, root_log, parent_visits, true};
        return i;
      }
      return by_value(std::max(rival, first_play));
    }
    float const value = uct_value(s.visits, s.wins, explore);
    if (value > best_value) {
      rival = best_value;
      best_value = value;
      best = i;
    } else {
      rival = std::max(rival, value);
    }
  }
  if (unlisted && considered < window && (untried_first || first_play > best_value))
    return first + count;  // the first action not listed yet, untried like the rest of them
  // All lost: any will do. A window that stopped the reading may take in more children later.
  if (best == first + count) return first;
  if (considered >= window) return best;
  return by_value(unlisted ? std::max(rival, first_play) : rival);
}

// Plays random actions by the flat search's policy from `p`, `mover` to act, until the game is
// decided; returns the winner. `checked`: the elimination look-ahead has just been tried here
// and found nothing.
Players play_out(FastPlayout& p, Players mover, boost::random::mt19937& engine, bool checked);

#endif
