// The compact playout position: move lists, execution and the look-ahead without strings.
#include "ai/playout.h"

#include <algorithm>

namespace {

using geometry::DIRECTIONS;
using geometry::nearest;

inline std::uint64_t bit(int p) {
  return std::uint64_t{1} << p;
}

// Calls f(cell) for every set bit, in increasing cell order: the canonical sweep order.
template <class F>
inline void for_each_cell(std::uint64_t bits, F&& f) {
  while (bits) {
    int const cell = __builtin_ctzll(bits);
    bits &= bits - 1;
    f(cell);
  }
}

// Calls f(target, direction) for the nearest stack from `from` in each direction, in the
// direction order of the line scan; the directions are unrolled so each knows its bit order.
template <class F>
inline void for_each_line(std::uint64_t occupied, int from, F&& f) {
  int t;
  if ((t = nearest<0>(occupied, from)) >= 0) f(t, 0);
  if ((t = nearest<1>(occupied, from)) >= 0) f(t, 1);
  if ((t = nearest<2>(occupied, from)) >= 0) f(t, 2);
  if ((t = nearest<3>(occupied, from)) >= 0) f(t, 3);
  if ((t = nearest<4>(occupied, from)) >= 0) f(t, 4);
  if ((t = nearest<5>(occupied, from)) >= 0) f(t, 5);
}

// Positions are told apart by stamps: a copy is the same position, an action makes a new one.
thread_local std::uint32_t next_stamp = 0;

// The full capture list of the latest position asked for; the look-ahead of a step and its
// candidate list would otherwise both sweep the board.
struct CaptureCache {
  std::uint32_t stamp = 0;
  Players mover = NONE;
  bool valid = false;
  FastPlayout::List all;
};
thread_local CaptureCache cache;

}  // namespace

FastPlayout::FastPlayout(Vorak const& state)
    : count_{}, stacks_{}, kinds_{}, move_count_(state.move_count), stamp_(++next_stamp) {
  for (int p = 0; p < CELLS; ++p) {
    int const c = geometry::PLAYABLE[p];
    Entry const& e = state.board[geometry::row_of(c)][geometry::column_of(c)];
    bool const stack = (e.owner == WHITE || e.owner == BLACK) &&
                       (e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM);
    owner_[p] = static_cast<std::uint8_t>(stack ? e.owner : NONE);
    piece_[p] = static_cast<std::uint8_t>(stack ? e.piece : BLANK);
    height_[p] = stack ? e.height : 0;
    if (stack) {
      stacks_[e.owner] |= bit(p);
      kinds_[e.owner][e.piece] |= bit(p);
    }
  }
  count_[WHITE][VORAK] = state.white_voraks;
  count_[WHITE][MORIEL] = state.white_moriels;
  count_[WHITE][WEMM] = state.white_wemms;
  count_[BLACK][VORAK] = state.black_voraks;
  count_[BLACK][MORIEL] = state.black_moriels;
  count_[BLACK][WEMM] = state.black_wemms;
}

std::string FastPlayout::text(Move move) {
  if (move == PASS || move == NO_MOVE) return std::string();
  int const from = geometry::PLAYABLE[move & 0xFF], to = geometry::PLAYABLE[move >> 8];
  char digits[4] = {static_cast<char>('0' + geometry::row_of(from)),
                    static_cast<char>('0' + geometry::column_of(from)),
                    static_cast<char>('0' + geometry::row_of(to)),
                    static_cast<char>('0' + geometry::column_of(to))};
  return std::string(digits, 4);
}

void FastPlayout::execute(Move move) {
  stamp_ = ++next_stamp;
  move_count_ = move_count_ == 0 ? 2 : static_cast<std::uint16_t>(move_count_ + 1);
  if (move == PASS) return;
  int const from = move & 0xFF, to = move >> 8;
  std::uint8_t const mover = owner_[from];
  std::uint8_t const target_owner = owner_[to];
  // Whatever sits on top of the target stops counting as a stack of its kind.
  --count_[target_owner == WHITE ? WHITE : BLACK][piece_[to]];
  kinds_[target_owner][piece_[to]] &= ~bit(to);
  kinds_[mover][piece_[from]] &= ~bit(from);
  kinds_[mover][piece_[from]] |= bit(to);
  if (mover == target_owner) {
    piece_[to] = piece_[from];
    height_[to] = static_cast<std::uint16_t>(std::min(height_[to] + height_[from], 65535));
  } else {
    stacks_[target_owner] &= ~bit(to);
    stacks_[mover] |= bit(to);
    owner_[to] = mover;
    piece_[to] = piece_[from];
    height_[to] = height_[from];
  }
  stacks_[mover] &= ~bit(from);
  owner_[from] = NONE;
  piece_[from] = BLANK;
  height_[from] = 0;
}

