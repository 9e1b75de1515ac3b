// The threads of one tree search, the expansion threshold that keeps the memory lasting, and the
// readings of several trees together.
#include "ai/tree/search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "ai/tree/descent.h"
#include "ai/tree/tree_thought.h"

namespace {

constexpr std::size_t NODE_BYTES = 16;

// At a thread's pause every ADAPT_EVERY playouts: true when the watch has cancelled the search;
// else, when a snapshot is due and the thread is the one watched, its tree's.
template <class Store, class Watching>
bool watch_tree(Store const& store, Watching const& watching) {
  if (watching.watch->cancelled()) return true;
  if (watching.lanes == 0 || !watching.watch->due()) return false;
  std::vector<ActionStats> const actions = tree_reading::root_actions(store);
  ActionStats const lead = best_action(actions);
  watching.watch->publish(
      tree_thought(actions, lead, tree_reading::line_from(store, lead.move, Thought::LONGEST_LINE),
                   std::uint64_t{store.visits(0)} * watching.lanes));
  return false;
}
// The threshold is reconsidered this often, in playouts of one thread.
constexpr std::uint64_t ADAPT_EVERY = 1024;

}  // namespace

std::vector<ActionStats> merged(std::vector<std::vector<ActionStats>> const& per_tree) {
  std::vector<ActionStats> total;
  for (std::vector<ActionStats> const& stats : per_tree)
    for (ActionStats const& s : stats) {
      auto same = std::find_if(total.begin(), total.end(),
                               [&](ActionStats const& t) { return t.move == s.move; });
      if (same == total.end()) {
        total.push_back(s);
        continue;
      }
      same->visits += s.visits;
      same->wins += s.wins;
      if (s.proof != UNPROVEN) same->proof = s.proof;  // proofs are facts: trees agree
    }
  return total;
}

TreeSearch::TreeSearch(TreeSettings const& settings) : settings_(settings) {}
TreeSearch::~TreeSearch() = default;

void TreeSearch::prepare(std::size_t threads, std::size_t searchers) {
  std::size_t const bound = settings_.memory_bytes();
  std::size_t const own = searchers * Descent<LocalStore>::OWN_BYTES;
  std::size_t const nodes = (bound > own ? bound - own : 0) / NODE_BYTES;
  if (settings_.parallel == Parallel::TREE) {
    // Made again for more searchers than it was made for: their descents' own memory comes
    // out of the same bound.
    if (!shared_ || searchers > shared_searchers_) {
      shared_.reset();  // freed before the new one is made: the bound holds throughout
      shared_ = std::make_unique<SharedStore>(nodes);
      shared_searchers_ = searchers;
    }
    shared_->clear();
    return;
  }
  if (locals_.size() < threads) {
    locals_.clear();  // freed before the new ones are made: the bound holds throughout
    for (std::size_t i = 0; i < threads; ++i)
      locals_.push_back(std::make_unique<LocalStore>(nodes / threads));
  }
  active_ = threads;
  for (std::size_t i = 0; i < active_; ++i) locals_[i]->clear();
}

void TreeSearch::run(Vorak const& root, std::vector<std::uint64_t> const& seeds,
                     TurnClock const& clock, std::uint64_t playouts, SearchWatch* watch) {
  playouts_ = 0;
  expand_after_ = settings_.expand_after;
  if (seeds.empty()) return;
  std::size_t const threads = settings_.parallel == Parallel::TREE ? 1 : seeds.size();
  prepare(threads, seeds.size());
  FastPlayout const start(root);
  Players const own = root.own_player;

  std::mutex lock;  // over the tallies and the failure below
  std::exception_ptr failure;
  auto lane = [&](std::size_t i) {
    try {
      // A shared tree holds every thread's playouts; a tree of one thread, about a share.
      Watching const watching{watch, i > 0                                  ? 0
                                     : settings_.parallel == Parallel::TREE ? 1
                                                                            : threads};
      Lane const done =
          settings_.parallel == Parallel::TREE
              ? grow(*shared_, start, own, seeds[i], clock, playouts, seeds.size(), watching)
              : grow(*locals_[i], start, own, seeds[i], clock, playouts, 1, watching);
      std::lock_guard<std::mutex> const hold(lock);
      playouts_ += done.playouts;
      expand_after_ = std::max(expand_after_, done.expand_after);
    } catch (...) {
      std::lock_guard<std::mutex> const hold(lock);
      if (!failure) failure = std::current_exception();
    }
  };
  // The root's children come before the threads, so that no playout finds the root being
  // expanded and plays out from it, and so that an ended search still knows the actions.
  for_each_store([&](auto& store) { expand_root(store, settings_, start, own); });
  std::vector<std::thread> helpers;
  for (std::size_t i = 1; i < seeds.size(); ++i) {
    try {
      helpers.emplace_back(lane, i);
    } catch (std::system_error const&) {
      break;  // no more threads to be had: search with those that started
    }
  }
  lane(0);
  for (std::thread& t : helpers) t.join();
  if (failure) std::rethrow_exception(failure);
}

