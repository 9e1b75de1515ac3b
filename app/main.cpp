// Dravix Bot: asks the operator where the game manager is (or takes the answers from the
// command line), plays, and offers a rematch.
#include <iostream>
#include <optional>

#include "ai/search_state.h"
#include "ai/tree/engine.h"
#include "app/config.h"
#include "app/options.h"
#include "match/match.h"

int main(int argc, char** argv) {
  BotOptions options;
  if (std::optional<int> const status =
          parse_bot_options(argc, argv, options, std::cout, std::cerr))
    return *status;
  searchThreads = options.threads;
  searchEngine = engine_from(options.engine).value_or(Engine::FLAT);
  treeSettings = options.tree;
  if (options.scripted)
    return play_scripted(play_game, options.address, options.port, options.seconds, options.games);
  return play_matches(play_game);
}
