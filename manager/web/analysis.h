// The page's analysis: the tree search of a position of the analysis board for a time the page
// chooses, one at a time, on a thread of its own, its judgement refreshed as it goes; the page
// may cancel it.
#ifndef DRAVIX_MANAGER_WEB_ANALYSIS_H
#define DRAVIX_MANAGER_WEB_ANALYSIS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ai/search_watch.h"
#include "ai/thought.h"
#include "manager/record.h"
#include "manager/web/analysis_board.h"

namespace manager {

class Analysis {
 public:
  // The longest analysis, and the shortest, in seconds.
  static constexpr double MOST_SECONDS = 60;
  static constexpr double FEWEST_SECONDS = 0.05;
  // The trees of one analysis together, in MiB.
  static constexpr std::size_t TREE_MB = 256;

  Analysis() = default;
  ~Analysis();  // cancels the analysis under way and waits for it
  Analysis(Analysis const&) = delete;
  Analysis& operator=(Analysis const&) = delete;

  // Starts the search of `setup` for `seconds` (FEWEST_SECONDS to MOST_SECONDS) on every core.
  // "" once it has begun, else why it has not: another is under way, or there is nothing to
  // analyse.
  std::string start(BoardSetup const& setup, double seconds);
  // Ends the analysis under way at its next look, as if its time were up; false when none was.
  bool cancel();
  // {"id" (of the latest analysis, 0 before the first), "running", "cancelled", "seconds",
  // "elapsed", "board", "player", "step", "opening" (of the position analysed), "thinking" (its
  // judgement so far, or at the end; null before the first), "error"}.
  Json status() const;

 private:
  using Steady = std::chrono::steady_clock;
  void run(BoardSetup setup, double seconds, std::uint64_t id);

  mutable std::mutex mutex_;
  std::thread thread_;
  std::unique_ptr<SearchWatch> watch_;
  std::uint64_t id_ = 0;
  bool running_ = false;
  bool cancelled_ = false;
  double seconds_ = 0;
  Steady::time_point began_{};
  Steady::time_point ended_{};
  std::optional<BoardSetup> setup_;
  std::optional<Thought> thought_;
  std::string error_;
};

}  // namespace manager

#endif
