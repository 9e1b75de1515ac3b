// One duel played in parts (jobs of a few pairs each, on other machines, say), put back
// together from the parts' records: each game once, in game order, as if one series had played
// them, with the results table, the Elo and the test's verdict over them and a record of them
// that opens on the page like any other.
#ifndef DRAVIX_MANAGER_MERGE_H
#define DRAVIX_MANAGER_MERGE_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "manager/elo.h"
#include "manager/record_reader.h"

namespace manager {

struct MergeSource {
  std::string name;  // as the notes call it: the file's path
  ReadRecord record;
};

struct Merged {
  std::uint32_t seed = 0;
  std::string seat, against;
  bool pairs = false;
  std::vector<GameRecord> games;   // counted, in game order
  int last_game = 0;               // the highest game number in the records
  std::vector<std::string> notes;  // games repeated, interrupted, missing or left out
  std::string end;                 // why counting stopped before last_game, if it did
};

// Merges the sources' games: every game number once, the first given that was played to its
// end (an interrupted game is never counted), in game order. Without `sprt` every game there
// counts; with it, the games count in order from game 1 up to the first one missing or to
// the one at which the test reaches its verdict (with pairs, a whole pair), as one series
// would have stopped there. Returns nullopt with `error` set when the sources are not parts of
// one duel: another seed, other seats, pairs in one and not in another, or one game number
// with other seats or another start in two of them.
std::optional<Merged> merge_records(std::vector<MergeSource> sources,
                                    std::optional<SprtHypotheses> const& sprt, std::string& error);

// vorak-manager --merge: reads the records at `paths`, merges them and prints each counted
// game's result with the running score, the notes, the results table, the Elo line (with
// `sprt` the test's) and how many games were counted; writes the merged record to
// `record_path` unless it is empty. Returns the exit status: 0 merged, 2 a record refused (a
// malformed one or one of another duel; `err` says which and why) or a record path that
// cannot be written, 1 when writing the merged record failed.
int run_merge(std::vector<std::string> const& paths, std::optional<SprtHypotheses> const& sprt,
              std::string const& record_path, std::ostream& out, std::ostream& err);

}  // namespace manager

#endif
