// The move choice of every requested action: a search for the first action of a turn, the
// same tables read again for the second.
#include <ctime>
#include <string>

#include "ai/playout.h"
#include "ai/search.h"

unsigned searchThreads = 1;

std::string Vorak::monte_carlo() {
  if (move_count % 2 == 1) return get_best_move();
  WallClock const clock(std::time(nullptr) + seconds_per_move);
  return search<FastPlayout>(*this, clock, program_context(), searchThreads);
}
