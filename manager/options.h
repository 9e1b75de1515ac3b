// The manager's command line.
#ifndef DRAVIX_MANAGER_OPTIONS_H
#define DRAVIX_MANAGER_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "manager/elo.h"
#include "manager/seat.h"
#include "manager/seat_spec.h"

namespace manager {

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
  bool alternate = false;  // the seats change colours after every game
  std::optional<std::uint32_t> seed;
  std::string board_file;
  int action_limit_ms = -1;  // none
  unsigned short bot_seconds = 1;
  std::string record_file;
  bool quiet = false;
  // The port of the live board on 127.0.0.1 (0: any free one); none without --web.
  std::optional<int> web_port;
};

struct ParsedOptions {
  enum Status { RUN, HELP, ERROR };
  Status status = RUN;
  Options options;
  std::string message;  // the reason of an ERROR
};

// `args` are the arguments after the program name.
ParsedOptions parse_options(std::vector<std::string> const& args);
std::string help_text();

}  // namespace manager

#endif