void FastPlayout::candidates(Players mover, bool concerned, List& list) const {
  if (mover != WHITE && mover != BLACK) return;
  bool const opening = move_count_ % 2 == 0;
  std::uint64_t const occupied = this->occupied();
  std::uint16_t const(&own)[4] = count_[mover];

  if (opening) {
    // First action of a turn: captures only. Unless concerned, only those of the highest
    // kind that can be captured at all: Voraks, else Moriels, else Wemms.
    bool const cached = cache.valid && cache.stamp == stamp_ && cache.mover == mover;
    if (concerned) {
      if (cached)
        filter_captures(cache.all, BLANK, list);
      else
        captures(mover, BLANK, list);
      return;
    }
    if (cached) {
      for (Pieces kind : {VORAK, MORIEL, WEMM}) {
        filter_captures(cache.all, kind, list);
        if (!list.empty()) return;
      }
      return;
    }
    Players const other = opponent_of(mover);
    for (Pieces kind : {VORAK, MORIEL, WEMM}) {
      captures_onto(mover, kinds_[other][kind], list);
      if (!list.empty()) return;
    }
    return;
  }

  // Second action: a Vorak or Moriel stacking onto a kind of which the mover has 7 or more
  // stacks if there is one, else every capture and every stacking that keeps 2 of a kind;
  // then the pass, unless concerned.
  if (!concerned && (own[VORAK] >= 7 || own[MORIEL] >= 7 || own[WEMM] >= 7)) {
    for_each_cell(kinds_[mover][VORAK] | kinds_[mover][MORIEL], [&](int from) {
      for_each_line(occupied, from, [&](int to, int) {
        if (owner_[to] == mover && own[piece_[to]] >= 7) list.push(make_move(from, to));
      });
    });
    if (!list.empty()) {
      list.push(PASS);
      return;
    }
  }
  for_each_cell(stacks_[mover], [&](int from) {
    for_each_line(occupied, from, [&](int to, int) {
      Move const m = make_move(from, to);
      if (owner_[to] != mover) {
        if (height_[to] <= height_[from]) list.push(m);
      } else if (own[piece_[to]] >= 2) {
        list.push(m);
      }
    });
  });
  if (!concerned) list.push(PASS);
}

void FastPlayout::legal(Players mover, List& list) const {
  if (move_count_ % 2 == 0) {
    captures(mover, BLANK, list);
  } else {
    candidates(mover, true, list);  // every capture and stacking, without the pass
    list.push(PASS);
  }
}

void FastPlayout::captures(Players mover, Pieces kind, List& list) const {
  std::uint64_t const occupied = this->occupied();
  for_each_cell(stacks_[mover], [&](int from) {
    for_each_line(occupied, from, [&](int to, int) {
      if (owner_[to] != mover && height_[to] <= height_[from] &&
          (kind == BLANK || piece_[to] == kind))
        list.push(make_move(from, to));
    });
  });
}

void FastPlayout::captures_onto(Players mover, std::uint64_t targets, List& list) const {
  std::uint64_t const occupied = this->occupied();
  // A sweep lists the capture S -> T by its source S, then by the direction from S to T.
  std::uint16_t keys[MAX_MOVES];
  std::size_t const begin = list.size();
  std::size_t n = 0;
  for_each_cell(targets, [&](int to) {
    for_each_line(occupied, to, [&](int from, int d) {
      if (owner_[from] != mover || height_[to] > height_[from]) return;
      std::uint16_t const key = static_cast<std::uint16_t>(from * DIRECTIONS + (d ^ 1));
      std::size_t i = n++;
      list.push(make_move(from, to));
      for (; i > 0 && keys[i - 1] > key; --i) {
        keys[i] = keys[i - 1];
        list.set(begin + i, list[begin + i - 1]);
      }
      keys[i] = key;
      list.set(begin + i, make_move(from, to));
    });
  });
}

