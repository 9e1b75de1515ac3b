#include "manager/referee.h"

#include <algorithm>
#include <string>
#include <vector>

#include "game/geometry.h"

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

Players opponent(Players player) {
  return player == WHITE ? BLACK : WHITE;
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

std::optional<std::string> parse_server_move(std::string const& text) {
  if (text.empty()) return std::string();
  // Exactly d,d,d,d: the notation's numbers are single digits.
  if (text.size() != 7 || text[1] != ',' || text[3] != ',' || text[5] != ',') return std::nullopt;
  int numbers[4];
  for (int i = 0; i < 4; ++i) {
    char const c = text[static_cast<std::size_t>(2 * i)];
    if (c < '0' || c > '9') return std::nullopt;
    numbers[i] = c - '0';
  }
  for (int i = 0; i < 4; i += 2) {
    if (numbers[i] >= geometry::SIZE || numbers[i + 1] >= geometry::row_length(numbers[i]))
      return std::nullopt;
  }
  std::string internal = text;
  Vorak(0).translate_move_from_cgm(internal);
  return internal;
}

std::optional<std::string> to_server_notation(std::string const& internal) {
  if (internal.empty()) return std::string();
  if (internal.size() != 4) return std::nullopt;
  for (char c : internal)
    if (c < '0' || c > '8') return std::nullopt;
  if (!geometry::is_playable(internal[0] - '0', internal[1] - '0') ||
      !geometry::is_playable(internal[2] - '0', internal[3] - '0'))
    return std::nullopt;
  std::string text = internal;
  Vorak(0).translate_move_to_cgm(text);
  return text;
}

std::vector<std::string> legal_actions(Vorak const& state, Players player) {
  std::vector<std::string> moves;
  if (state.step() == 1) {
    state.get_moves_by_action(moves, player, 1, CAPTURE);
  } else {
    state.get_moves_by_action(moves, player, 2, ANY);
    moves.emplace_back();
  }
  return moves;
}

Referee::Referee(Vorak const& start) : state_(start) {
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
    end(opponent(mover), Reason::ILLEGAL_MOVE, colour_name(mover) + ": " + verdict.error);
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
  if (state_.step() == 1) to_move_ = opponent(mover);
  judge_position();
  return verdict;
}

void Referee::forfeit(Players loser, Reason reason, std::string const& detail) {
  if (!over()) end(opponent(loser), reason, detail);
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
    Players const loser = opponent(winner);
    end(winner, Reason::ELIMINATION,
        colour_name(loser) + " has no " + missing_kind(state_, loser) + " left");
    return;
  }
  if (state_.step() == 1 && legal().empty())
    end(opponent(to_move_), Reason::NO_CAPTURE,
        colour_name(to_move_) + " has no capture to open its turn");
}

}  // namespace manager
