// The command line of dravix-bot. Without options the program is the console dialogue alone.
#ifndef DRAVIX_APP_OPTIONS_H
#define DRAVIX_APP_OPTIONS_H

#include <optional>
#include <ostream>

struct BotOptions {
  unsigned threads = 1;  // searchers of each position at once; 0: one per core
};

// Reads the options into `options`. Returns nothing when the program should go on and play;
// otherwise the exit status to stop with at once: 0 after --help or --version (printed on
// `out`), 2 after a bad option (a message on `err`).
std::optional<int> parse_bot_options(int argc, char const* const* argv, BotOptions& options,
                                     std::ostream& out, std::ostream& err);

#endif
