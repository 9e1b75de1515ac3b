// One thread's playouts through a tree, written once for every node store: down the tree by
// the selection, at most one expansion, a random game to its end, and the result back up the
// path, with the proofs of won and lost nodes carried up as far as they reach.
#ifndef DRAVIX_AI_TREE_DESCENT_H
#define DRAVIX_AI_TREE_DESCENT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <boost/random/mersenne_twister.hpp>

#include "ai/playout.h"
#include "ai/tree/node.h"
#include "ai/tree/policy.h"
#include "ai/tree/priors.h"
#include "ai/tree/settings.h"

// The root's children, for `own` to act in `start`, unless it has them; false when `own` has no
// action at all (or there is no room, which no store allows).
template <class Store>
bool expand_root(Store& store, TreeSettings const& settings, FastPlayout const& start,
                 Players own) {
  if (store.first_child(0) != 0) return true;
  FastPlayout::List list;
  start.legal(own, list);
  if (list.empty() || !store.claim(0)) return false;
  if (settings.priors) order_by_priors(start, own, list);
  return store.add_children(0, list, list.size());
}

template <class Store>
class Descent {
 public:
  // Playouts from `start` (which must outlive the descent), `own` to act at the root.
  Descent(Store& store, TreeSettings const& settings, std::uint64_t seed, FastPlayout const& start,
          Players own)
      : store_(store),
        settings_(settings),
        start_(start),
        own_(own),
        engine_(static_cast<std::uint32_t>(seed ^ (seed >> 32))),
        expand_after_(settings.expand_after),
        kept_(std::size_t{1} << KEPT_BITS, Kept{0, start}) {
    path_.reserve(PATH_ROOM);
    movers_.reserve(PATH_ROOM);
  }

  // One playout; the root's children must be there.
  void iterate();

  // Visits a leaf takes before its children are added; the driver raises it when the memory
  // left would not last the playouts expected.
  void set_expand_after(std::uint32_t visits) { expand_after_ = visits; }
  std::uint32_t expand_after() const { return expand_after_; }
  std::uint64_t playouts() const { return playouts_; }

 private:
  // Room for a path without growing: a game's actions from the root rarely reach it.
  static constexpr std::size_t PATH_ROOM = 512;

  // A leaf lists only its first few actions: with the first-play value most leaves try only
  // a few children, and the rest, never read, would take most of the memory and of the time
  // spent writing it. The others are listed when the choice first falls on one of them.
  static constexpr std::size_t FIRST_LISTED = 8;

  // The actions of `mover` in `p` into list_, in the order of the node's children: all of them,
  // or at least the first `first`.
  void list_actions(FastPlayout const& p, Players mover,
                    std::size_t first = FastPlayout::MAX_MOVES) {
    list_.clear();
    p.legal(mover, list_);
    if (settings_.priors) order_first_by_priors(p, mover, list_, first);
  }
  // The node at path_[k] is proven `proof` for the side that played into it; carries what that
  // proves up the path.
  void prove_up(std::size_t k, Proof proof);
  // The proof of a node whose side to act, `mover`, has been proven to win (or lose), for the
  // side that played into it, `into`: the side flips only where the turn changed.
  static Proof for_side(Players into, Players mover, bool mover_wins) {
    return (into == mover) == mover_wins ? PROVEN_WIN : PROVEN_LOSS;
  }

  // The positions at the busiest nodes, by their index, so that a descent plays on from the
  // deepest of them instead of playing every action from the root: an action costs about as
  // much as copying a whole position, and the top of the tree lies on every descent's path. A
  // node takes its slot from one with fewer visits.
  struct Kept {
    std::uint32_t node;  // 0 for none
    FastPlayout position;
  };
  static constexpr unsigned KEPT_BITS = 8;
  static constexpr std::uint32_t KEEP_AFTER = 64;  // visits before a node's position is kept
  Kept& kept(std::uint32_t node) { return kept_[(node * 0x9E3779B1u) >> (32 - KEPT_BITS)]; }

  // The last choices at the nodes, by their first child's index: a node that shares its slot
  // with a busier one only chooses anew each time.
  static constexpr unsigned CHOICE_BITS = 10;
  static constexpr unsigned CHOICE_SHIFT = 32 - CHOICE_BITS;

  Store& store_;
  TreeSettings const& settings_;
  FastPlayout const& start_;
  Players const own_;
  std::vector<LastChoice> choices_ = std::vector<LastChoice>(std::size_t{1} << CHOICE_BITS);
  boost::random::mt19937 engine_;
  std::uint32_t expand_after_;
  std::vector<std::uint32_t> path_;
  std::vector<Players> movers_;  // the side to act at each node of the path
  std::vector<Kept> kept_;
  FastPlayout::List list_;
  std::uint64_t playouts_ = 0;

 public:
  // What a descent keeps besides the nodes, most of it its kept positions: a search takes it
  // from its memory bound for each of its threads.
  static constexpr std::size_t OWN_BYTES = (std::size_t{1} << KEPT_BITS) * sizeof(Kept) +
                                           (std::size_t{1} << CHOICE_BITS) * sizeof(LastChoice);
};

