#include "manager/match.h"

#include <csignal>
#include <exception>
#include <iomanip>
#include <sstream>
#include <string>

#include "game/setup.h"
#include "manager/interrupt.h"
#include "match/printable.h"

namespace manager {

std::string seconds_text(double seconds) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(3) << seconds;
  return text.str();
}

GameOverBodies game_over_bodies(Reason reason) {
  switch (reason) {
    case Reason::ILLEGAL_MOVE:
      return {"OpponentMadeIllegalMove", "IllegalMove"};
    case Reason::DISCONNECTED:
      return {"OpponentDisconnected", ""};
    case Reason::TIME_LIMIT:
      return {"OtherPlayerForfeits", "YouLose"};
    case Reason::ERROR:
    case Reason::INTERRUPTED:
    case Reason::NONE:
      return {"NoContest", "NoContest"};
    default:
      return {"YouWin", "YouLose"};
  }
}

namespace {

bool stopped(Referee& referee) {
  int const signal = Interruption::signal_number();
  if (signal == 0) return false;
  referee.abandon(std::string("interrupted by ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                      " during action " + std::to_string(referee.action_number()),
                  Reason::INTERRUPTED);
  return true;
}

void run(Referee& referee, Seat& white, Seat& black, MatchSettings const& settings,
         GameRecord& record, MatchObserver* observer) {
  auto seat_of = [&](Players p) -> Seat& { return p == WHITE ? white : black; };

  white.start(WHITE, record.start);
  black.start(BLACK, record.start);
  // A connection that goes before it spoke was no client: the game is played again.
  auto no_client = [&](Players p, std::string const& what) {
    record.not_a_client = p;
    referee.abandon(
        colour_name(p) + "'s connection " + what + " before it sent a line of the game's protocol",
        Reason::DISCONNECTED);
  };
  for (Players p : {WHITE, BLACK}) {
    if (seat_of(p).connected() || referee.over()) continue;
    std::string const absence = seat_of(p).absence();
    if (!seat_of(p).spoke())
      no_client(p, "closed");
    else
      referee.forfeit(
          p, Reason::DISCONNECTED,
          colour_name(p) + (absence.empty() ? " left before the game began" : " " + absence));
  }
  if (observer != nullptr) observer->on_start(record, referee.position());

  while (!referee.over() && !stopped(referee)) {
    Players const mover = referee.to_move();
    Seat& seat = seat_of(mover);
    ActionRecord action;
    action.number = referee.action_number();
    action.player = mover;
    action.step = referee.step();
    if (observer != nullptr) observer->on_request(record, action, referee.position());

    int const limit_ms = settings.limit_ms(mover);
    Reply const reply = seat.request(referee.position(), limit_ms);
    if (stopped(referee)) break;
    // Never a legal move's text is changed by this, only what a client could abuse.
    std::string const text = client_text(reply.move);
    action.seconds = reply.seconds;
    action.move = text;
    std::string const who = colour_name(mover);
    bool const too_slow = limit_ms >= 0 && reply.seconds * 1000.0 > limit_ms;

    if (reply.status == Reply::NOT_A_CLIENT) {
      no_client(mover, reply.move);
    } else if (reply.status == Reply::DISCONNECTED) {
      referee.forfeit(mover, Reason::DISCONNECTED, who + " disconnected");
    } else if (reply.status == Reply::TIMEOUT || too_slow) {
      referee.forfeit(mover, Reason::TIME_LIMIT,
                      who + " took longer than " + seconds_text(limit_ms / 1000.0) +
                          " s for action " + std::to_string(action.number));
    } else if (reply.status == Reply::MALFORMED) {
      record.refused = action;
      referee.forfeit(mover, Reason::ILLEGAL_MOVE, who + ": malformed move \"" + text + "\"");
    } else {
      Referee::Verdict const verdict = referee.submit(text);
      if (!verdict.accepted) {
        record.refused = action;
      } else {
        action.move = verdict.move;
        action.kind = kind_name(verdict.kind);
        action.thought = reply.thought;
        record.actions.push_back(action);
        Seat& other = seat_of(opponent_of(mover));
        other.opponent_played(verdict.move);
        if (!other.connected() && !other.spoke())
          no_client(opponent_of(mover), "closed");
        else if (!other.connected())
          referee.forfeit(opponent_of(mover), Reason::DISCONNECTED,
                          colour_name(opponent_of(mover)) + " disconnected");
        if (observer != nullptr) observer->on_action(record, action, referee.position());
      }
    }
  }
}

}  // namespace

void play_match(Vorak const& start, Seat& white, Seat& black, MatchSettings const& settings,
                GameRecord& record, MatchObserver* observer) {
  Referee referee(start);
  record.start = board_description(referee.position());
  try {
    run(referee, white, black, settings, record, observer);
  } catch (std::exception const& e) {
    referee.abandon(std::string("the manager failed: ") + e.what());
  } catch (std::string const& text) {
    referee.abandon("the manager failed: " + text);
  } catch (char const* text) {
    referee.abandon(std::string("the manager failed: ") + text);
  }
  record.winner = referee.winner();
  record.reason = referee.reason();
  record.detail = referee.detail();

  if (record.not_a_client != NONE) {
    for (Players p : {WHITE, BLACK}) {
      Seat& seat = p == WHITE ? white : black;
      if (p == record.not_a_client)
        seat.finish("");
      else if (!record.actions.empty())
        seat.finish("NoContest");  // it cannot be taken back to the start
    }
    return;
  }
  GameOverBodies const bodies = game_over_bodies(record.reason);
  for (Players p : {WHITE, BLACK}) {
    Seat& seat = p == WHITE ? white : black;
    // Without a result both hear the same; a side that left hears nothing.
    seat.finish(p == record.winner || record.winner == NONE ? bodies.winner : bodies.loser);
  }
  if (observer != nullptr) observer->on_end(record, referee.position());
}

}  // namespace manager
