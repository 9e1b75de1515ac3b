#include "manager/parallel.h"

#include <algorithm>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace manager {

void play_in_order(GameRun const& run) {
  std::mutex mutex;
  int next = 1;  // the next game to start
  int due = 1;   // the next game to deliver
  bool over = false;
  std::map<int, GameRecord> finished;  // ahead of `due`
  std::exception_ptr failure;

  auto fail = [&](std::exception_ptr error) {
    if (!failure) failure = std::move(error);
    over = true;
  };
  auto worker = [&] {
    for (;;) {
      int g = 0;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!over && run.stop) {
          try {
            over = run.stop();
          } catch (...) {
            fail(std::current_exception());
          }
        }
        if (over || next > run.games) return;
        g = next++;
      }
      GameRecord record;
      try {
        record = run.play(g);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        fail(std::current_exception());
        return;
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (over) return;
      finished.emplace(g, std::move(record));
      try {
        while (!over && !finished.empty() && finished.begin()->first == due) {
          ++due;
          over = !run.deliver(finished.begin()->second);
          finished.erase(finished.begin());
        }
      } catch (...) {
        fail(std::current_exception());
        return;
      }
    }
  };

  int const threads = std::min(run.jobs, run.games);
  if (threads <= 1) {
    worker();
  } else {
    std::vector<std::thread> pool;
    try {
      for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
    } catch (...) {  // no more threads: end with those that started
      std::lock_guard<std::mutex> lock(mutex);
      fail(std::current_exception());
    }
    for (std::thread& t : pool) t.join();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace manager
