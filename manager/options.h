// The manager's command line.
#ifndef DRAVIX_MANAGER_OPTIONS_H
#define DRAVIX_MANAGER_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "manager/elo.h"
#include "manager/seat.h"
#include "manager/seat_settings.h"

namespace manager {

// Defaults that keep a silent or absent client from holding the series for ever.
constexpr int TCP_ACTION_LIMIT_MS = 10 * 60 * 1000;
constexpr int CONNECT_LIMIT_MS = 10 * 60 * 1000;

struct Options {
  std::string address = "127.0.0.1";
  int port = 2525;
  SeatKind white = SeatKind::TCP;
  SeatKind black = SeatKind::RANDOM;
  SeatSettings white_settings;  // given after the seat's kind ("bot:time=4")
  SeatSettings black_settings;
  int jobs = 1;  // games played at once
  std::optional<SprtHypotheses> sprt;
  int games = 1;
  // The number of the first game (--first-game): the series plays games first_game to
  // first_game + games - 1, each from the setup, the colours and the players' seeds it has in a
  // series from game 1, so that a duel can be played in parts.
  int first_game = 1;
  bool alternate = false;  // the seats change colours after every game
  std::optional<std::uint32_t> seed;
  std::string board_file;
  // Per action: none given (TCP seats then have TCP_ACTION_LIMIT_MS, the others none), or
  // milliseconds, -1 for none (--action-limit 0).
  std::optional<int> action_limit_ms;
  // How long a game waits for a TCP client to connect, -1 for ever.
  int connect_limit_ms = CONNECT_LIMIT_MS;
  // Thinking time per turn of a bot seat without time= and of a cmd seat (--seconds).
  double bot_seconds = 1;
  // Each setup is played twice in a row, the seats' colours swapped (--pairs).
  bool pairs = false;
  std::string record_file;
  bool quiet = false;
  // The port of the live board on 127.0.0.1 (0: any free one); none without --web.
  std::optional<int> web_port;
  // Records of a duel's parts to merge (--merge) instead of playing.
  std::vector<std::string> merge;
  // A record shown on the page from the start (--open); no game is played then.
  std::string open_file;

  // The limit per action of a seat of `kind`, -1 for none.
  int action_limit_for(SeatKind kind) const {
    if (action_limit_ms) return *action_limit_ms;
    return kind == SeatKind::TCP || kind == SeatKind::COMMAND ? TCP_ACTION_LIMIT_MS : -1;
  }
};

struct ParsedOptions {
  // ELO: print the figures of `tally` (--elo) and exit; MERGE: merge options.merge.
  enum Status { RUN, HELP, VERSION, ELO, MERGE, ERROR };
  Status status = RUN;
  Options options;
  Tally tally;
  std::string message;  // the reason of an ERROR
};

// `args` are the arguments after the program name.
ParsedOptions parse_options(std::vector<std::string> const& args);
std::string help_text();
// "vorak-manager" and the version.
std::string version_text();

}  // namespace manager

#endif
