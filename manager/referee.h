// The referee: which side is to act, which actions are legal, and when and why a game ends.
// It knows nothing of seats, sockets or consoles, so any front end can drive it.
#ifndef DRAVIX_MANAGER_REFEREE_H
#define DRAVIX_MANAGER_REFEREE_H

#include <string>
#include <vector>

#include "game/notation.h"  // the referee's callers speak server notation
#include "game/vorak.h"

namespace manager {

// INTERRUPTED: the manager was asked to stop (Ctrl-C) while the game was played.
enum class Reason {
  NONE,
  ELIMINATION,
  NO_CAPTURE,
  ILLEGAL_MOVE,
  TIME_LIMIT,
  DISCONNECTED,
  ERROR,
  INTERRUPTED
};

// "elimination", "no capture", "illegal move", "time limit", "disconnected", "error",
// "interrupted" ("" for NONE).
std::string reason_name(Reason reason);
// "White", "Black" or "Nobody".
std::string colour_name(Players player);

enum class ActionKind { CAPTURE, STACKING, PASS };
std::string kind_name(ActionKind kind);  // "capture", "stacking", "pass"

class Referee {
 public:
  // `start` is a position before its first action (White moves first, one action).
  explicit Referee(Vorak const& start);
  // A position of a game under way, `to_move`'s action due (the turn's step by the position's
  // turn counter); its actions are counted from here.
  Referee(Vorak const& position, Players to_move);

  Vorak const& position() const { return state_; }
  bool over() const { return reason_ != Reason::NONE; }
  Players winner() const { return winner_; }
  Reason reason() const { return reason_; }
  std::string const& detail() const { return detail_; }

  Players to_move() const { return to_move_; }
  unsigned short step() const { return state_.step(); }
  int action_number() const { return actions_ + 1; }
  std::vector<std::string> legal() const { return legal_actions(state_, to_move_); }

  struct Verdict {
    bool accepted = false;
    std::string move;  // canonical server notation of the accepted action
    ActionKind kind = ActionKind::PASS;
    std::string error;  // why it was refused
  };
  // Judges and, when legal, applies the mover's action. A refused action ends the game: the
  // mover loses for an illegal move.
  Verdict submit(std::string const& server_text);
  // Ends the game against `loser` for a reason found outside the rules (time, connection).
  void forfeit(Players loser, Reason reason, std::string const& detail);
  // Ends the game without a result, for an ERROR or an INTERRUPTED game.
  void abandon(std::string const& detail, Reason reason = Reason::ERROR);

 private:
  void end(Players winner, Reason reason, std::string detail);
  // After every action and at the start: a lost kind, or a turn that cannot open.
  void judge_position();

  Vorak state_;
  Players to_move_ = WHITE;
  int actions_ = 0;
  Players winner_ = NONE;
  Reason reason_ = Reason::NONE;
  std::string detail_;
};

}  // namespace manager

#endif
