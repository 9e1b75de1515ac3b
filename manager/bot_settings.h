// What a built-in bot seat's search runs with, apart from how the command line names it.
#ifndef DRAVIX_MANAGER_BOT_SETTINGS_H
#define DRAVIX_MANAGER_BOT_SETTINGS_H

#include <cstddef>
#include <string>

#include "ai/searcher.h"

namespace manager {

// What a bot seat's search runs with.
struct BotSettings {
  double seconds = 1;    // thinking time per turn
  unsigned threads = 1;  // searchers of one position at once; 0: every core
  std::string engine = "flat";
  std::string parallel = "root";  // the tree search's threads: a tree each, or one shared
  std::size_t tree_mb = 0;        // the tree search's memory; 0 for its default
  std::string clock = "turn";     // the tree search's clock: its own, or the calendar's seconds
};

// What a bot seat's search runs with (`report`: its console report), and the whole seconds per
// move of the position it is given: its thinking time rounded up, at least 1.
SearchSettings search_settings(BotSettings const& bot, bool report);
unsigned short seconds_per_move(double seconds);

}  // namespace manager

#endif