FastPlayout::List const& FastPlayout::all_captures(Players mover) const {
  if (!(cache.valid && cache.stamp == stamp_ && cache.mover == mover)) {
    cache.all.clear();
    captures(mover, BLANK, cache.all);
    cache.stamp = stamp_;
    cache.mover = mover;
    cache.valid = true;
  }
  return cache.all;
}

void FastPlayout::filter_captures(List const& all, Pieces kind, List& list) const {
  for (std::size_t i = 0; i < all.size(); ++i)
    if (kind == BLANK || piece_[all[i] >> 8] == kind) list.push(all[i]);
}

FastPlayout::Move FastPlayout::first_capture_after(Players mover, Move m1, unsigned kinds) const {
  // Work back from the few targets: the capture S -> T that a sweep would list first is the
  // one with the lowest source, then the lowest direction from S towards T. The board after
  // m1 differs only in m1's two cells, so it is read through them rather than copied.
  int const moved_from = m1 & 0xFF, moved_to = m1 >> 8;
  std::uint64_t const occupied = this->occupied() & ~bit(moved_from);
  Players const other = opponent_of(mover);
  std::uint64_t targets = 0;
  for (Pieces k : {VORAK, MORIEL, WEMM})
    if (kinds & (1u << k)) targets |= kinds_[other][k];
  targets &= ~bit(moved_to);
  int best = -1;
  Move best_move = NO_MOVE;
  for_each_cell(targets, [&](int to) {
    for_each_line(occupied, to, [&](int from, int d) {
      bool const moved = from == moved_to;
      if (!moved && owner_[from] != mover) return;
      if (height_[to] > height_[moved ? moved_from : from]) return;
      int const key = from * DIRECTIONS + (d ^ 1);  // d ^ 1 is the direction from S to T
      if (best < 0 || key < best) {
        best = key;
        best_move = make_move(from, to);
      }
    });
  });
  return best_move;
}

Players FastPlayout::winner(std::uint16_t const (&count)[3][4]) {
  if (count[WHITE][VORAK] == 0 || count[WHITE][MORIEL] == 0 || count[WHITE][WEMM] == 0)
    return BLACK;
  if (count[BLACK][VORAK] == 0 || count[BLACK][MORIEL] == 0 || count[BLACK][WEMM] == 0)
    return WHITE;
  return NONE;
}

// A capture changes no counter but the opponent's count of the captured kind, so the verdict
// after one or two captures follows from the counters: after a first capture that does not
// end the game, only a second capture of a kind down to its last stack can.
bool FastPlayout::lookahead(Players mover, Decision& decision) const {
  Players const other = opponent_of(mover);
  unsigned const v = count_[other][VORAK], m = count_[other][MORIEL], w = count_[other][WEMM];
  Pieces const kind = (v <= 2 && m > 2 && w > 2)   ? VORAK
                      : (v > 2 && m <= 2 && w > 2) ? MORIEL
                                                   : BLANK;
  List const& all = all_captures(mover);
  List first;
  filter_captures(all, kind, first);
  List const& tried = first.empty() ? all : first;

  for (std::size_t i = 0; i < tried.size(); ++i) {
    Move const m1 = tried[i];
    int const t1 = m1 >> 8;
    std::uint16_t after[3][4];
    std::copy(&count_[0][0], &count_[0][0] + 12, &after[0][0]);
    --after[owner_[t1] == WHITE ? WHITE : BLACK][piece_[t1]];
    Players const over = winner(after);
    if (over != NONE) {
      decision = Decision{over, text(m1), std::string()};
      return true;
    }
    unsigned last_kinds = 0;
    for (Pieces k : {VORAK, MORIEL, WEMM})
      if (after[other][k] == 1) last_kinds |= 1u << k;
    if (!last_kinds) return false;  // no kind down to its last stack: give up entirely

    Move const m2 = first_capture_after(mover, m1, last_kinds);
    if (m2 != NO_MOVE) {
      --after[other][piece_[m2 >> 8]];
      decision = Decision{winner(after), text(m1), text(m2)};
      return true;
    }
  }
  return false;
}
