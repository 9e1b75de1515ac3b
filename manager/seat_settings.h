// A seat as the command line names it, with its settings: "bot:time=4,threads=2,engine=flat",
// "bot:engine=mcts,time=0.2,tree_mb=256,clock=calendar", "cmd:build/bin/dravix-bot --engine mcts".
#ifndef DRAVIX_MANAGER_SEAT_SETTINGS_H
#define DRAVIX_MANAGER_SEAT_SETTINGS_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "manager/bot_settings.h"
#include "manager/seat.h"

namespace manager {

// Thinking time per turn: whole seconds from 1 to 3600, or with the tree search (engine=mcts)
// also fractions of at most three decimals from 0.05. On a fault returns nothing and says why
// in `error`. Every thinking time the manager reads goes through here.
std::optional<double> thinking_time(std::string const& text, bool tree_search, std::string& error);
// The same rule for a time already read: whether `seconds` is a thinking time of the engine.
bool thinking_time_fits(double seconds, bool tree_search, std::string& error);
// "4", "0.25": the shortest text that reads back as `seconds` (three decimals at most).
std::string thinking_time_text(double seconds);

// The settings given after the seat's kind; a bot seat takes KEY=VALUE settings, a cmd seat
// its command line. Unset ones take the defaults (BotSettings).
struct SeatSettings {
  std::optional<double> seconds;        // time=
  std::optional<unsigned> threads;      // threads=
  std::optional<std::string> engine;    // engine=
  std::optional<std::string> parallel;  // parallel=, only with engine=mcts
  std::optional<std::size_t> tree_mb;   // tree_mb=, only with engine=mcts
  std::optional<std::string> clock;     // clock=, only with engine=mcts
  std::vector<std::string> command;     // cmd: the program and its arguments
  std::string command_text;             // cmd: the command as given
  bool empty() const {
    return !seconds && !threads && !engine && !parallel && !tree_mb && !clock && command.empty();
  }
};

struct SeatChoice {
  SeatKind kind = SeatKind::TCP;
  SeatSettings settings;
};

// Reads "KIND", "bot:KEY=VALUE,..." or "cmd:COMMAND". On a fault returns nothing and says why
// in `error`.
std::optional<SeatChoice> parse_seat_choice(std::string const& text, std::string& error);

// Splits a command line into words as a shell does for plain words and quotes: blanks
// separate words; '...' keeps everything literally; "..." keeps everything but a backslash
// before " \ $ or `, which stands for that character; a backslash elsewhere takes the next
// character literally. Nothing else of a shell: an unquoted | & ; < > ( ) $ ` * ? [ ] or a
// missing closing quote is refused, with the reason in `error`.
std::optional<std::vector<std::string>> split_command(std::string const& text, std::string& error);

// The bot's settings: those given, else the defaults, with `default_seconds` (--seconds).
BotSettings bot_settings(SeatSettings const& given, double default_seconds);

// How the results and the records name the seat: its kind and the settings given, in a fixed
// order ("bot:time=4,threads=2"; "cmd:" and the command as given).
std::string seat_label(SeatKind kind, SeatSettings const& settings);

}  // namespace manager

#endif
