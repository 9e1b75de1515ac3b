// The tree search's thought: its actions' visits and wins as candidates, the value of the
// leading one and the line the tree expects from it.
#ifndef DRAVIX_AI_TREE_TREE_THOUGHT_H
#define DRAVIX_AI_TREE_TREE_THOUGHT_H

#include <cstdint>
#include <vector>

#include "ai/playout.h"
#include "ai/thought.h"
#include "ai/tree/reading.h"

// `actions` are those due, `lead` the one chosen (or leading so far), `line` the tree's line
// from it and `playouts` those of the search. The lead comes first, the others by their visits;
// a proven win is worth 1 and a proven loss 0.
Thought tree_thought(std::vector<ActionStats> actions, ActionStats const& lead,
                     std::vector<FastPlayout::Move> const& line, std::uint64_t playouts);

#endif
