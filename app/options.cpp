#include "app/options.h"

#include <CLI/CLI.hpp>

#include "dravix_version.h"

namespace {

constexpr unsigned MAX_THREADS = 1024;

char const* const DESCRIPTION =
    "Plays Vorak against the Corvane Game Manager. Without --address, --port, --seconds or\n"
    "--games it asks on standard input for the manager's address and port and for its thinking\n"
    "time, plays, and offers a rematch. With any of them it asks nothing, reads nothing from\n"
    "standard input, plays --games games (default 1) and exits.\n";

char const* const FOOTER =
    "Exit status: 0 when the games are over (or a rematch is declined), 2 for a bad option.\n";

}  // namespace

std::optional<int> parse_bot_options(int argc, char const* const* argv, BotOptions& options,
                                     std::ostream& out, std::ostream& err) {
  CLI::App app(DESCRIPTION, "dravix-bot");
  app.footer(FOOTER);
  app.set_version_flag("--version", std::string("dravix-bot ") + DRAVIX_VERSION,
                       "print the version and exit");
  app.set_help_flag("--help", "print this help and exit");
  auto last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("--threads", options.threads,
                 "searchers of each position at once (default 1; 0: every core)")
      ->check(CLI::Range(0u, MAX_THREADS).description(""))
      ->type_name("N")
      ->multi_option_policy(last);
  app.add_option("--engine", options.engine, "flat (the default) or mcts, a tree search")
      ->check(CLI::IsMember({"flat", "mcts"}).description(""))
      ->type_name("NAME")
      ->multi_option_policy(last);
  std::string const scripted = "Answers for scripts";
  CLI::Option* const given[] = {
      app.add_option("--address", options.address,
                     "the game manager's host, IPv4 or IPv6 address (default 127.0.0.1)")
          ->type_name("A")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--port", options.port, "the game manager's TCP port (default 2525)")
          ->check(CLI::Range(1, 65535).description(""))
          ->type_name("P")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--seconds", options.seconds, "thinking time per turn (default 40)")
          ->check(CLI::Range(1, 65535).description(""))
          ->type_name("S")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--games", options.games, "games to play, then exit (default 1)")
          ->check(CLI::Range(1, 1000000).description(""))
          ->type_name("N")
          ->group(scripted)
          ->multi_option_policy(last),
  };
  try {
    app.parse(argc, argv);
  } catch (CLI::CallForHelp const&) {
    out << app.help();
    return 0;
  } catch (CLI::CallForVersion const& version) {
    out << version.what() << "\n";
    return 0;
  } catch (CLI::ParseError const& e) {
    err << "dravix-bot: " << e.what() << "\nTry 'dravix-bot --help'.\n";
    return 2;
  }
  if (options.address.empty()) {
    err << "dravix-bot: --address: a host name or an address is needed\nTry 'dravix-bot --help'.\n";
    return 2;
  }
  for (CLI::Option const* option : given)
    if (option->count() > 0) options.scripted = true;
  return std::nullopt;
}
