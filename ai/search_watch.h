// A listener to a search while it runs. The search's own thread hands it a snapshot of what the
// search thinks a few times a second, at points where it already checks its clock, so that no
// other thread ever reads the search's counters; another thread may ask it to end the search
// early.
#ifndef DRAVIX_AI_SEARCH_WATCH_H
#define DRAVIX_AI_SEARCH_WATCH_H

#include <atomic>
#include <chrono>
#include <functional>
#include <utility>

#include "ai/thought.h"

class SearchWatch {
 public:
  using Sink = std::function<void(Thought const&)>;
  using Wanted = std::function<bool()>;
  using Steady = std::chrono::steady_clock;

  // `sink` is called on the search's thread with a snapshot at most once a `period`, and only
  // while `wanted` (if given) says that someone looks.
  explicit SearchWatch(Sink sink, Wanted wanted = nullptr,
                       std::chrono::milliseconds period = std::chrono::milliseconds(250))
      : sink_(std::move(sink)),
        wanted_(std::move(wanted)),
        period_(period),
        next_(Steady::now() + period) {}

  // The search's thread: whether a snapshot is due now.
  bool due() {
    Steady::time_point const now = Steady::now();
    if (now < next_) return false;
    if (wanted_ && !wanted_()) {
      next_ = now + period_;  // asked again a period later
      return false;
    }
    return true;
  }
  // The search's thread: hands a snapshot on.
  void publish(Thought const& thought) {
    next_ = Steady::now() + period_;
    if (sink_) sink_(thought);
  }

  // Any thread: the search is to end at its next look, as if its time were up.
  void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  Sink sink_;
  Wanted wanted_;
  std::chrono::milliseconds period_;
  Steady::time_point next_;
  std::atomic<bool> cancelled_{false};
};

#endif
