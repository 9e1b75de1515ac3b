#include "app/options.h"

#include "dravix_version.h"

#include <string>

namespace {

constexpr unsigned MAX_THREADS = 1024;

char const* const USAGE =
    "Usage: dravix-bot [--threads N]\n"
    "Plays Vorak against the Corvane Game Manager. It asks on standard input for the\n"
    "manager's address and port and for its thinking time, plays, and offers a rematch.\n"
    "\n"
    "  --threads N  searchers of each position at once: 1 (the default) thinks on one\n"
    "               thread, 0 on every core\n"
    "  --help       print this help and exit\n"
    "  --version    print the version and exit\n";

// A whole number from 0 to MAX_THREADS, digits only.
bool read_threads(std::string const& text, unsigned& threads) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  unsigned long const value = std::stoul(text);
  if (value > MAX_THREADS) return false;
  threads = static_cast<unsigned>(value);
  return true;
}

}  // namespace

std::optional<int> parse_bot_options(int argc, char const* const* argv, BotOptions& options,
                                     std::ostream& out, std::ostream& err) {
  auto refuse = [&](std::string const& message) {
    err << "dravix-bot: " << message << "\nTry 'dravix-bot --help'.\n";
    return std::optional<int>(2);
  };
  for (int i = 1; i < argc; ++i) {
    std::string const arg = argv[i];
    if (arg == "--help") {
      out << USAGE;
      return 0;
    }
    if (arg == "--version") {
      out << "dravix-bot " << DRAVIX_VERSION << "\n";
      return 0;
    }
    std::string value;
    if (arg == "--threads") {
      if (i + 1 >= argc) return refuse("--threads needs a number");
      value = argv[++i];
    } else if (arg.rfind("--threads=", 0) == 0) {
      value = arg.substr(10);
    } else {
      return refuse("unknown option '" + arg + "'");
    }
    if (!read_threads(value, options.threads))
      return refuse("bad value for --threads: '" + value + "' (a whole number from 0 to " +
                    std::to_string(MAX_THREADS) + ", 0 for every core)");
  }
  return std::nullopt;
}
