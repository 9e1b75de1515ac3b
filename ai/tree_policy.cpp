// The playout policy of the tree search and the names of its parallel forms.
#include "ai/tree_policy.h"

char const* parallel_name(Parallel parallel) {
  return parallel == Parallel::TREE ? "tree" : "root";
}

std::optional<Parallel> parallel_from(std::string const& name) {
  for (Parallel p : {Parallel::ROOT, Parallel::TREE})
    if (name == parallel_name(p)) return p;
  return std::nullopt;
}

Players play_out(FastPlayout& p, Players mover, boost::random::mt19937& engine) {
  for (;;) {
    Players const over = p.winner();
    if (over != NONE) return over;
    if (p.move_count() % 2 == 0 && p.opponent_low(mover)) {
      Decision decision;
      if (p.lookahead(mover, decision)) return decision.winner;
    }
    FastPlayout::Move move;
    if (!p.pick(mover, false, engine, move)) return opponent_of(mover);
    p.execute(move);
    if (p.move_count() % 2 == 0) mover = opponent_of(mover);
  }
}
