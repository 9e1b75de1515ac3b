#include "manager/interrupt.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <utility>

namespace manager {

namespace {

// Only a lock-free atomic may be touched by a signal handler.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be lock-free");

extern "C" void on_signal(int number) {
  int expected = 0;
  if (!caught.compare_exchange_strong(expected, number)) {
    // Asked twice: the person means it.
    std::signal(number, SIG_DFL);
    std::raise(number);
    return;
  }
  std::signal(number, on_signal);  // Windows resets the handler before calling it
}

}  // namespace

Interruption::Interruption(std::function<void()> wake) : wake_(std::move(wake)) {
  caught = 0;
  former_int_ = std::signal(SIGINT, on_signal);
  former_term_ = std::signal(SIGTERM, on_signal);
  if (!wake_) return;
  watcher_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      if (requested()) {
        lock.unlock();
        wake_();
        return;
      }
      stop_.wait_for(lock, std::chrono::milliseconds(INTERRUPT_POLL_MS));
    }
  });
}

Interruption::~Interruption() {
  if (watcher_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    watcher_.join();
  }
  std::signal(SIGINT, former_int_ == SIG_ERR ? SIG_DFL : former_int_);
  std::signal(SIGTERM, former_term_ == SIG_ERR ? SIG_DFL : former_term_);
}

int Interruption::signal_number() {
  return caught.load();
}

void Interruption::wait() const {
  while (!requested()) std::this_thread::sleep_for(std::chrono::milliseconds(INTERRUPT_POLL_MS));
}

}  // namespace manager
