// The flat search's clock with a watch on it: every few thousand checks, on the thread of the
// search's first lane, the watch may look at that lane's tables. Only a watched search runs by
// it, so an unwatched one pays nothing.
#ifndef DRAVIX_AI_WATCHED_CLOCK_H
#define DRAVIX_AI_WATCHED_CLOCK_H

#include <cstdint>
#include <optional>

#include "ai/search_state.h"
#include "ai/search_watch.h"
#include "ai/thought.h"

template <class Clock>
class WatchedClock {
 public:
  // `single`: White's opening turn, of one action.
  WatchedClock(Clock inner, SearchWatch& watch, bool single)
      : inner_(inner), watch_(&watch), single_(single) {}

  // The lane whose tables the watch sees, one of `lanes` alike; the others' copies of the clock
  // only keep time.
  void watch_lane(SequenceTable const& best, SequenceTable const& worst, unsigned lanes) {
    best_ = &best;
    worst_ = &worst;
    lanes_ = lanes;
  }

  bool expired() {
    if (inner_.expired()) return true;
    if (++checks_ % LOOK_EVERY != 0) return false;
    if (watch_->cancelled()) return true;
    if (best_ == nullptr || !watch_->due()) return false;
    Thought thought = flat_thought(*best_, *worst_, std::nullopt, single_, std::nullopt);
    thought.playouts *= lanes_;  // the other lanes play about as many
    watch_->publish(thought);
    return false;
  }

 private:
  // Checks between looks at the watch's clock: a few milliseconds of playouts.
  static constexpr std::uint64_t LOOK_EVERY = 1 << 14;

  Clock inner_;
  SearchWatch* watch_;
  bool single_;
  SequenceTable const* best_ = nullptr;
  SequenceTable const* worst_ = nullptr;
  unsigned lanes_ = 1;
  std::uint64_t checks_ = 0;
};

// A clock without a watch has no lane to watch.
template <class Clock>
void watch_lane(Clock&, SequenceTable const&, SequenceTable const&, unsigned) {}
template <class Clock>
void watch_lane(WatchedClock<Clock>& clock, SequenceTable const& best, SequenceTable const& worst,
                unsigned lanes) {
  clock.watch_lane(best, worst, lanes);
}

#endif
