#include "manager/options.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <CLI/CLI.hpp>

#include "dravix_version.h"
#include "manager/duel.h"

namespace manager {

namespace {

struct BadValue {
  std::string message;
};

// A plain decimal number within [low, high]: no sign, no blanks, no exponent; the stream
// readers would take "-1" for a huge unsigned number.
long long whole_number(std::string const& option, std::string const& text, long long low,
                       long long high) {
  bool ok = !text.empty() && text.size() <= 18;
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  long long const value = ok ? std::stoll(text) : 0;
  if (!ok || value < low || value > high) {
    throw BadValue{"--" + option + " takes a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not \"" + text + "\""};
  }
  return value;
}

// Seconds with an optional fraction ("2", "0.5"), more than 0 and at most `high`.
double seconds(std::string const& option, std::string const& text, double high) {
  std::size_t dots = 0;
  bool ok = !text.empty() && text.size() <= 12 && text.front() != '.' && text.back() != '.';
  for (char c : text) {
    dots += c == '.' ? 1 : 0;
    ok = ok && ((c >= '0' && c <= '9') || c == '.');
  }
  double const value = ok && dots <= 1 ? std::stod(text) : -1.0;
  if (!(value > 0 && value <= high)) {
    std::ostringstream range;
    range << high;
    throw BadValue{"--" + option + " takes a number of seconds above 0 and up to " + range.str() +
                   ", not \"" + text + "\""};
  }
  return value;
}

// A limit in seconds as milliseconds; "0" (or "0.0") is no limit, -1.
int limit_ms(std::string const& option, std::string const& text) {
  if (!text.empty() && text.find_first_not_of("0.") == std::string::npos &&
      std::count(text.begin(), text.end(), '.') <= 1 && text.front() != '.' && text.back() != '.')
    return -1;
  int const ms = static_cast<int>(std::lround(seconds(option, text, 86400) * 1000));
  if (ms < 1) throw BadValue{"--" + option + " must be 0 (no limit) or at least 0.001 seconds"};
  return ms;
}

SeatKind seat(std::string const& option, std::string const& text, SeatSettings& settings) {
  std::string error;
  std::optional<SeatChoice> const choice = parse_seat_choice(text, error);
  if (!choice) throw BadValue{"--" + option + " " + error};
  settings = choice->settings;
  return choice->kind;
}

struct OptionEntry {
  char const* name;
  char const* value;  // the value's name in the help, nullptr for a switch
  char const* description;
};

constexpr OptionEntry OPTIONS[] = {
    {"help", nullptr, "show this text and exit"},
    {"version", nullptr, "print the version and exit"},
    {"address", "A", "listen on this address, IPv4 or IPv6 (:: for every one; default 127.0.0.1)"},
    {"port", "P", "listen on this TCP port, 0 for any free one (default 2525)"},
    {"white", "SEAT",
     "who plays White: tcp (a client that connects), random (uniform over the legal actions), "
     "greedy (wins when it can, else captures the opponent's scarcest kind, else random), bot "
     "(the Monte-Carlo search of Dravix Bot, in process), human (a person playing on the page "
     "of --web) or cmd:COMMAND (a program started for each game with --address 127.0.0.1 --port "
     "P --seconds S --games 1 appended, S from --seconds, and seated as the one client of its own "
     "port P); default tcp. A bot takes settings: bot:time=S (seconds per turn, whole from 1 to "
     "3600, with engine=mcts also fractions from 0.05; default --seconds), threads=N (searches "
     "of the same position at once, 0 for every core; default 1), engine=flat (the search; "
     "default) or mcts (the tree search), and with engine=mcts parallel=root (each thread grows "
     "a tree of its own; default) or tree (the threads grow one tree together), tree_mb=N (the "
     "trees' memory, 1 to 1048576 MiB) and clock=turn (its own clock; default) or calendar (the "
     "flat search's calendar seconds); such as bot:time=4,threads=2"},
    {"black", "SEAT", "who plays Black, as for --white; default random"},
    {"games", "N",
     "play a series of N games, a fresh connection for each (default 1); with --web, 0 plays "
     "none and only serves the page, to open records on"},
    {"first-game", "N",
     "number the games from N (default 1): the series plays games N to N + GAMES - 1, each "
     "from the setup, with the colours and the players' seeds it has in a series from game 1, "
     "so that a duel can be played in parts; with --pairs N must be odd"},
    {"alternate", nullptr, "the two seats change colours after every game"},
    {"pairs", nullptr,
     "play each setup twice in a row, the seats' colours swapped (implies --alternate; --games "
     "must be even; games 2K - 1 and 2K start from the setup of seed S + K - 1); the Elo, its "
     "interval and --sprt are then reckoned over the pairs"},
    {"seed", "S",
     "seed of the random setups and of the random and greedy players, 0 to 4294967295; game N "
     "starts from the setup of seed S + N - 1 (default: from the clock; the seed used is "
     "printed)"},
    {"board", "FILE",
     "start every game from the board description in FILE (the body of a BoardState message, "
     "or the whole line) instead of a random setup"},
    {"action-limit", "SECONDS",
     "a side that takes longer than this for one action loses; 0 for no limit (default: 600 for "
     "a tcp seat, no limit for the others)"},
    {"connect-limit", "SECONDS",
     "how long a game waits for a tcp seat's client to connect; when none comes the series "
     "ends there (exit status 1); 0 for no limit (default 600)"},
    {"seconds", "SECONDS",
     "thinking time per turn of a bot seat without time= and of a cmd seat: whole seconds from 1 "
     "to 3600, fractions from 0.05 when every bot seat without time= has engine=mcts (default 1)"},
    {"record", "FILE",
     "write the JSON record of every game (moves, results, reasons, think times) to FILE, "
     "updated after each game (after quick games, only as often as writing it allows) and at "
     "the end"},
    {"quiet", nullptr, "print only each game's result and the results table"},
    {"web", "PORT",
     "show the games live on a web page at http://127.0.0.1:PORT/ (0 for any free port; the "
     "address is printed), where a human seat plays and records can be stepped through; the "
     "page stays up after the series until the program is interrupted"},
    {"open", "RECORD",
     "serve the page (on --web's port, else any free one) with the record in RECORD (written by "
     "--record) loaded, to be stepped through, and play no game"},
    {"jobs", "N",
     "play N games of the series at once (default 1), each game's account printed whole when "
     "it ends; not with a tcp or human seat, nor with --web"},
    {"sprt", "ELO0,ELO1",
     "stop the series as soon as the sequential probability ratio test (alpha = beta = 0.05) "
     "decides whether the --white seat is ELO0 or ELO1 Elo stronger than the --black seat; "
     "with --pairs, checked after whole pairs only"},
    {"merge", "RECORD...",
     "merge the records of a duel played in parts (--first-game) into one: each game once, in "
     "game order, an interrupted game never; prints each game's result, the results table, the "
     "Elo and with --sprt the verdict over the games in order up to the first missing one, and "
     "writes the merged record with --record; a record that is not of the same duel, or not "
     "one the manager wrote, is refused (exit status 2); takes no other options"},
    {"elo", "W,D,L",
     "print the score and the Elo difference of W wins, D draws and L losses with their exact "
     "95% intervals, and exit"},
};

// The option table as help text: each option, then its description wrapped beside it.
std::string described() {
  constexpr std::size_t indent = 27, width = 94;
  std::string out = "Options:\n";
  for (OptionEntry const& entry : OPTIONS) {
    std::string line =
        std::string("  --") + entry.name + (entry.value ? std::string(" ") + entry.value : "");
    line.resize(std::max(line.size() + 1, indent), ' ');
    std::istringstream words(entry.description);
    std::string word;
    std::size_t used = line.size();
    bool first = true;
    for (; words >> word; first = false) {
      if (!first && used + 1 + word.size() > width) {
        out += line + "\n";
        line = std::string(indent, ' ');
        used = indent;
        first = true;
      }
      if (!first) {
        line += ' ';
        ++used;
      }
      line += word;
      used += word.size();
    }
    out += line + "\n";
  }
  return out;
}

// The command line as the option library reads it: each option's value as its text, each
// switch as given or not. The conversions of parse_options give them meaning.
struct CommandLine {
  CLI::App app{"", "vorak-manager"};
  std::map<std::string, std::string> values;
  std::vector<std::string> records;  // of --merge

