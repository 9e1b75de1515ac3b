// What the live board page shows and does, apart from the HTTP and WebSocket transport
// (manager/web/web_server.h): the JSON state of the game in progress, the human seat that a person
// plays from the page, and the replay of a recorded game.
#ifndef DRAVIX_MANAGER_WEB_GAME_H
#define DRAVIX_MANAGER_WEB_GAME_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/vorak.h"
#include "manager/match.h"
#include "manager/record.h"
#include "manager/seat.h"

namespace manager {

// A position as the page draws it: "cells", the 60 playable cells in canonical order (null
// for an empty cell, else {"owner", "kind" of the top piece, "height"}), and "tallies", the
// six counters by colour and kind.
Json position_json(Vorak const& position);

// What a page may send as JSON. A game of a record is a few kilobytes and a few hundred values
// nested four deep; the bounds keep a hostile text from costing more than a few milliseconds
// (an ordered object looks its keys up one by one) or from nesting deeper than code that walks
// a value can follow.
constexpr int MAX_JSON_DEPTH = 32;
constexpr std::size_t MAX_JSON_VALUES = 10000;
constexpr std::size_t MAX_JSON_KEYS = 64;  // of one object

// Parses a page's JSON `text` within the bounds above. Returns nullopt with `error` set when it
// is not JSON or goes beyond them; the error quotes nothing of the text.
std::optional<Json> parse_page_json(std::string_view text, std::string& error);

// Replays one game of a record (an object with the record's "start" and "actions") under the
// referee. The answer holds "frames", the position before every action and after the last
// ({"position", "to_move", "step", "action"}), and "error": null, or why the record stops
// being a legal game (the frames then end before the action named).
Json replay_game(Json const& game);

// The game in progress as the page sees it, shared between the match loop's thread (as its
// observer and through the human seat) and the web server's thread (the page's requests).
class LiveGame : public MatchObserver {
 public:
  // A state message (JSON text) and its sequence number; later states have higher numbers.
  struct Message {
    std::uint64_t seq = 0;
    std::shared_ptr<std::string const> text;
  };
  // Told after every change, on the thread that made it and with the lock released, that a new
  // state is there. Nothing is built for it: state() builds the latest when it is asked for,
  // once however many changes came before. A series of fast players changes the state far more
  // often than anyone looks at it, so a page is sent the latest state when it is ready for one.
  using Listener = std::function<void()>;

  // State messages carry the result lines of only this many finished games, with the count of
  // all: the cost of one action must not grow with the games played.
  static constexpr std::size_t RECENT_RESULTS = 20;

  explicit LiveGame(int games);

  void set_listener(Listener listener);
  Message state() const;
  // A line on what the series waits for ("Waiting for White to connect to ..."); "" for none.
  void set_status(std::string const& status);
  // No game follows.
  void series_over();

  void on_start(GameRecord const& game, Vorak const& position) override;
  void on_request(GameRecord const& game, ActionRecord const& due, Vorak const& position) override;
  void on_action(GameRecord const& game, ActionRecord const& action,
                 Vorak const& position) override;
  void on_end(GameRecord const& game, Vorak const& position) override;
  // What a bot seat's search thinks of the action due to `player` as it goes; shown until the
  // action is played.
  void on_thinking(Players player, Thought const& thought);
  // A page is open to be told of changes.
  bool watched() const;

  // The human seat's side: waits until the page plays a legal action for `colour` on
  // `position`, or `limit_ms` passes (negative: no limit; a person takes the time they need),
  // or close() is called.
  Reply await_human(Players colour, Vorak const& position, int limit_ms);
  // The page's side: plays `move` (server notation, "" for the pass) as action number
  // `action`. Returns "" when it is taken, else why it is refused; a refused action is not
  // played, and the seat goes on waiting.
  std::string offer(long long action, std::string const& move);
  // Wakes a waiting human seat, which answers that it has gone; nothing waits after this.
  void close();

 private:
  struct Waiting {
    Players colour = NONE;
    int action = 0;
    int step = 1;
    std::vector<std::string> legal;     // internal move strings, "" for the pass
    std::optional<std::string> chosen;  // server notation
  };

  // Counts a new state, releases `lock` and tells the listener.
  void publish(std::unique_lock<std::mutex>& lock);
  // The game as the match thread reports it, under the lock.
  void take(GameRecord const& game, Vorak const& position, std::optional<ActionRecord> due);
  // Builds the message of the latest state; the lock must be held.
  void build() const;
  Json state_json() const;

  mutable std::mutex mutex_;
  std::condition_variable chosen_;
  std::shared_ptr<Listener const> listener_;  // called without the lock: shared, not copied
  mutable Message current_;                   // the message of state `current_.seq`
  std::uint64_t seq_ = 0;

  int games_;
  std::string status_;
  bool in_game_ = false;
  bool series_over_ = false;
  bool closed_ = false;
  GameRecord record_;
  std::optional<Vorak> position_;
  std::optional<ActionRecord> due_;
  std::optional<std::pair<Players, Thought>> thinking_;
  std::optional<Waiting> waiting_;
  int finished_ = 0;                 // games over
  std::deque<std::string> results_;  // result lines of the last RECENT_RESULTS games
};

// A person at the page: every request waits for the page (LiveGame::await_human).
class HumanSeat : public Seat {
 public:
  explicit HumanSeat(LiveGame& live) : live_(live) {}
  void start(Players colour, std::string const&) override { colour_ = colour; }
  Reply request(Vorak const& position, int limit_ms) override;
  void opponent_played(std::string const&) override {}
  void finish(std::string const&) override {}

 private:
  LiveGame& live_;
  Players colour_ = NONE;
};

}  // namespace manager

#endif
