// One refereed game between two seats, and what is recorded of it.
#ifndef DRAVIX_MANAGER_MATCH_H
#define DRAVIX_MANAGER_MATCH_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/vorak.h"
#include "manager/referee.h"
#include "manager/seat.h"

namespace manager {

struct ActionRecord {
  int number = 0;  // 1-based over the game
  Players player = NONE;
  int step = 1;      // 1 for the first action of a turn, 2 for the second
  std::string move;  // server notation, "" for a pass; as received when refused
  std::string kind;  // "capture", "stacking", "pass"; empty when refused
  double seconds = 0;
  std::optional<Thought> thought;  // a built-in bot's judgement of its action
};

struct GameRecord {
  int game = 1;
  std::string white;  // seat labels
  std::string black;
  std::string start;                        // board description of the starting position
  std::optional<std::uint32_t> setup_seed;  // of a random setup
  std::vector<ActionRecord> actions;
  std::optional<ActionRecord> refused;  // the action that lost the game as illegal
  Players winner = NONE;
  Reason reason = Reason::NONE;
  std::string detail;
  // The colour whose connection turned out no client of the game (NOT_A_CLIENT): the game has
  // no result, counts for nothing and is to be played again from the same setup.
  Players not_a_client = NONE;
};

// Hooks for a front end that shows the game as it goes (the console now, others later).
class MatchObserver {
 public:
  virtual ~MatchObserver() = default;
  virtual void on_start(GameRecord const&, Vorak const&) {}
  // The seat of `due.player` is asked for action `due.number` (`due.step` of its turn).
  virtual void on_request(GameRecord const&, ActionRecord const& /*due*/, Vorak const&) {}
  virtual void on_action(GameRecord const&, ActionRecord const&, Vorak const&) {}
  virtual void on_end(GameRecord const&, Vorak const&) {}
};

struct MatchSettings {
  int action_limit_ms = -1;  // per action, negative for none
  // One colour's own limit (White's, Black's) in place of action_limit_ms, when set.
  std::optional<int> seat_limit_ms[2] = {};

  int limit_ms(Players p) const {
    std::optional<int> const& own = seat_limit_ms[p == WHITE ? 0 : 1];
    return own ? *own : action_limit_ms;
  }
};

// Seconds with three decimals, as the console and the results table show them.
std::string seconds_text(double seconds);

// GameOver bodies for the winner's and the loser's seat, by the reason of the end.
struct GameOverBodies {
  std::string winner;
  std::string loser;  // empty when the loser is gone and hears nothing
};
GameOverBodies game_over_bodies(Reason reason);

// Plays one game from `start` (White to open with a single action) and tells both seats how
// it ended. A game that ends because a seat was no client (record.not_a_client) closes only
// that seat; the other hears nothing and stays open for the game played again, unless it has
// been told of an action (it then hears NoContest), and observers are not told of its end. A
// requested interruption (manager/interrupt.h) ends it without a result. What a seat answered is
// kept, and quoted, only as client_text (match/printable.h) shows it. `record` arrives with its
// number and labels filled; the rest is filled here.
void play_match(Vorak const& start, Seat& white, Seat& black, MatchSettings const& settings,
                GameRecord& record, MatchObserver* observer = nullptr);

}  // namespace manager

#endif
