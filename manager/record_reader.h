// A duel's record read back, as another machine's job of the duel brings it: every byte of it
// is checked before anything is believed, down to each game's setup and actions, which are
// played again under the referee.
#ifndef DRAVIX_MANAGER_RECORD_READER_H
#define DRAVIX_MANAGER_RECORD_READER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manager/match.h"

namespace manager {

// A job of a few pairs is some tens of kilobytes; this is room for a whole long duel.
constexpr std::size_t MAX_RECORD_BYTES = std::size_t{64} << 20;

struct ReadRecord {
  std::uint32_t seed = 0;
  std::string seat;  // the duel's first seat, whose score is kept, and the other
  std::string against;
  bool pairs = false;             // each setup played twice, the colours swapped
  std::vector<GameRecord> games;  // game numbers rising
};

// Reads the text of a series' record of a duel (with its "duel" summary). Returns nullopt with
// `error` set when it is not one, or when any game in it is not one the manager could have
// played in that duel: its seats, setup, actions, winner and reason must agree with the
// seed, the seats and the rules.
std::optional<ReadRecord> read_record(std::string_view text, std::string& error);

// read_record on the file at `path` (at most MAX_RECORD_BYTES); the error names the path.
std::optional<ReadRecord> read_record_file(std::string const& path, std::string& error);

}  // namespace manager

#endif
