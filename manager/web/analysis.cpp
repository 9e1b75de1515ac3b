#include "manager/web/analysis.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "ai/tree/engine.h"
#include "ai/tree/search.h"
#include "ai/tree/tree_thought.h"
#include "manager/referee.h"

namespace manager {

Analysis::~Analysis() {
  cancel();
  if (thread_.joinable()) thread_.join();
}

std::string Analysis::start(BoardSetup const& setup, double seconds) {
  if (!(seconds >= FEWEST_SECONDS && seconds <= MOST_SECONDS))
    return "an analysis takes from 0.05 to 60 seconds";
  if (Referee(setup.position, setup.player).over())
    return "the game is over in this position: there is nothing to analyse";
  std::lock_guard<std::mutex> const lock(mutex_);
  if (running_) return "an analysis is under way: cancel it or wait for its end";
  if (thread_.joinable()) thread_.join();  // the last one has ended
  ++id_;
  running_ = true;
  cancelled_ = false;
  seconds_ = seconds;
  began_ = Steady::now();
  setup_ = setup;
  thought_.reset();
  error_.clear();
  std::uint64_t const id = id_;
  watch_ = std::make_unique<SearchWatch>([this, id](Thought const& thought) {
    std::lock_guard<std::mutex> const hold(mutex_);
    if (id_ == id) thought_ = thought;
  });
  try {
    thread_ = std::thread(&Analysis::run, this, setup, seconds, id);
  } catch (std::system_error const&) {
    running_ = false;  // else no analysis could ever start again
    return "the analysis could not start: no thread to be had";
  }
  return "";
}

void Analysis::run(BoardSetup setup, double seconds, std::uint64_t id) {
  std::optional<Thought> result;
  std::string error;
  try {
    TreeSettings settings;
    settings.memory_mb = TREE_MB;
    TreeSearch search(settings);
    setup.position.own_player = setup.player;
    std::random_device source;
    std::vector<std::uint64_t> seeds(std::max(1u, std::thread::hardware_concurrency()));
    for (std::uint64_t& seed : seeds) seed = (std::uint64_t{source()} << 32) | source();
    search.run(setup.position, seeds, TurnClock::monotonic(Steady::now(), seconds), 0,
               watch_.get());
    std::vector<ActionStats> const actions = search.root_actions();
    ActionStats const lead = best_action(actions);
    result = tree_thought(actions, lead, search.line_from(lead.move, Thought::LONGEST_LINE),
                          search.playouts());
  } catch (std::exception const& e) {
    error = std::string("the analysis failed: ") + e.what();
  }
  std::lock_guard<std::mutex> const lock(mutex_);
  if (id_ != id) return;
  running_ = false;
  ended_ = Steady::now();
  if (result) thought_ = std::move(result);
  error_ = error;
}

bool Analysis::cancel() {
  std::lock_guard<std::mutex> const lock(mutex_);
  if (!running_) return false;
  cancelled_ = true;
  watch_->cancel();
  return true;
}

Json Analysis::status() const {
  std::lock_guard<std::mutex> const lock(mutex_);
  Json status = {{"id", id_}, {"running", running_}, {"cancelled", cancelled_}};
  if (!setup_) return status;
  double const elapsed =
      std::chrono::duration<double>((running_ ? Steady::now() : ended_) - began_).count();
  Json const position = setup_json(*setup_);
  status["seconds"] = seconds_;
  status["elapsed"] = std::round(elapsed * 1000) / 1000;
  for (char const* key : {"board", "player", "step", "opening"}) status[key] = position[key];
  status["thinking"] = nullptr;
  if (thought_) {
    status["thinking"] = thought_json(*thought_, setup_->player);
    status["thinking"]["player"] = colour_json(setup_->player);
  }
  status["error"] = error_.empty() ? Json(nullptr) : Json(error_);
  return status;
}

}  // namespace manager
