// The move choice's shared state and the search driver, written once for any playout form.
#ifndef DRAVIX_AI_SEARCH_H
#define DRAVIX_AI_SEARCH_H

#include <cstdint>
#include <ctime>
#include <iostream>
#include <string>

#include <boost/functional/hash.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/unordered_map.hpp>

#include "game/vorak.h"

// The program's one random engine, seeded once from the calendar time at start-up.
extern boost::random::mt19937 gen;

using SequenceTable = boost::unordered_map<std::string, std::uint32_t, boost::hash<std::string>>;
// Won and lost playouts of the current search, per opening sequence of the program's actions.
extern SequenceTable bestMoves;
extern SequenceTable worstMoves;

// Actions executed in the playouts of the latest search; the benchmark reports it per playout.
extern std::uint64_t playoutActions;

// Draws an index from 0 to n - 1, every one equally likely; n must not be 0.
int draw_index(std::size_t n);

// What the elimination look-ahead found: the winner and the one or two captures leading there.
struct Decision {
  Players winner = NONE;
  std::string first;   // internal move string
  std::string second;  // empty for a decision at depth one
};

// Tries the mover's captures and pairs of captures, in list order, on copies of `state`, and
// reports the first that ends the game. The mover's first action of a turn must be due.
bool elimination_lookahead(Vorak const& state, Players mover, Decision& decision);

// True when `mover`'s opponent is down to two or fewer stacks of some kind.
inline bool opponent_low(unsigned short v, unsigned short m, unsigned short w) {
  return v <= 2 || m <= 2 || w <= 2;
}

inline Players opponent_of(Players p) {
  return p == WHITE ? BLACK : WHITE;
}

// The search ends at the first check at which the calendar second has reached the deadline.
struct WallClock {
  std::time_t deadline;
  bool expired() const { return std::time(nullptr) >= deadline; }
};

// Expires after a fixed number of checks, so that a search repeats exactly: for tests, the
// fuzzed match loop and comparisons of the two playout forms.
struct StepClock {
  std::uint64_t remaining;
  bool expired() {
    if (remaining == 0) return true;
    --remaining;
    return false;
  }
};

// Runs one search of the driver on `root`'s position: playouts until the clock expires, each
// recorded under the program's opening sequence, then the choice from the tables. The
// playout form P (the state itself, or a faster form of the same rules) must make exactly the
// same draws and records; only the speed differs.
template <class P, class Clock>
std::string run_search(Vorak& root, Clock& clock) {
  root.playouts = root.wins = root.losses = 0;
  playoutActions = 0;
  bestMoves.clear();
  worstMoves.clear();
  bool concerned = false;
  bool first_step = true;
  Players const own = root.own_player;
  P const start(root);
  typename P::List list;

  auto record = [&](bool won, std::string const& key) {
    if (won) {
      ++root.wins;
      ++bestMoves[key];
    } else {
      ++root.losses;
      ++worstMoves[key];
    }
    first_step = false;
  };

  while (!clock.expired()) {
    ++root.playouts;
    P p = start;
    typename P::Move first_action = P::NO_MOVE;
    typename P::Move second_action = P::NO_MOVE;
    bool second_pending = p.move_count() > 1;  // "W": the second action is still to come
    Players mover = own;

    auto opening_key = [&] {
      std::string key = P::text(first_action);
      if (second_pending)
        key += "W";
      else
        key += P::text(second_action);
      return key;
    };

    for (;;) {
      if (clock.expired()) goto deadline;

      if (p.move_count() % 2 == 0 && p.opponent_low(mover)) {
        Decision decision;
        if (p.lookahead(mover, decision)) {
          bool const won = decision.winner == own;
          bool const at_first_step = first_step;
          record(won, at_first_step ? decision.first + decision.second : opening_key());
          if (won && at_first_step) return root.get_best_move();
          break;
        }
      }

      if (root.wins == 0 && root.playouts > 9000) concerned = true;

      list.clear();
      p.candidates(mover, concerned, list);
      if (list.empty()) {
        record(mover != own, opening_key());
        break;
      }

      typename P::Move const move = list[static_cast<std::size_t>(draw_index(list.size()))];
      p.execute(move);
      ++playoutActions;

      if (first_action == P::NO_MOVE) {
        first_action = move;
      } else if (second_pending) {
        second_action = move;
        second_pending = false;
      }
      if (p.move_count() % 2 == 0) mover = mover == WHITE ? BLACK : WHITE;
      first_step = false;
    }
  }

deadline:
  std::cout << (concerned ? "Dravix Bot looks concerned.\n" : "Dravix Bot looks confident.\n");
  return root.get_best_move();
}

#endif
