// The command line of dravix-bot. Without options the program is the console dialogue alone;
// the address, port, time and games options answer the dialogue for scripts.
#ifndef DRAVIX_APP_OPTIONS_H
#define DRAVIX_APP_OPTIONS_H

#include <optional>
#include <ostream>
#include <string>

#include "ai/tree/settings.h"

struct BotOptions {
  unsigned threads = 1;         // searchers of each position at once; 0: one per core
  std::string engine = "flat";  // "flat" or "mcts"
  // The tree search's settings (--tree-memory, --clock, --tune) and, with --seconds, its
  // thinking time to the fraction of a second.
  TreeSettings tree;
  // Set when any of the options below was given: the bot then asks nothing and reads nothing
  // from standard input, and plays `games` games.
  bool scripted = false;
  std::string address = "127.0.0.1";
  unsigned short port = 2525;
  unsigned short seconds = 40;  // whole seconds, a fraction rounded up
  int games = 1;
};

// Reads the options into `options`. Returns nothing when the program should go on and play;
// otherwise the exit status to stop with at once: 0 after --help or --version (printed on
// `out`), 2 after a bad option (a message on `err`).
std::optional<int> parse_bot_options(int argc, char const* const* argv, BotOptions& options,
                                     std::ostream& out, std::ostream& err);

#endif
