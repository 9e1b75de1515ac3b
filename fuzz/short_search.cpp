// The fuzzed match loop's move choice: the real search driver and playouts, cut to a fixed
// number of clock checks so that an input runs in milliseconds.
#include <cstdint>
#include <string>

#include "ai/playout.h"
#include "ai/search.h"

std::string Vorak::monte_carlo() {
  if (move_count % 2 == 1) return get_best_move();
  StepClock clock{400};
  return run_search<FastPlayout>(*this, clock);
}
