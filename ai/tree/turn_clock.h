// The clocks a turn of the tree search may end by: its own monotonic clock, started when the
// turn's first request arrives and stopped short of the thinking time by a safety margin, or
// the flat search's calendar second, so that engines can be compared on one clock.
#ifndef DRAVIX_AI_TREE_TURN_CLOCK_H
#define DRAVIX_AI_TREE_TURN_CLOCK_H

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>

#include "ai/clock.h"

class TurnClock {
 public:
  using Steady = std::chrono::steady_clock;

  // What the turn keeps back for joining its threads, choosing, answering and the other end's
  // measuring: a twentieth of the time, at least 20 ms, at most 250 ms.
  static double margin(double seconds) { return std::clamp(seconds / 20, 0.02, 0.25); }

  // Ends `seconds` after `start`, less the margin.
  static TurnClock monotonic(Steady::time_point start, double seconds) {
    TurnClock clock(start);
    clock.end_ = start + std::chrono::duration_cast<Steady::duration>(
                             std::chrono::duration<double>(seconds - margin(seconds)));
    return clock;
  }
  // Ends when the calendar second reaches `deadline`, as time() tells it.
  static TurnClock calendar(Steady::time_point start, std::time_t deadline) {
    TurnClock clock(start);
    clock.calendar_ = WallClock(deadline);
    // At the latest: the calendar second has begun at most a second ago.
    clock.end_ =
        start + std::chrono::seconds(std::max<std::time_t>(0, deadline - std::time(nullptr)));
    return clock;
  }

  // Each thread checks a copy of its own.
  bool expired() {
    if (calendar_) return calendar_->expired();
    return Steady::now() >= end_;
  }
  // The seconds since the turn began, and those left by the monotonic estimate.
  double elapsed() const { return std::chrono::duration<double>(Steady::now() - start_).count(); }
  double left() const {
    return std::max(0.0, std::chrono::duration<double>(end_ - Steady::now()).count());
  }

 private:
  explicit TurnClock(Steady::time_point start) : start_(start), end_(start) {}

  Steady::time_point start_;
  Steady::time_point end_;
  std::optional<WallClock> calendar_;
};

#endif
