// Monte-Carlo tree search over the playout position: UCT on a tree of actions that grows where
// the playouts say the game is decided, with the same random playout policy as the flat search
// at its leaves. One tree, one thread; ai/tree_engine.h runs several and plays the turns.
#ifndef DRAVIX_AI_TREE_SEARCH_H
#define DRAVIX_AI_TREE_SEARCH_H

#include <atomic>
#include <cstdint>
#include <ctime>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "game/vorak.h"

struct TreeSettings {
  double exploration = 0.7;         // the UCT constant
  std::size_t max_nodes = 1 << 22;  // the tree stops growing here; the search goes on
  std::uint32_t expand_after = 4;   // visits a leaf takes before its children are added
  std::uint64_t max_playouts = 0;   // per tree, 0 for no limit: searches that repeat exactly
};

// What the search found out about one action of a node.
struct ActionStats {
  FastPlayout::Move move = FastPlayout::NO_MOVE;
  std::uint32_t visits = 0;
  double wins = 0;  // won playouts of the side that plays the action
};

class TreeSearch {
 public:
  using Move = FastPlayout::Move;

  TreeSearch(std::uint64_t seed, TreeSettings const& settings);

  // Grows a fresh tree for `root.own_player`, whose first action of a turn is due, until the
  // calendar second reaches `deadline` (as the flat search's clock tells it) or `stop` is set.
  void run(Vorak const& root, std::time_t deadline, std::atomic<bool> const& stop);

  std::uint64_t playouts() const { return playouts_; }
  std::size_t nodes() const { return nodes_.size(); }
  // The root's actions, in list order.
  std::vector<ActionStats> root_actions() const;
  // The actions below the root's action `first` (the second action of the turn, or the
  // opponent's turn after a single-action turn); empty when the tree has not grown there.
  std::vector<ActionStats> actions_after(Move first) const;
  // The most visited line from the root's action `first`, `first` included, at most `length`.
  std::vector<Move> line_from(Move first, std::size_t length) const;

 private:
  struct Node {
    std::uint32_t first_child = 0;  // index of the first child; 0 while not expanded
    std::uint16_t child_count = 0;
    Move move = FastPlayout::NO_MOVE;
    std::uint32_t visits = 0;
    float wins = 0;  // for the side that played `move`
  };

  // One playout: down the tree by UCT, one expansion, a random game to its end, and the
  // result back up the path.
  void iterate(FastPlayout const& start, Players own);
  std::uint32_t select(Node const& node) const;
  // Plays random actions by the policy until the game is decided; returns the winner.
  Players play_out(FastPlayout& p, Players mover);
  std::uint32_t child_by_move(std::uint32_t node, Move move) const;

  TreeSettings settings_;
  boost::random::mt19937 engine_;
  std::vector<Node> nodes_;
  std::vector<std::uint32_t> path_;
  std::vector<Players> movers_;  // who played each action of the path
  std::uint64_t playouts_ = 0;
  FastPlayout::List list_;
};

#endif