  CommandLine() {
    app.set_help_flag("--help,-h", OPTIONS[0].description);
    app.set_version_flag("--version", std::string("vorak-manager ") + DRAVIX_VERSION);
    app.allow_extras();  // told apart below: a mistyped option or a stray word
    for (OptionEntry const& entry : OPTIONS) {
      std::string const name = std::string("--") + entry.name;
      if (name == "--help" || name == "--version") continue;
      if (name == "--merge")
        app.add_option(name, records, entry.description)->type_name(entry.value);
      else if (entry.value)
        app.add_option(name, values[entry.name], entry.description)->type_name(entry.value);
      else
        app.add_flag(name, entry.description)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    }
    // The former name of --seconds, for the scripts that use it.
    app.add_option("--bot-time", values["bot-time"])->group("");
  }

  bool given(std::string const& name) const { return app.get_option("--" + name)->count() > 0; }

  // Reads `args`; the refusal of anything that is not one of the options, given once.
  void read(std::vector<std::string> const& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // the library's order
    app.parse(reversed);
    std::vector<std::string> const extra = app.remaining();
    if (extra.empty()) return;
    std::string const& arg = extra.front();
    if (arg.rfind("-", 0) == 0)
      throw BadValue{"unrecognised option '" + arg.substr(0, arg.find('=')) + "'"};
    throw BadValue{"unexpected positional argument \"" + arg + "\": every option starts with --"};
  }
};

}  // namespace

std::string help_text() {
  std::ostringstream out;
  out << "Usage: vorak-manager [--address A] [--port P] [--white SEAT] [--black SEAT] [--games N]\n"
         "                     [--first-game N] [--alternate] [--seed S] [--board FILE]\n"
         "                     [--action-limit SECONDS] [--connect-limit SECONDS]\n"
         "                     [--seconds SECONDS] [--record FILE] [--quiet] [--web PORT]\n"
         "                     [--jobs N] [--pairs] [--sprt ELO0,ELO1]\n"
         "       vorak-manager --merge RECORD... [--sprt ELO0,ELO1] [--record FILE]\n"
         "       vorak-manager --open RECORD [--web PORT]\n"
         "       vorak-manager --elo W,D,L | --help | --version\n\n"
         "Referees games of Vorak, playing the game server's side of the protocol. Each seat is\n"
         "a TCP client (such as dravix-bot), a built-in player, a program the manager starts\n"
         "for each game (cmd:) or a person on the page of --web.\n"
         "A connection to the game port that sends what is not the protocol's text (a TLS\n"
         "opening, an HTTP request line) is refused, and the seat waits for another client; one\n"
         "that goes before its first line of the protocol costs its seat nothing: the game is\n"
         "played again from the same setup.\n"
         "The page's address carries a secret of the run (?key=...), printed with it.\n"
         "Ctrl-C (or SIGTERM) ends the series: the game in progress is recorded as interrupted,\n"
         "the record written and the results printed; a second Ctrl-C quits at once.\n"
         "Exit status: 0 when the series has been played, 1 when it could not be (the port\n"
         "cannot be listened on, no client connected in time, say), 2 for a bad option or value\n"
         "(or a record that --merge refuses),\n"
         "130 when interrupted by Ctrl-C (143 by SIGTERM).\n\n"
      << described();
  return out.str();
}

std::string version_text() {
  return std::string("vorak-manager ") + DRAVIX_VERSION;
}

ParsedOptions parse_options(std::vector<std::string> const& args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  CommandLine line;
  try {
    try {
      line.read(args);
    } catch (CLI::CallForHelp const&) {
      parsed.status = ParsedOptions::HELP;
      return parsed;
    } catch (CLI::CallForVersion const&) {
      parsed.status = ParsedOptions::VERSION;
      return parsed;
    } catch (CLI::ParseError const& e) {
      throw BadValue{e.what()};
    }
    auto given = [&](char const* name) { return line.given(name); };
    auto text = [&](char const* name) { return line.values.at(name); };

    if (given("address")) {
      o.address = text("address");
      if (o.address.empty())
        throw BadValue{"--address takes a host name, an IPv4 address or an IPv6 one"};
    }
    if (given("port")) o.port = static_cast<int>(whole_number("port", text("port"), 0, 65535));
    if (given("white")) o.white = seat("white", text("white"), o.white_settings);
    if (given("black")) o.black = seat("black", text("black"), o.black_settings);
    if (given("web")) o.web_port = static_cast<int>(whole_number("web", text("web"), 0, 65535));
    if (given("open")) {
      o.open_file = text("open");
      if (o.open_file.empty()) throw BadValue{"--open takes the file name of a record"};
      if (given("games"))
        throw BadValue{"--open shows a record and plays no game: leave out --games"};
      if (!o.web_port) o.web_port = 0;
      o.games = 0;
    }
    if (given("games"))
      o.games = static_cast<int>(whole_number("games", text("games"), o.web_port ? 0 : 1, 1000000));
    o.pairs = given("pairs");
    o.alternate = given("alternate") || o.pairs;
    if (given("first-game")) {
      o.first_game = static_cast<int>(whole_number("first-game", text("first-game"), 1, 1000000));
      if (o.pairs && o.first_game % 2 == 0)
        throw BadValue{"--first-game of pairs is the first game of a pair, an odd number, not " +
                       std::to_string(o.first_game)};
    }
    if (given("seed"))
      o.seed = static_cast<std::uint32_t>(whole_number("seed", text("seed"), 0, 4294967295LL));
    if (given("board")) {
      o.board_file = text("board");
      if (o.board_file.empty()) throw BadValue{"--board takes a file name"};
    }
    if (given("action-limit")) o.action_limit_ms = limit_ms("action-limit", text("action-limit"));
    if (given("connect-limit"))
      o.connect_limit_ms = limit_ms("connect-limit", text("connect-limit"));
    std::string seconds_name = "--seconds";  // as given, for the refusals
    for (char const* name : {"seconds", "bot-time"}) {
      if (!given(name)) continue;
      seconds_name = std::string("--") + name;
      if (given("seconds") && given("bot-time"))
        throw BadValue{"--bot-time is the former name of --seconds: give one of them"};
      std::string error;
      std::optional<double> const seconds = thinking_time(text(name), true, error);
      if (!seconds) throw BadValue{seconds_name + " " + error};
      o.bot_seconds = *seconds;
    }
    if (given("record")) {
      o.record_file = text("record");
      if (o.record_file.empty()) throw BadValue{"--record takes a file name"};
    }
    o.quiet = given("quiet");
    if (given("jobs")) o.jobs = static_cast<int>(whole_number("jobs", text("jobs"), 1, 256));
    if (given("sprt")) {
      std::string error;
      o.sprt = parse_sprt(text("sprt"), error);
      if (!o.sprt) throw BadValue{"--sprt " + error};
    }
    if (given("merge")) {
      for (OptionEntry const& entry : OPTIONS) {
        std::string const name = entry.name;
        if (name != "merge" && name != "sprt" && name != "record" && name != "help" &&
            name != "version" && given(entry.name))
          throw BadValue{"--merge takes --sprt and --record only, not --" + name};
      }
      if (given("bot-time")) throw BadValue{"--merge takes --sprt and --record only"};
      o.merge = line.records;
      parsed.status = ParsedOptions::MERGE;
      return parsed;
    }
    if (given("elo")) {
      std::string error;
      std::optional<Tally> const tally = parse_tally(text("elo"), error);
      if (!tally) throw BadValue{"--elo " + error};
      parsed.tally = *tally;
      parsed.status = ParsedOptions::ELO;
      return parsed;
    }
    // Games side by side need seats that can be multiplied: not a connection or a person.
    if (o.jobs > 1) {
      for (auto [name, kind] : {std::pair("white", o.white), std::pair("black", o.black)}) {
        if (kind == SeatKind::TCP || kind == SeatKind::HUMAN)
          throw BadValue{"--jobs " + std::to_string(o.jobs) + " plays games at once, which a " +
                         seat_kind_name(kind) + " seat cannot (--" + name + ")"};
      }
      if (o.web_port) throw BadValue{"--jobs above 1 cannot be shown on --web's one board"};
    }

    for (auto [name, kind] : {std::pair("white", o.white), std::pair("black", o.black)}) {
      if (kind == SeatKind::HUMAN && !o.web_port)
        throw BadValue{std::string("--") + name +
                       " human needs --web PORT: the person plays on "
                       "that page"};
    }

    if (o.pairs && o.games % 2 != 0)
      throw BadValue{"--pairs plays whole pairs: --games " + std::to_string(o.games) + " is odd"};

    // The search uses its whole thinking time on the first action of a turn, and so does a
    // program given --seconds.
    for (auto [name, kind, settings] : {std::tuple("white", o.white, o.white_settings),
                                        std::tuple("black", o.black, o.black_settings)}) {
      if (kind != SeatKind::BOT && kind != SeatKind::COMMAND) continue;
      BotSettings const bot = bot_settings(settings, o.bot_seconds);
      std::string error;
      if (kind == SeatKind::BOT && !settings.seconds &&
          !thinking_time_fits(bot.seconds, bot.engine == "mcts", error))
        throw BadValue{seconds_name + " " + error + " (--" + name + ")"};
      int const limit = o.action_limit_for(kind);
      if (limit >= 0 && bot.seconds * 1000 >= limit)
        throw BadValue{(settings.seconds ? "the bot's time=" : seconds_name + " ") +
                       thinking_time_text(bot.seconds) + " would make the " +
                       (kind == SeatKind::BOT ? "bot" : "program") +
                       " lose on time: it must be below --action-limit"};
    }
  } catch (BadValue const& e) {
    parsed.status = ParsedOptions::ERROR;
    parsed.message = e.message;
  }
  return parsed;
}

}  // namespace manager
