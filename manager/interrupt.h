// Ctrl-C (SIGINT) and SIGTERM during a series. The first asks the series to end cleanly: every
// wait of the manager looks at requested() at least ten times a second, so the game in progress
// is recorded as interrupted, the record written and the results printed. A second signal ends
// the program at once (a bot seat's search cannot be cut short, and may take its whole time).
#ifndef DRAVIX_MANAGER_INTERRUPT_H
#define DRAVIX_MANAGER_INTERRUPT_H

#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

namespace manager {

// How long a wait may go before it looks at Interruption::requested() again.
constexpr int INTERRUPT_POLL_MS = 100;

class Interruption {
 public:
  // Catches both signals while it lives, and restores the former handlers after; one at a time.
  // `wake`, when given, runs once on a thread of its own soon after the first signal, for a wait
  // that cannot look at requested() itself (a condition variable).
  explicit Interruption(std::function<void()> wake = nullptr);
  ~Interruption();
  Interruption(Interruption const&) = delete;
  Interruption& operator=(Interruption const&) = delete;

  // The signal that asked the series to end, 0 while none has.
  static int signal_number();
  static bool requested() { return signal_number() != 0; }
  // Returns once a signal has come.
  void wait() const;

 private:
  using Handler = void (*)(int);
  Handler former_int_;
  Handler former_term_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace manager

#endif
