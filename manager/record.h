// What a series leaves behind: the JSON record of every game and the results table.
#ifndef DRAVIX_MANAGER_RECORD_H
#define DRAVIX_MANAGER_RECORD_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "manager/match.h"

namespace manager {

// Keys keep the order they are written in, so the record reads top-down.
using Json = nlohmann::ordered_json;

// Figures of one seat over a series, by its label.
struct SeatStats {
  std::string label;
  int games = 0;
  int wins = 0;
  int games_as_white = 0;
  int wins_as_white = 0;
  int games_as_black = 0;
  int wins_as_black = 0;
  int actions = 0;  // actions played and accepted
  double think_total = 0;
  double think_longest = 0;
};

struct SeriesStats {
  int games = 0;
  int white_wins = 0;
  int black_wins = 0;
  int no_result = 0;
  long long actions = 0;
  double average_actions = 0;
  std::vector<SeatStats> seats;  // in order of first appearance
};

// One line on how a game ended, such as "Game 2: White (greedy) beat Black (random) by
// elimination: Black has no Wemm left; 41 actions".
std::string result_line(GameRecord const& game);

SeriesStats summarize(std::vector<GameRecord> const& games);
// Counts one more game: a series keeps its figures as the games end, not the games.
void add_to_stats(SeriesStats& stats, GameRecord const& game);
std::string results_table(SeriesStats const& stats);

// "white", "black", or null for no colour, as records and the live page name the colours.
Json colour_json(Players p);
// A search's judgement of an action due to `player`, as records and the live page show it
// ("eval"): its engine, playouts, value for the side to act and for White, its candidates and
// its line, moves in server notation ("" for the pass).
Json thought_json(Thought const& thought, Players player);
// One action as records and the live page show it, with its "eval" when a bot judged it.
Json action_json(ActionRecord const& a);
Json game_json(GameRecord const& game);
// The record's "summary" of a series.
Json summary_json(SeriesStats const& stats);

// Writes `record` to `path` through a fresh temporary file beside it, flushed to the disk before
// it replaces the record, so that a reader or a crash never leaves half of it. The temporary
// file is made anew (never through a name that is already there, link or file), so a planted
// link cannot redirect the writing and two managers given one path do not share it; its name
// fits wherever the record's own does. Returns false and says why in `error` when it cannot;
// the former record then stays as it was, and no temporary file is left.
bool write_record(std::string const& path, Json const& record, std::string& error);

// The record file of a series: {"seed", "games": [...], then the keys of a tail such as
// "summary" and "duel"}. Each game's JSON is made once, as it ends, and kept in a spool file
// beside the record (gone when the series is), never in memory, so that a series of any length
// costs the same memory; the record is rewritten from the spool, whole and valid every time.
// A rewrite takes time in proportion to the whole record, so after games quicker than that it
// is put off: writing takes at most about a tenth of the series' time.
class RecordFile {
 public:
  explicit RecordFile(std::string path);
  ~RecordFile();
  RecordFile(RecordFile const&) = delete;
  RecordFile& operator=(RecordFile const&) = delete;

  // Before the first game: the record can be written where it is asked for. A path that is
  // there must be a regular file (not a folder, nor a device such as /dev/stdout); one that is
  // not is created and removed again; the spool is made. False, saying why in `error`.
  bool open(std::string& error);
  // Adds a finished game to the spool. False, saying why in `error`, when it cannot.
  bool add(GameRecord const& game, std::string& error);
  // Writes the record of `seed`, the games added and the keys of the object that `tail` builds,
  // when due or at once when `now` (the last game, an interrupted series). False, saying why in
  // `error`, when the writing failed.
  bool update(std::uint32_t seed, std::function<Json()> const& tail, bool now, std::string& error);

 private:
  using Clock = std::chrono::steady_clock;
  struct Spool;
  std::string path_;
  std::unique_ptr<Spool> spool_;
  int games_ = 0;
  Clock::time_point due_{};
};

}  // namespace manager

#endif
