// The shared tree: the threads' descents with virtual losses, the claim of a leaf to expand, and
// the nodes handed out from one counter.
#include "ai/shared_tree.h"

#include <algorithm>
#include <thread>
#include <utility>

#include <boost/random/mersenne_twister.hpp>

#include "ai/clock.h"

namespace {

// Room for a path without growing: a game's actions from the root rarely reach it.
constexpr std::size_t PATH_ROOM = 512;
// Node indices are 32 bits and one value marks a claimed node.
constexpr std::size_t MOST_NODES = 0xFFFFFFF0u;

TreeSettings within_indices(TreeSettings settings) {
  settings.max_nodes = std::clamp<std::size_t>(settings.max_nodes, 1, MOST_NODES);
  return settings;
}

}  // namespace

// What one thread keeps to itself; apart from its neighbours' in memory, as it changes at
// every step.
struct alignas(64) SharedTree::Worker {
  explicit Worker(std::uint64_t seed) : engine(static_cast<std::uint32_t>(seed ^ (seed >> 32))) {
    path.reserve(PATH_ROOM);
    movers.reserve(PATH_ROOM);
  }
  boost::random::mt19937 engine;
  std::vector<std::uint32_t> path;
  std::vector<Players> movers;  // who played each action of the path
  FastPlayout::List list;
  std::uint64_t playouts = 0;
};

SharedTree::SharedTree(TreeSettings const& settings)
    : settings_(within_indices(settings)),
      // Default-initialised: the pages are touched only as the tree grows into them.
      nodes_(new Node[settings_.max_nodes]) {}

SharedTree::~SharedTree() = default;

void SharedTree::run(Vorak const& root, std::vector<std::uint64_t> const& seeds,
                     std::time_t deadline, std::uint64_t playouts) {
  // The threads of the last search have ended: nothing reads the nodes now.
  Node& top = nodes_[0];
  top.first_child.store(0, std::memory_order_relaxed);
  top.visits.store(0, std::memory_order_relaxed);
  top.wins.store(0, std::memory_order_relaxed);
  top.child_count = 0;
  top.move = FastPlayout::NO_MOVE;
  next_.store(1, std::memory_order_relaxed);
  playouts_ = 0;

  FastPlayout const start(root);
  std::vector<Worker> workers;
  workers.reserve(seeds.size());
  for (std::uint64_t seed : seeds) workers.emplace_back(seed);
  if (workers.empty()) return;
  // The root's children come before the threads, so that no playout finds the root being
  // expanded and plays out from it: every playout goes through one of the root's actions.
  workers[0].list.clear();
  start.legal(root.own_player, workers[0].list);
  if (!workers[0].list.empty()) expand(0, workers[0]);
  std::vector<std::thread> helpers;
  for (std::size_t i = 1; i < workers.size(); ++i)
    helpers.emplace_back([&, i] { work(workers[i], start, root.own_player, deadline, playouts); });
  work(workers[0], start, root.own_player, deadline, playouts);
  for (std::thread& t : helpers) t.join();
  for (Worker const& w : workers) playouts_ += w.playouts;
}

void SharedTree::work(Worker& worker, FastPlayout const& start, Players own, std::time_t deadline,
                      std::uint64_t playouts) {
  WallClock clock(deadline);
  for (;;) {
    if (worker.playouts == playouts && playouts != 0) return;
    if (clock.expired()) return;
    iterate(worker, start, own);
    ++worker.playouts;
  }
}

void SharedTree::iterate(Worker& worker, FastPlayout const& start, Players own) {
  FastPlayout p = start;
  Players mover = own;
  worker.path.clear();
  worker.path.push_back(0);
  worker.movers.clear();
  nodes_[0].visits.fetch_add(1, std::memory_order_relaxed);
  std::uint32_t n = 0;
  Players winner = NONE;
  for (;;) {
    Node& node = nodes_[n];
    std::uint32_t first = node.first_child.load(std::memory_order_acquire);
    if (first == 0 || first == EXPANDING) {
      winner = p.winner();
      if (winner != NONE) break;
      // The visits before this playout's own; while another thread adds the children, this
      // one plays out from here rather than wait.
      if (first == EXPANDING ||
          !ready_to_expand(n == 0, node.visits.load(std::memory_order_relaxed) - 1, settings_)) {
        winner = play_out(p, mover, worker.engine);
        break;
      }
      if (node.first_child.compare_exchange_strong(first, EXPANDING, std::memory_order_acquire)) {
        worker.list.clear();
        p.legal(mover, worker.list);
        if (worker.list.empty()) {  // no capture to open the turn: the mover has lost
          node.first_child.store(0, std::memory_order_relaxed);
          winner = opponent_of(mover);
          break;
        }
        if (!expand(n, worker)) {
          winner = play_out(p, mover, worker.engine);
          break;
        }
        first = node.first_child.load(std::memory_order_relaxed);
      } else if (first == EXPANDING) {
        winner = play_out(p, mover, worker.engine);
        break;
      }
      // Otherwise another thread has just added the children, and `first` was read by acquire.
    }
    std::uint32_t const c = select_by_uct(
        first, node.child_count, node.visits.load(std::memory_order_relaxed), settings_.exploration,
        [this](std::uint32_t i) {
          std::uint32_t const visits = nodes_[i].visits.load(std::memory_order_relaxed);
          return std::pair(visits, nodes_[i].wins.load(std::memory_order_relaxed));
        });
    nodes_[c].visits.fetch_add(1, std::memory_order_relaxed);  // the virtual loss
    worker.movers.push_back(mover);
    p.execute(nodes_[c].move);
    if (p.move_count() % 2 == 0) mover = opponent_of(mover);
    worker.path.push_back(c);
    n = c;
  }
  // The visits were counted on the way down; a won playout turns its virtual losses along
  // the path into wins for the side that played each action.
  for (std::size_t k = 1; k < worker.path.size(); ++k)
    if (worker.movers[k - 1] == winner)
      nodes_[worker.path[k]].wins.fetch_add(1, std::memory_order_relaxed);
}

bool SharedTree::expand(std::uint32_t n, Worker& worker) {
  auto const count = static_cast<std::uint32_t>(worker.list.size());
  std::uint32_t first = next_.load(std::memory_order_relaxed);
  do {
    if (std::uint64_t{first} + count > settings_.max_nodes) {
      nodes_[n].first_child.store(0, std::memory_order_relaxed);
      return false;
    }
  } while (!next_.compare_exchange_weak(first, first + count, std::memory_order_relaxed));
  for (std::uint32_t i = 0; i < count; ++i) {
    Node& child = nodes_[first + i];
    child.first_child.store(0, std::memory_order_relaxed);
    child.visits.store(0, std::memory_order_relaxed);
    child.wins.store(0, std::memory_order_relaxed);
    child.child_count = 0;
    child.move = worker.list[i];
  }
  nodes_[n].child_count = static_cast<std::uint16_t>(count);
  nodes_[n].first_child.store(first, std::memory_order_release);
  return true;
}

NodeView SharedTree::view(std::uint32_t n) const {
  Node const& node = nodes_[n];
  std::uint32_t const first = node.first_child.load(std::memory_order_acquire);
  bool const expanded = first != 0 && first != EXPANDING;
  return {expanded ? first : 0, expanded ? node.child_count : 0u, node.move,
          node.visits.load(std::memory_order_relaxed),
          static_cast<double>(node.wins.load(std::memory_order_relaxed))};
}
