// The games of a series played several at once, their records handed on in game order.
#ifndef DRAVIX_MANAGER_PARALLEL_H
#define DRAVIX_MANAGER_PARALLEL_H

#include <functional>

#include "manager/match.h"

namespace manager {

struct GameRun {
  int games = 1;
  int jobs = 1;  // games at once; 1 plays them one after the other in the calling thread
  // Plays game `g` (from 1); called from `jobs` threads at once.
  std::function<GameRecord(int g)> play;
  // Receives the records one at a time in game order; false ends the series: no game starts
  // any more, and the games still being played are not delivered.
  std::function<bool(GameRecord const&)> deliver;
  // Asked before each game starts (under the same lock as `deliver`): true ends the series
  // as a false from `deliver` does. May be empty.
  std::function<bool()> stop;
};

// Plays `run` and returns once every game started has ended. An exception from `play` or
// `deliver` ends the series as well and is thrown again here, after every thread has ended.
void play_in_order(GameRun const& run);

}  // namespace manager

#endif
