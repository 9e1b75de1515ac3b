#include "app/options.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "dravix_version.h"

namespace {

constexpr unsigned MAX_THREADS = 1024;
// Thinking time: whole seconds for the flat search; the tree search's own clock takes fractions.
constexpr double MOST_SECONDS = 3600;
constexpr double FEWEST_TREE_SECONDS = 0.05;

char const* const DESCRIPTION =
    "Plays Vorak against the Corvane Game Manager. Without --address, --port, --seconds or\n"
    "--games it asks on standard input for the manager's address and port and for its thinking\n"
    "time, plays, and offers a rematch. With any of them it asks nothing, reads nothing from\n"
    "standard input, plays --games games (default 1) and exits.\n";

char const* const FOOTER =
    "Exit status: 0 when the games are over (or a rematch is declined), 1 when a game of\n"
    "--games was a no contest, 2 for a bad option.\n";

// A number with a sign at most and digits only, so that "1.5" is told apart from a number out
// of range; the range is checked after it.
CLI::Validator const WHOLE(
    [](std::string& text) {
      bool digits = text.size() > (text[0] == '-' ? 1u : 0u);
      for (std::size_t i = text[0] == '-' ? 1 : 0; i < text.size(); ++i)
        digits = digits && text[i] >= '0' && text[i] <= '9';
      return digits ? std::string() : "Value " + text + " is not a whole number";
    },
    "");

}  // namespace

std::optional<int> parse_bot_options(int argc, char const* const* argv, BotOptions& options,
                                     std::ostream& out, std::ostream& err) {
  CLI::App app(DESCRIPTION, "dravix-bot");
  app.footer(FOOTER);
  app.set_version_flag("--version", std::string("dravix-bot ") + DRAVIX_VERSION,
                       "print the version and exit");
  app.set_help_flag("--help,-h", "print this help and exit");
  auto last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("--threads", options.threads,
                 "searchers of each position at once (default 1; 0: every core)")
      ->check(WHOLE)
      ->check(CLI::Range(0u, MAX_THREADS).description(""))
      ->type_name("N")
      ->multi_option_policy(last);
  app.add_option("--engine", options.engine, "flat (the default) or mcts, a tree search")
      ->check(CLI::IsMember({"flat", "mcts"}).description(""))
      ->type_name("NAME")
      ->multi_option_policy(last);
  std::string const tree = "The tree search (--engine mcts)";
  std::size_t memory_mb = 0;
  CLI::Option* const memory =
      app.add_option("--tree-memory", memory_mb,
                     "the most memory its trees take, in MiB (default " +
                         std::to_string(TreeSettings::DEFAULT_MEMORY_MB) + ")")
          ->check(WHOLE)
          ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 20).description(""))
          ->type_name("MB")
          ->group(tree)
          ->multi_option_policy(last);
  std::string clock = "turn";
  CLI::Option* const clock_option =
      app.add_option("--clock", clock,
                     "turn (the default): its own clock from the turn's request, a safety margin "
                     "short of the time; calendar: the flat search's calendar second")
          ->check(CLI::IsMember({"turn", "calendar"}).description(""))
          ->type_name("NAME")
          ->group(tree)
          ->multi_option_policy(last);
  std::vector<std::string> tuning;
  CLI::Option* const tune_option =
      app.add_option("--tune", tuning,
                     "a constant of the search, for strength tests: exploration, widening, "
                     "first_play, priors, solver or expand_after")
          ->type_name("KEY=VALUE")
          ->group(tree);
  std::string const scripted = "Answers for scripts";
  double seconds = options.seconds;
  CLI::Option* const given[] = {
      app.add_option("--address", options.address,
                     "the game manager's host, IPv4 or IPv6 address (default 127.0.0.1)")
          ->type_name("A")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--port", options.port, "the game manager's TCP port (default 2525)")
          ->check(WHOLE)
          ->check(CLI::Range(1, 65535).description(""))
          ->type_name("P")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--seconds", seconds,
                     "thinking time per turn, whole seconds from 1 to 3600 (default 40); with "
                     "--engine mcts fractions from 0.05")
          ->check(CLI::Validator(
              [](std::string& text) {
                double value = 0;
                if (!CLI::detail::lexical_cast(text, value) || !(value >= FEWEST_TREE_SECONDS) ||
                    !(value <= MOST_SECONDS))
                  return "Value " + text + " not in range 0.05 to 3600";
                return std::string();
              },
              ""))
          ->type_name("S")
          ->group(scripted)
          ->multi_option_policy(last),
      app.add_option("--games", options.games, "games to play, then exit (default 1)")
          ->check(WHOLE)
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
  } catch (CLI::ExtrasError const& e) {
    // A mistyped option is named as what it is, not as a stray word.
    std::vector<std::string> const extra = app.remaining();
    bool const option = !extra.empty() && extra.front().rfind("-", 0) == 0;
    err << "dravix-bot: "
        << (option ? "unknown option " + extra.front().substr(0, extra.front().find('='))
                   : std::string(e.what()))
        << "\nTry 'dravix-bot --help'.\n";
    return 2;
  } catch (CLI::ParseError const& e) {
    err << "dravix-bot: " << e.what() << "\nTry 'dravix-bot --help'.\n";
    return 2;
  }
  if (options.address.empty()) {
    err << "dravix-bot: --address: a host name or an address is needed\nTry 'dravix-bot --help'.\n";
    return 2;
  }
  auto refuse = [&](std::string const& why) {
    err << "dravix-bot: " << why << "\nTry 'dravix-bot --help'.\n";
    return 2;
  };
  bool const tree_search = options.engine == "mcts";
  if (!tree_search) {
    for (CLI::Option const* option : {memory, clock_option, tune_option})
      if (option->count() > 0) return refuse(option->get_name() + ": only with --engine mcts");
    if (seconds != static_cast<unsigned short>(seconds) || seconds < 1)
      return refuse("--seconds: whole seconds, from 1, unless with --engine mcts");
  }
  for (std::string const& item : tuning)
    if (std::optional<std::string> const refused = tune(options.tree, item))
      return refuse("--tune: " + *refused);
  options.tree.memory_mb = memory_mb;
  options.tree.calendar_clock = clock == "calendar";
  options.seconds = static_cast<unsigned short>(std::ceil(seconds));
  if (tree_search && given[2]->count() > 0) options.tree.seconds = seconds;
  for (CLI::Option const* option : given)
    if (option->count() > 0) options.scripted = true;
  return std::nullopt;
}
