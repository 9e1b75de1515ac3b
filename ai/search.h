// The search driver, written once for any playout form and any clock: playouts until the clock
// expires, each recorded under the program's opening sequence, then the choice from the tables;
// on one thread, or on several at once.
#ifndef DRAVIX_AI_SEARCH_H
#define DRAVIX_AI_SEARCH_H

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ai/clock.h"
#include "ai/search_state.h"
#include "ai/watched_clock.h"

struct SearchTallies {
  std::uint32_t playouts = 0;
  std::uint32_t wins = 0;
  std::uint32_t losses = 0;
  std::uint64_t actions = 0;
};

// What the threads of one search share: whether it has turned concerned. The switch counts the
// playouts of every thread, so that the search as a whole turns concerned as a search of one
// thread does: once more than CONCERNED_AFTER playouts have begun, all threads together, without
// a single win among them. The verdict is taken once for all threads: a first win settles it
// against, the count passing the threshold first settles it for; from then on every thread
// plays by it.
struct SharedConcern {
  enum Verdict : int { OPEN, CONFIDENT, CONCERNED };
  alignas(64) std::atomic<int> verdict{OPEN};
  alignas(64) std::atomic<std::uint32_t> begun{0};
};

// One searcher's playouts of one position, with its own engine and tables.
template <class P, class Clock>
class PlayoutRunner {
 public:
  enum class End { DEADLINE, WON_AT_FIRST_STEP };

  // `shared` is null for a search of one thread, which judges concern by its own tallies.
  PlayoutRunner(P const& start, Players own, Clock& clock, boost::random::mt19937& engine,
                SequenceTable& best, SequenceTable& worst, SharedConcern* shared)
      : start_(start),
        own_(own),
        clock_(clock),
        engine_(engine),
        best_(best),
        worst_(worst),
        shared_(shared) {}

  // Plays out until the clock expires or a win is found at the very first step.
  End run() {
    while (!clock_.expired()) {
      ++tallies_.playouts;
      if (shared_ && !settled_) shared_->begun.fetch_add(1, std::memory_order_relaxed);
      std::string key;
      Outcome const outcome = playout(key);
      if (outcome == Outcome::DEADLINE) return End::DEADLINE;
      record(outcome != Outcome::LOST, key);
      if (outcome == Outcome::WON_AT_FIRST_STEP) return End::WON_AT_FIRST_STEP;
    }
    return End::DEADLINE;
  }

  SearchTallies const& tallies() const { return tallies_; }
  bool concerned() const { return concerned_; }

 private:
  using Move = typename P::Move;
  enum class Outcome { WON, LOST, WON_AT_FIRST_STEP, DEADLINE };

  // One playout from the start position; on an ending other than the deadline, `key` is the
  // sequence to record it under.
  Outcome playout(std::string& key) {
    P p = start_;
    Move first_action = P::NO_MOVE;
    Move second_action = P::NO_MOVE;
    bool second_pending = p.move_count() > 1;  // "W": the second action is still to come
    Players mover = own_;
    auto opening_key = [&] {
      key = P::text(first_action);
      key += second_pending ? std::string("W") : P::text(second_action);
    };

    for (;;) {
      if (clock_.expired()) return Outcome::DEADLINE;

      if (p.move_count() % 2 == 0 && p.opponent_low(mover)) {
        Decision decision;
        if (p.lookahead(mover, decision)) {
          bool const won = decision.winner == own_;
          if (first_step_) {
            key = decision.first + decision.second;
            return won ? Outcome::WON_AT_FIRST_STEP : Outcome::LOST;
          }
          opening_key();
          return won ? Outcome::WON : Outcome::LOST;
        }
      }

      update_concern();

      Move move;
      if (!p.pick(mover, concerned_, engine_, move)) {
        opening_key();
        return mover != own_ ? Outcome::WON : Outcome::LOST;
      }
      p.execute(move);
      ++tallies_.actions;

      if (first_action == P::NO_MOVE) {
        first_action = move;
      } else if (second_pending) {
        second_action = move;
        second_pending = false;
      }
      if (p.move_count() % 2 == 0) mover = opponent_of(mover);
      first_step_ = false;
    }
  }

  void record(bool won, std::string const& key) {
    if (won) {
      ++tallies_.wins;
      ++best_[key];
      if (shared_ && !settled_) {
        int open = SharedConcern::OPEN;
        shared_->verdict.compare_exchange_strong(open, SharedConcern::CONFIDENT);
      }
    } else {
      ++tallies_.losses;
      ++worst_[key];
    }
    first_step_ = false;
  }

  // Checked at every step that reaches the candidate list.
  void update_concern() {
    if (!shared_) {
      if (tallies_.wins == 0 && tallies_.playouts > CONCERNED_AFTER) concerned_ = true;
      return;
    }
    if (settled_) return;
    int verdict = shared_->verdict.load(std::memory_order_relaxed);
    if (verdict == SharedConcern::OPEN &&
        shared_->begun.load(std::memory_order_relaxed) > CONCERNED_AFTER) {
      shared_->verdict.compare_exchange_strong(verdict, SharedConcern::CONCERNED);
      verdict = shared_->verdict.load();
    }
    if (verdict == SharedConcern::OPEN) return;
    settled_ = true;
    concerned_ = verdict == SharedConcern::CONCERNED;
  }

