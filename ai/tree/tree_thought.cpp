#include "ai/tree/tree_thought.h"

#include <algorithm>

Thought tree_thought(std::vector<ActionStats> actions, ActionStats const& lead,
                     std::vector<FastPlayout::Move> const& line, std::uint64_t playouts) {
  Thought thought;
  thought.engine = Engine::MCTS;
  thought.playouts = playouts;
  if (lead.move == FastPlayout::NO_MOVE) return thought;
  thought.value = lead.proof == PROVEN_WIN    ? 1
                  : lead.proof == PROVEN_LOSS ? 0
                  : lead.visits == 0          ? 0.5
                                              : static_cast<double>(lead.wins) / lead.visits;
  std::stable_sort(actions.begin(), actions.end(), [&](ActionStats const& a, ActionStats const& b) {
    return (a.move == lead.move) != (b.move == lead.move) ? a.move == lead.move
                                                          : a.visits > b.visits;
  });
  if (actions.empty() || actions.front().move != lead.move) actions.insert(actions.begin(), lead);
  for (ActionStats const& a : actions) {
    if (thought.candidates.size() == Thought::MOST_CANDIDATES) break;
    thought.candidates.push_back({FastPlayout::text(a.move), a.visits, a.wins});
  }
  for (FastPlayout::Move m : line) {
    if (thought.line.size() == Thought::LONGEST_LINE) break;
    thought.line.push_back(FastPlayout::text(m));
  }
  if (thought.line.empty()) thought.line.push_back(FastPlayout::text(lead.move));
  return thought;
}
