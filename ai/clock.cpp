#include "ai/clock.h"

#include <algorithm>
#include <chrono>

namespace {

// time() is asked at every check from this long before the deadline's second, as the precise
// calendar clock places it. It covers the cheap clock's coarseness (up to 16 ms) and time()'s
// lag behind the precise clock (a few milliseconds; it is never ahead).
constexpr std::int64_t NEAR_MS = 50;
// The deadline is placed again at least this often, so that a calendar set forwards or back
// during a search moves the window with it.
constexpr std::int64_t REESTIMATE_MS = 100;

}  // namespace

bool WallClock::consult() {
  std::int64_t const now = platform::CoarseMilliseconds();
  if (std::time(nullptr) >= deadline_) return true;
  if (now >= next_estimate_) {
    auto const left =
        std::chrono::system_clock::from_time_t(deadline_) - std::chrono::system_clock::now();
    std::int64_t const quiet =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left).count() - NEAR_MS,
                 REESTIMATE_MS);
    if (quiet > 0) {
      quiet_until_ = now + quiet;
      next_estimate_ = quiet_until_;
    } else {
      quiet_until_ = now;  // near: time() at every check until it reaches the deadline
      next_estimate_ = now + REESTIMATE_MS;
    }
  }
  return false;
}
