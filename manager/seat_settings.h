// A seat as the command line names it, with its settings: "bot:time=4,threads=2,engine=flat",
// "bot:engine=mcts,parallel=tree".
#ifndef DRAVIX_MANAGER_SEAT_SETTINGS_H
#define DRAVIX_MANAGER_SEAT_SETTINGS_H

#include <optional>
#include <string>

#include "manager/seat.h"

namespace manager {

// The settings given after the seat's kind; only a bot seat takes any. Unset ones take the
// defaults (BotSettings).
struct SeatSettings {
  std::optional<unsigned short> seconds;  // time=
  std::optional<unsigned> threads;        // threads=
  std::optional<std::string> engine;      // engine=
  std::optional<std::string> parallel;    // parallel=, only with engine=mcts
  bool empty() const { return !seconds && !threads && !engine && !parallel; }
};

// What a bot seat's search runs with.
struct BotSettings {
  unsigned short seconds = 1;  // thinking time per turn
  unsigned threads = 1;        // searchers of one position at once; 0: every core
  std::string engine = "flat";
  std::string parallel = "root";  // the tree search's threads: a tree each, or one shared
};

struct SeatChoice {
  SeatKind kind = SeatKind::TCP;
  SeatSettings settings;
};

// Reads "KIND" or "KIND:KEY=VALUE,...". On a fault returns nothing and says why in `error`.
std::optional<SeatChoice> parse_seat_choice(std::string const& text, std::string& error);

// The bot's settings: those given, else the defaults, with `default_seconds` (--bot-time).
BotSettings bot_settings(SeatSettings const& given, unsigned short default_seconds);

// How the results and the records name the seat: its kind and the settings given, in a fixed
// order ("bot:time=4,threads=2").
std::string seat_label(SeatKind kind, SeatSettings const& settings);

}  // namespace manager

#endif