  P const& start_;
  Players const own_;
  Clock& clock_;
  boost::random::mt19937& engine_;
  SequenceTable& best_;
  SequenceTable& worst_;
  SharedConcern* const shared_;
  SearchTallies tallies_;
  bool first_step_ = true;
  bool concerned_ = false;
  bool settled_ = false;  // the shared verdict is known
};

namespace search_detail {

// Several searchers of `start` at once, each with its own engine (seeded from the context's),
// tables and tallies, all by the same deadline; their tables and tallies are merged into the
// context's and `total`. True when the search ended with a win at its first step.
template <class P, class Clock>
bool search_in_threads(P const& start, Players own, Clock const& deadline,
                       SearchContext const& context, unsigned threads, SearchTallies& total,
                       bool& concerned) {
  Clock first = deadline;
  if (first.expired()) return false;
  // The look-ahead of the first step draws nothing, so every thread would find the same
  // decision there: it is taken once, and a win ends the search before any thread starts,
  // exactly as it ends a search of one thread.
  Decision decision;
  if (start.move_count() % 2 == 0 && start.opponent_low(own) && start.lookahead(own, decision) &&
      decision.winner == own) {
    total.playouts = total.wins = 1;
    ++context.best[decision.first + decision.second];
    return true;
  }

  struct Lane {
    boost::random::mt19937 engine;
    SequenceTable best;
    SequenceTable worst;
    SearchTallies tallies;
    std::exception_ptr failure;
  };
  std::vector<std::unique_ptr<Lane>> lanes;
  for (unsigned i = 0; i < threads; ++i) {
    lanes.push_back(std::make_unique<Lane>());
    lanes.back()->engine.seed(static_cast<std::uint32_t>(context.engine()));
  }
  SharedConcern shared;
  auto run_lane = [&](Lane& lane) {
    try {
      Clock clock = deadline;
      if (&lane == lanes.front().get()) watch_lane(clock, lane.best, lane.worst, threads);
      PlayoutRunner<P, Clock> runner(start, own, clock, lane.engine, lane.best, lane.worst,
                                     &shared);
      runner.run();
      lane.tallies = runner.tallies();
    } catch (...) {
      lane.failure = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  for (std::size_t i = 1; i < lanes.size(); ++i) {
    try {
      workers.emplace_back(run_lane, std::ref(*lanes[i]));
    } catch (std::system_error const&) {
      break;  // no more threads to be had: search with those that started
    }
  }
  run_lane(*lanes[0]);
  for (std::thread& worker : workers) worker.join();

  for (auto const& lane : lanes) {
    if (lane->failure) std::rethrow_exception(lane->failure);
    total.playouts += lane->tallies.playouts;
    total.wins += lane->tallies.wins;
    total.losses += lane->tallies.losses;
    total.actions += lane->tallies.actions;
    for (auto const& entry : lane->best) context.best[entry.first] += entry.second;
    for (auto const& entry : lane->worst) context.worst[entry.first] += entry.second;
  }
  concerned = shared.verdict.load() == SharedConcern::CONCERNED;
  return false;
}

}  // namespace search_detail

// Runs one search of `root`'s position with `threads` searchers (0: one per core) and returns
// the action to play, chosen from the tables as get_best_move chooses. With one thread it is the
// search of the rules exactly: the playout form P (the state itself, or a faster form of the
// same rules) must make exactly the same draws and records; only the speed differs.
template <class P, class Clock>
std::string search(Vorak& root, Clock const& deadline, SearchContext const& context,
                   unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  context.best.clear();
  context.worst.clear();
  P const start(root);
  Players const own = root.own_player;
  SearchTallies total;
  bool concerned = false;
  bool won_at_first_step = false;
  if (threads == 1) {
    Clock clock = deadline;
    watch_lane(clock, context.best, context.worst, 1);
    PlayoutRunner<P, Clock> runner(start, own, clock, context.engine, context.best, context.worst,
                                   nullptr);
    won_at_first_step = runner.run() == PlayoutRunner<P, Clock>::End::WON_AT_FIRST_STEP;
    total = runner.tallies();
    concerned = runner.concerned();
  } else {
    won_at_first_step =
        search_detail::search_in_threads(start, own, deadline, context, threads, total, concerned);
  }

  root.playouts = total.playouts;
  root.wins = total.wins;
  root.losses = total.losses;
  if (context.actions) *context.actions = total.actions;
  // A win found at the very first step is played at once, without the closing line.
  if (!won_at_first_step && context.out)
    *context.out << (concerned ? "Dravix Bot looks concerned.\n" : "Dravix Bot looks confident.\n");
  return choose_sequence(root, context);
}

// The program's search of one thread, on gen, bestMoves, worstMoves and standard output.
template <class P, class Clock>
std::string run_search(Vorak& root, Clock const& clock) {
  return search<P>(root, clock, program_context(), 1);
}

#endif