template <class Store>
TreeSearch::Lane TreeSearch::grow(Store& store, FastPlayout const& start, Players own,
                                  std::uint64_t seed, TurnClock clock, std::uint64_t playouts,
                                  std::size_t sharers, Watching watching) {
  Descent<Store> d(store, settings_, seed, start, own);
  if (store.first_child(0) == 0) return {0, d.expand_after()};  // no action to think about
  double const begun = clock.elapsed();
  // Nodes and playouts since this thread began, of every thread that shares the tree: a thread
  // that starts late must not read the others' nodes as its own, nor its own as everyone's.
  std::size_t const size_begun = store.size();
  std::uint32_t const visits_begun = store.visits(0);
  std::uint32_t highest = d.expand_after();
  for (;;) {
    if (playouts != 0 && d.playouts() >= playouts) break;
    if (clock.expired() || store.visits(0) >= MOST_VISITS) break;
    if (d.playouts() % ADAPT_EVERY == 0 && d.playouts() > 0) {
      if (watching.watch && watch_tree(store, watching)) break;
      // The nodes a playout adds fall as the threshold rises (each expansion takes that many
      // visits of a leaf of its own): the threshold at which the playouts still to come, at
      // the rate of nodes seen so far, fit in the room left.
      double expected;
      if (playouts != 0) {
        expected = static_cast<double>(playouts - d.playouts());
      } else {
        double const spent = std::max(clock.elapsed() - begun, 1e-6);
        expected = static_cast<double>(d.playouts()) / spent * clock.left();
      }
      expected *= static_cast<double>(sharers);
      double const room = static_cast<double>(store.capacity() - store.size());
      double const per_playout = static_cast<double>(store.size() - size_begun) /
                                 std::max(static_cast<double>(store.visits(0) - visits_begun), 1.0);
      double const needed =
          std::ceil(d.expand_after() * expected * per_playout / std::max(room, 1.0));
      d.set_expand_after(static_cast<std::uint32_t>(
          std::clamp(needed, static_cast<double>(settings_.expand_after), 1e9)));
      highest = std::max(highest, d.expand_after());
    }
    d.iterate();
  }
  return {d.playouts(), highest};
}

std::vector<ActionStats> TreeSearch::root_actions() const {
  std::vector<std::vector<ActionStats>> per_tree;
  for_each_store([&](auto const& store) { per_tree.push_back(tree_reading::root_actions(store)); });
  return merged(per_tree);
}

std::vector<ActionStats> TreeSearch::actions_after(Move first) const {
  std::vector<std::vector<ActionStats>> per_tree;
  for_each_store(
      [&](auto const& store) { per_tree.push_back(tree_reading::actions_after(store, first)); });
  return merged(per_tree);
}

std::vector<FastPlayout::Move> TreeSearch::line_from(Move first, std::size_t length) const {
  std::vector<Move> line;
  for_each_store([&](auto const& store) {
    std::vector<Move> l = tree_reading::line_from(store, first, length);
    if (l.size() > line.size()) line = std::move(l);
  });
  return line;
}

std::size_t TreeSearch::nodes() const {
  std::size_t total = 0;
  for_each_store([&](auto const& store) { total += store.size(); });
  return total;
}

std::size_t TreeSearch::capacity() const {
  std::size_t total = 0;
  for_each_store([&](auto const& store) { total += store.capacity(); });
  return total;
}

ActionStats best_action(std::vector<ActionStats> const& actions) {
  ActionStats best;
  auto rank = [](ActionStats const& s) {
    return s.proof == PROVEN_WIN ? 2 : s.proof == PROVEN_LOSS ? 0 : 1;
  };
  for (ActionStats const& s : actions) {
    if (best.move == FastPlayout::NO_MOVE || rank(s) > rank(best) ||
        (rank(s) == rank(best) &&
         (s.visits > best.visits || (s.visits == best.visits && s.wins > best.wins))))
      best = s;
  }
  return best;
}
