// The move choice of every requested action: a search for the first action of a turn, the
// same tables read again for the second.
#include <ctime>
#include <iostream>
#include <string>

#include "ai/playout.h"
#include "ai/search.h"
#include "ai/tree/engine.h"

unsigned searchThreads = 1;
std::uint64_t searchSteps = 0;
Engine searchEngine = Engine::FLAT;

char const* engine_name(Engine engine) {
  return engine == Engine::MCTS ? "mcts" : "flat";
}

std::optional<Engine> engine_from(std::string const& name) {
  for (Engine e : {Engine::FLAT, Engine::MCTS})
    if (name == engine_name(e)) return e;
  return std::nullopt;
}

std::string Vorak::monte_carlo() {
  if (searchEngine == Engine::MCTS) {
    // One tree engine for the run, seeded once from the program's engine: it keeps the turn's
    // trees between the turn's two actions.
    static TreeEngine tree(gen(), treeSettings);
    return tree.choose(*this, searchThreads, &std::cout);
  }
  if (move_count % 2 == 1) return get_best_move();
  if (searchSteps > 0)
    return search<FastPlayout>(*this, StepClock{searchSteps}, program_context(), searchThreads);
  WallClock const clock(std::time(nullptr) + seconds_per_move);
  return search<FastPlayout>(*this, clock, program_context(), searchThreads);
}
