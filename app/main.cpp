// Dravix Bot: asks the operator where the game manager is, plays, and offers a rematch.
#include <iostream>
#include <optional>

#include "ai/search_state.h"
#include "app/config.h"
#include "app/options.h"
#include "match/match.h"

int main(int argc, char** argv) {
  BotOptions options;
  if (std::optional<int> const status =
          parse_bot_options(argc, argv, options, std::cout, std::cerr))
    return *status;
  searchThreads = options.threads;
  return play_matches(play_game);
}
