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

std::string Searcher::choose(Vorak& position, SearchSettings const& settings) {
  if (settings.engine == Engine::MCTS) {
    TreeSettings const tree = tree_settings(settings);
    if (!tables_->tree || !same(tables_->tree->settings(), tree)) {
      tables_->tree.reset();  // its trees freed before the new engine's are made
      tables_->tree = std::make_unique<TreeEngine>(tables_->engine(), tree);
    }
    return tables_->tree->choose(position, settings.threads,
                                 settings.report ? &std::cout : nullptr);
  }
  SearchContext const context{tables_->engine, tables_->best, tables_->worst,
                              settings.report ? &std::cout : nullptr};
  if (position.move_count % 2 == 1) return choose_sequence(position, context);
  if (settings.steps > 0)
    return search<FastPlayout>(position, StepClock{settings.steps}, context, settings.threads);
  WallClock const clock(std::time(nullptr) + position.seconds_per_move);
  return search<FastPlayout>(position, clock, context, settings.threads);
}
