#include "manager/referee.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "game/notation.h"

namespace manager {

namespace {

// The kind that `player` has run out of, for the record's explanation.
std::string missing_kind(Vorak const& s, Players player) {
  for (Pieces p : {VORAK, MORIEL, WEMM})
    if (s.counter(player, p) == 0) return piece_name(p);
  return "?";
}

}  // namespace

std::string reason_name(Reason reason) {
  switch (reason) {
    case Reason::NONE:
      return "";
    case Reason::ELIMINATION:
      return "elimination";
    case Reason::NO_CAPTURE:
      return "no capture";
    case Reason::ILLEGAL_MOVE:
      return "illegal move";
    case Reason::TIME_LIMIT:
      return "time limit";
    case Reason::DISCONNECTED:
      return "disconnected";
    case Reason::ERROR:
      return "error";
    case Reason::INTERRUPTED:
      return "interrupted";
  }
  return "";
}

std::string colour_name(Players player) {
  return player == WHITE ? "White" : player == BLACK ? "Black" : "Nobody";
}

std::string kind_name(ActionKind kind) {
  switch (kind) {
    case ActionKind::CAPTURE:
      return "capture";
    case ActionKind::STACKING:
      return "stacking";
    case ActionKind::PASS:
      return "pass";
  }
  return "";
}

Referee::Referee(Vorak const& start) : Referee(start, WHITE) {}

Referee::Referee(Vorak const& position, Players to_move) : state_(position), to_move_(to_move) {
  state_.own_player = NONE;
  judge_position();
}

Referee::Verdict Referee::submit(std::string const& server_text) {
  Verdict verdict;
  if (over()) {
    verdict.error = "the game is over";
    return verdict;
  }
  Players const mover = to_move_;
  std::optional<std::string> const internal = parse_server_move(server_text);
  if (!internal) {
    verdict.error = "\"" + server_text + "\" is not a move in server notation";
  } else {
    std::vector<std::string> const moves = legal();
    if (std::find(moves.begin(), moves.end(), *internal) == moves.end()) {
      if (internal->empty())
        verdict.error = "a turn must open with a capture, not a pass";
      else
        verdict.error = server_text + " is not a legal " +
                        std::string(step() == 1 ? "first" : "second") + " action for " +
                        colour_name(mover);
    }
  }
  if (!verdict.error.empty()) {
    end(opponent_of(mover), Reason::ILLEGAL_MOVE, colour_name(mover) + ": " + verdict.error);
    return verdict;
  }

  verdict.accepted = true;
  verdict.move = *to_server_notation(*internal);
  if (internal->empty()) {
    verdict.kind = ActionKind::PASS;
  } else {
    Entry const& target = state_.board[(*internal)[2] - '0'][(*internal)[3] - '0'];
    verdict.kind = target.owner == mover ? ActionKind::STACKING : ActionKind::CAPTURE;
  }
  state_.execute_move(*internal, false);
  ++actions_;
  if (state_.step() == 1) to_move_ = opponent_of(mover);
  judge_position();
  return verdict;
}

void Referee::forfeit(Players loser, Reason reason, std::string const& detail) {
  if (!over()) end(opponent_of(loser), reason, detail);
}

void Referee::abandon(std::string const& detail, Reason reason) {
  if (!over()) end(NONE, reason, detail);
}

void Referee::end(Players winner, Reason reason, std::string detail) {
  winner_ = winner;
  reason_ = reason;
  detail_ = std::move(detail);
}

void Referee::judge_position() {
  Players const winner = state_.is_game_over();
  if (winner != NONE) {
    Players const loser = opponent_of(winner);
    end(winner, Reason::ELIMINATION,
        colour_name(loser) + " has no " + missing_kind(state_, loser) + " left");
    return;
  }
  if (state_.step() == 1 && legal().empty())
    end(opponent_of(to_move_), Reason::NO_CAPTURE,
        colour_name(to_move_) + " has no capture to open its turn");
}

}  // namespace manager