template <class Store>
void Descent<Store>::iterate() {
  // The position at node n: the start, a kept one, or `p`, the one played on, copied from
  // the last of those when an action is played.
  FastPlayout const* at = &start_;
  std::optional<FastPlayout> p;
  auto const play_on = [&]() -> FastPlayout& {
    if (!p) {
      p.emplace(*at);
    } else if (at != &*p) {
      *p = *at;
    }
    at = &*p;
    return *p;
  };
  Players mover = own_;
  path_.clear();
  movers_.clear();
  path_.push_back(0);
  movers_.push_back(own_);
  store_.enter(0);
  std::uint32_t n = 0;
  Players winner = NONE;
  Proof proven = UNPROVEN;  // what this playout proved of its last node
  for (;;) {
    if (n != 0) {
      Players const into = movers_[path_.size() - 2];
      Proof const known = store_.proof(n);
      if (known != UNPROVEN) {  // a node proven earlier: its result without a playout
        winner = known == PROVEN_WIN ? into : opponent_of(into);
        break;
      }
      std::uint32_t const first = store_.first_child(n);
      if (first == 0) {
        winner = at->winner();
        if (winner != NONE) {
          proven = winner == into ? PROVEN_WIN : PROVEN_LOSS;
          break;
        }
        bool checked = false;
        if (settings_.solver && at->move_count() % 2 == 0 && at->opponent_low(mover)) {
          Decision decision;
          if (at->lookahead(mover, decision)) {  // the side to act wins within its turn
            winner = decision.winner;
            proven = for_side(into, mover, winner == mover);
            break;
          }
          checked = true;
        }
        // Visits before this one's; the cheap test of room first, so that a full tree does not
        // list the actions of every leaf it reaches.
        if (store_.visits(n) - 1 < expand_after_ || !store_.has_room(FastPlayout::MAX_MOVES) ||
            !store_.claim(n)) {
          winner = play_out(play_on(), mover, engine_, checked);
          break;
        }
        list_actions(*at, mover, Store::PARTIAL_LISTS ? FIRST_LISTED : FastPlayout::MAX_MOVES);
        if (list_.empty()) {  // no capture to open the turn: the side to act has lost
          store_.release(n);
          winner = opponent_of(mover);
          proven = for_side(into, mover, false);
          break;
        }
        if (!store_.add_children(n, list_, FIRST_LISTED)) {
          winner = play_out(play_on(), mover, engine_, checked);
          break;
        }
      }
    }
    Players const side = mover;
    auto const choose = [&](bool unlisted) {
      std::uint32_t const first = store_.first_child(n);
      LastChoice* last = nullptr;
      if constexpr (Store::ONE_THREAD) last = &choices_[(first * 0x9E3779B1u) >> CHOICE_SHIFT];
      return select_child(
          first, store_.child_count(n), unlisted, store_.visits(n), settings_,
          [this](std::uint32_t i) {
            return ChildStats{store_.visits(i), store_.wins(i), store_.proof(i)};
          },
          last);
    };
    std::uint32_t c = choose(store_.partial(n));
    if constexpr (Store::PARTIAL_LISTS) {
      if (c == store_.first_child(n) + store_.child_count(n)) {
        // The choice fell on the first action not listed yet: the node takes in all of them,
        // in the same order as at its expansion, unless there is no room left.
        std::uint32_t const had = store_.child_count(n);
        list_actions(*at, mover);
        c = store_.widen(n, list_) ? store_.first_child(n) + had : choose(false);
      }
    }
    store_.enter(c);
    if (Kept& slot = kept(c); slot.node == c) {
      at = &slot.position;
    } else {
      play_on().execute(store_.move(c));
      if (std::uint32_t const visits = store_.visits(c);
          visits >= KEEP_AFTER && (slot.node == 0 || store_.visits(slot.node) < visits))
        slot = Kept{c, *at};
    }
    if (at->move_count() % 2 == 0) mover = opponent_of(side);
    path_.push_back(c);
    movers_.push_back(mover);
    n = c;
  }
  // The visits were counted on the way down; a won playout turns them into wins for the side
  // that played each action.
  for (std::size_t k = 1; k < path_.size(); ++k)
    if (movers_[k - 1] == winner) store_.credit(path_[k]);
  if (proven != UNPROVEN && settings_.solver) {
    store_.prove(path_.back(), proven);
    prove_up(path_.size() - 1, proven);
  }
  ++playouts_;
}

template <class Store>
void Descent<Store>::prove_up(std::size_t k, Proof proof) {
  // The node at path_[k - 1] is the parent; its side to act played into path_[k].
  for (; k >= 2; --k) {
    std::uint32_t const parent = path_[k - 1];
    Players const side = movers_[k - 1];
    Players const into = movers_[k - 2];
    Proof parent_proof;
    if (proof == PROVEN_WIN) {
      parent_proof = for_side(into, side, true);
    } else {
      if (store_.partial(parent)) return;  // actions not listed yet may save it
      std::uint32_t const first = store_.first_child(parent);
      std::uint32_t const count = store_.child_count(parent);
      for (std::uint32_t i = first; i < first + count; ++i)
        if (store_.proof(i) != PROVEN_LOSS) return;  // the side to act has a way out yet
      parent_proof = for_side(into, side, false);
    }
    store_.prove(parent, parent_proof);
    proof = parent_proof;
  }
}

#endif
