#include "ai/searcher.h"

#include <ctime>
#include <iostream>

#include "ai/playout.h"
#include "ai/search.h"
#include "ai/tree_engine.h"

struct Searcher::Tables {
  explicit Tables(std::uint32_t seed) : engine(seed) {}
  boost::random::mt19937 engine;
  SequenceTable best;
  SequenceTable worst;
  std::unique_ptr<TreeEngine> tree;  // made at the first request for the tree search
  TreeSettings tree_settings;        // the settings it was made with
};

Searcher::Searcher(std::uint32_t seed) : tables_(std::make_unique<Tables>(seed)) {}
Searcher::~Searcher() = default;

std::string Searcher::choose(Vorak& position, SearchSettings const& settings) {
  if (settings.engine == Engine::MCTS) {
    TreeSettings& tree = tables_->tree_settings;
    if (!tables_->tree || tree.max_playouts != settings.steps ||
        tree.parallel != settings.parallel) {
      tree.max_playouts = settings.steps;
      tree.parallel = settings.parallel;
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
