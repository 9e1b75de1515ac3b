// The order in which the tree search tries a node's actions: by cheap features of each action,
// best first, so that the visits go to likely actions before the rest are even tried.
#ifndef DRAVIX_AI_TREE_PRIORS_H
#define DRAVIX_AI_TREE_PRIORS_H

#include "ai/playout.h"
#include "game/vorak.h"

// A score of 0 to 15 for the mover's action `move` in `p` (the pass included): captures of the
// opponent's scarcest kind first, then stacks left where no opposing stack can take them, then
// the playouts' favoured stacking, the pass before the remaining stackings.
unsigned prior_score(FastPlayout const& p, Players mover, FastPlayout::Move move);

// Reorders `moves` by prior_score, the higher first, keeping the list order among equals.
void order_by_priors(FastPlayout const& p, Players mover, FastPlayout::List& moves);

// Reorders `moves` so that its first `first` are those of order_by_priors, in its order; the
// others follow in no set order. A leaf keeps only its first few actions, and most of the
// others' scores would be computed for nothing.
void order_first_by_priors(FastPlayout const& p, Players mover, FastPlayout::List& moves,
                           std::size_t first);

#endif
