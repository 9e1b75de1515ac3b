// The clocks a search may run by: the calendar deadline of a real search, and a count of checks
// for searches that must repeat exactly.
#ifndef DRAVIX_AI_CLOCK_H
#define DRAVIX_AI_CLOCK_H

#include <cstdint>
#include <ctime>

#include "net/platform.h"

// The search ends at the first check at which the calendar second, as time() reads it, has
// reached the deadline. time() can be slow (microseconds a call under some runtimes), and it is
// checked before every step, so each check reads the cheap monotonic clock first and asks
// time() only when the deadline's second may be near.
class WallClock {
 public:
  explicit WallClock(std::time_t deadline) : deadline_(deadline) {}

  bool expired() {
    if (platform::CoarseMilliseconds() < quiet_until_) return false;
    return consult();
  }

 private:
  bool consult();

  std::time_t deadline_;
  std::int64_t quiet_until_ = 0;    // cheap clock: until then time() is short of the deadline
  std::int64_t next_estimate_ = 0;  // cheap clock: when to place the deadline on it again
};

// Expires after a fixed number of checks, so that a search repeats exactly: for tests, the
// fuzzed match loop and comparisons of the two playout forms.
struct StepClock {
  std::uint64_t remaining;
  bool expired() {
    if (remaining == 0) return true;
    --remaining;
    return false;
  }
};

#endif
