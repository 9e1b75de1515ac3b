// A series of games as the command line asks for it: seats, setups, the console's account of
// every game, the record and the results table.
#ifndef DRAVIX_MANAGER_SERIES_H
#define DRAVIX_MANAGER_SERIES_H

#include <ostream>
#include <string>

#include "manager/match.h"
#include "manager/options.h"

namespace manager {

// Tells the console about a game as it goes: the board after every action, or in quiet mode
// only the result.
class ConsoleObserver : public MatchObserver {
 public:
  ConsoleObserver(std::ostream& out, bool quiet, int games)
      : out_(out), quiet_(quiet), games_(games) {}
  void on_start(GameRecord const& game, Vorak const& position) override;
  void on_action(GameRecord const& game, ActionRecord const& action,
                 Vorak const& position) override;
  void on_end(GameRecord const& game, Vorak const& position) override;

 private:
  std::ostream& out_;
  bool quiet_;
  int games_;
};

// Plays the series; returns the exit status (0 played, 1 could not be played or recorded,
// 2 a bad board file, 128 + the signal when interrupted: the games so far are recorded and
// counted all the same). `out` gets the account, `err` the failures.
int run_series(Options const& options, std::ostream& out, std::ostream& err);

}  // namespace manager

#endif
