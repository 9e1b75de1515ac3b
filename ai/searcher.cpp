#include "ai/searcher.h"

#include <ctime>
#include <iostream>

#include "ai/playout.h"
#include "ai/search.h"
#include "ai/tree/engine.h"

struct Searcher::Tables {
  explicit Tables(std::uint32_t seed) : engine(seed) {}
  boost::random::mt19937 engine;
  SequenceTable best;
  SequenceTable worst;
  std::unique_ptr<TreeEngine> tree;  // made at the first request for the tree search
  std::string first;                 // the flat search's first action of the turn
  Thought thought;
};

namespace {

TreeSettings tree_settings(SearchSettings const& settings) {
  TreeSettings tree;
  tree.max_playouts = settings.steps;
  tree.parallel = settings.parallel;
  tree.seconds = settings.seconds;
  tree.memory_mb = settings.tree_memory_mb;
  tree.calendar_clock = settings.calendar_clock;
  return tree;
}

bool same(TreeSettings const& a, TreeSettings const& b) {
  return a.max_playouts == b.max_playouts && a.parallel == b.parallel && a.seconds == b.seconds &&
         a.memory_mb == b.memory_mb && a.calendar_clock == b.calendar_clock;
}

}  // namespace

Searcher::Searcher(std::uint32_t seed) : tables_(std::make_unique<Tables>(seed)) {}
Searcher::~Searcher() = default;

namespace {

// The search of `position` by `clock`, with the watch on it if there is one.
template <class Clock>
std::string flat_search(Vorak& position, Clock const& clock, SearchContext const& context,
                        unsigned threads, SearchWatch* watch) {
  if (!watch) return search<FastPlayout>(position, clock, context, threads);
  WatchedClock<Clock> const watched(clock, *watch, position.move_count == 0);
  return search<FastPlayout>(position, watched, context, threads);
}

}  // namespace

std::string Searcher::choose(Vorak& position, SearchSettings const& settings, SearchWatch* watch) {
  if (settings.engine == Engine::MCTS) {
    TreeSettings const tree = tree_settings(settings);
    if (!tables_->tree || !same(tables_->tree->settings(), tree)) {
      tables_->tree.reset();  // its trees freed before the new engine's are made
      tables_->tree = std::make_unique<TreeEngine>(tables_->engine(), tree);
    }
    std::string const move = tables_->tree->choose(position, settings.threads,
                                                   settings.report ? &std::cout : nullptr, watch);
    tables_->thought = tables_->tree->thought();
    return move;
  }
  SearchContext const context{tables_->engine, tables_->best, tables_->worst,
                              settings.report ? &std::cout : nullptr};
  if (position.move_count % 2 == 1) {
    std::string const move = choose_sequence(position, context);
    tables_->thought = flat_thought(tables_->best, tables_->worst, tables_->first, false, move);
    return move;
  }
  std::string move;
  if (settings.steps > 0) {
    move = flat_search(position, StepClock{settings.steps}, context, settings.threads, watch);
  } else {
    WallClock const clock(std::time(nullptr) + position.seconds_per_move);
    move = flat_search(position, clock, context, settings.threads, watch);
  }
  tables_->first = move;
  tables_->thought =
      flat_thought(tables_->best, tables_->worst, std::nullopt, position.move_count == 0, move);
  return move;
}

Thought const& Searcher::thought() const {
  return tables_->thought;
}
