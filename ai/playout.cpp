// The compact playout position: move lists, execution and the look-ahead without strings.
#include "ai/playout.h"

#include <algorithm>

namespace {

using geometry::CELLS;
using geometry::DIRECTIONS;
using geometry::NO_CELL;
using geometry::RAYS;

inline void set_bit(std::uint64_t (&words)[2], int cell) {
  words[cell >> 6] |= std::uint64_t{1} << (cell & 63);
}

inline void clear_bit(std::uint64_t (&words)[2], int cell) {
  words[cell >> 6] &= ~(std::uint64_t{1} << (cell & 63));
}

// Calls f(cell) for every set bit, in increasing cell order: the canonical sweep order.
template <class F>
inline void for_each_cell(std::uint64_t const (&words)[2], F&& f) {
  for (int w = 0; w < 2; ++w) {
    std::uint64_t bits = words[w];
    while (bits) {
      int const cell = (w << 6) + __builtin_ctzll(bits);
      bits &= bits - 1;
      f(cell);
    }
  }
}

}  // namespace

FastPlayout::FastPlayout(Vorak const& state)
    : count_{}, stacks_{}, move_count_(state.move_count) {
  for (int c = 0; c < CELLS; ++c) {
    Entry const& e = state.board[geometry::row_of(c)][geometry::column_of(c)];
    owner_[c] = static_cast<std::uint8_t>(e.owner);
    piece_[c] = static_cast<std::uint8_t>(e.piece);
    height_[c] = e.height;
    bool const stack =
        (e.owner == WHITE || e.owner == BLACK) && e.piece != BLANK && e.piece != BLOCK;
    if (stack && geometry::is_playable(geometry::row_of(c), geometry::column_of(c)))
      set_bit(stacks_[e.owner], c);
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
  int const from = move & 0xFF, to = move >> 8;
  char digits[4] = {static_cast<char>('0' + geometry::row_of(from)),
                    static_cast<char>('0' + geometry::column_of(from)),
                    static_cast<char>('0' + geometry::row_of(to)),
                    static_cast<char>('0' + geometry::column_of(to))};
  return std::string(digits, 4);
}

void FastPlayout::execute(Move move) {
  move_count_ = move_count_ == 0 ? 2 : static_cast<std::uint16_t>(move_count_ + 1);
  if (move == PASS) return;
  int const from = move & 0xFF, to = move >> 8;
  std::uint8_t const mover = owner_[from];
  std::uint8_t const target_owner = owner_[to];
  // Whatever sits on top of the target stops counting as a stack of its kind.
  --count_[target_owner == WHITE ? WHITE : BLACK][piece_[to]];
  if (mover == target_owner) {
    piece_[to] = piece_[from];
    height_[to] = static_cast<std::uint16_t>(std::min(height_[to] + height_[from], 65535));
  } else {
    clear_bit(stacks_[target_owner], to);
    set_bit(stacks_[mover], to);
    owner_[to] = mover;
    piece_[to] = piece_[from];
    height_[to] = height_[from];
  }
  clear_bit(stacks_[mover], from);
  owner_[from] = NONE;
  piece_[from] = BLANK;
  height_[from] = 0;
}

void FastPlayout::candidates(Players mover, bool concerned, List& list) const {
  bool const opening = move_count_ % 2 == 0;
  if (mover != WHITE && mover != BLACK) return;
  std::uint16_t const(&own)[4] = count_[mover];

  if (opening) {
    // First action of a turn: captures only. Unless concerned, only those of the highest
    // kind that can be captured at all: Voraks, else Moriels, else Wemms.
    if (concerned) {
      captures(mover, BLANK, list);
      return;
    }
    List moriels, wemms;
    for_each_cell(stacks_[mover], [&](int from) {
      for (int d = 0; d < DIRECTIONS; ++d) {
        for (std::uint8_t to : RAYS[from][d]) {
          if (to == NO_CELL) break;
          if (piece_[to] == BLANK) continue;
          if (owner_[to] != mover && height_[to] <= height_[from]) {
            Move const m = make_move(from, to);
            if (piece_[to] == VORAK)
              list.push(m);
            else if (list.empty())
              (piece_[to] == MORIEL ? moriels : wemms).push(m);
          }
          break;
        }
      }
    });
    if (list.empty()) {
      List const& fallback = moriels.empty() ? wemms : moriels;
      for (std::size_t i = 0; i < fallback.size(); ++i) list.push(fallback[i]);
    }
    return;
  }

  // Second action: a Vorak or Moriel stacking onto a kind of which the mover has 7 or more
  // stacks if there is one, else every capture and stacking that keeps 2 of a kind; then
  // the pass, unless concerned.
  List strong;
  for_each_cell(stacks_[mover], [&](int from) {
    for (int d = 0; d < DIRECTIONS; ++d) {
      for (std::uint8_t to : RAYS[from][d]) {
        if (to == NO_CELL) break;
        if (piece_[to] == BLANK) continue;
        Move const m = make_move(from, to);
        if (owner_[to] != mover) {
          if (height_[to] <= height_[from]) list.push(m);
        } else if (own[piece_[to]] >= 2) {
          list.push(m);
          if (!concerned && own[piece_[to]] >= 7 &&
              (piece_[from] == VORAK || piece_[from] == MORIEL))
            strong.push(m);
        }
        break;
      }
    }
  });
  if (concerned) return;
  if (!strong.empty()) {
    list.clear();
    for (std::size_t i = 0; i < strong.size(); ++i) list.push(strong[i]);
  }
  list.push(PASS);
}

void FastPlayout::captures(Players mover, Pieces kind, List& list) const {
  for_each_cell(stacks_[mover], [&](int from) {
    for (int d = 0; d < DIRECTIONS; ++d) {
      for (std::uint8_t to : RAYS[from][d]) {
        if (to == NO_CELL) break;
        if (piece_[to] == BLANK) continue;
        if (owner_[to] != mover && height_[to] <= height_[from] &&
            (kind == BLANK || piece_[to] == kind))
          list.push(make_move(from, to));
        break;
      }
    }
  });
}

Players FastPlayout::winner(std::uint16_t const (&count)[3][4]) {
  if (count[WHITE][VORAK] == 0 || count[WHITE][MORIEL] == 0 || count[WHITE][WEMM] == 0)
    return BLACK;
  if (count[BLACK][VORAK] == 0 || count[BLACK][MORIEL] == 0 || count[BLACK][WEMM] == 0)
    return WHITE;
  return NONE;
}

// A capture changes no counter but the opponent's count of the captured kind, so the verdict
// after one or two captures follows from the counters; only the second list needs the board
// after the first capture.
bool FastPlayout::lookahead(Players mover, Decision& decision) const {
  Players const other = opponent_of(mover);
  unsigned const v = count_[other][VORAK], m = count_[other][MORIEL], w = count_[other][WEMM];
  Pieces const kind = (v <= 2 && m > 2 && w > 2)   ? VORAK
                      : (v > 2 && m <= 2 && w > 2) ? MORIEL
                                                   : BLANK;
  List first;
  captures(mover, kind, first);
  if (first.empty() && kind != BLANK) captures(mover, BLANK, first);

  for (std::size_t i = 0; i < first.size(); ++i) {
    Move const m1 = first[i];
    int const t1 = m1 >> 8;
    std::uint16_t after[3][4];
    std::copy(&count_[0][0], &count_[0][0] + 12, &after[0][0]);
    --after[owner_[t1] == WHITE ? WHITE : BLACK][piece_[t1]];
    Players const over = winner(after);
    if (over != NONE) {
      decision = Decision{over, text(m1), std::string()};
      return true;
    }
    unsigned const v1 = after[other][VORAK], m1c = after[other][MORIEL],
                   w1 = after[other][WEMM];
    Pieces second_kind;
    if (v1 == 1)
      second_kind = (m1c >= 2 && w1 >= 2) ? VORAK : BLANK;
    else if (m1c == 1)
      second_kind = w1 >= 2 ? MORIEL : BLANK;
    else if (w1 == 1)
      second_kind = BLANK;
    else
      return false;  // no kind is down to its last stack: give up on the whole look-ahead

    FastPlayout s1 = *this;
    s1.execute(m1);
    List second;
    s1.captures(mover, second_kind, second);
    for (std::size_t j = 0; j < second.size(); ++j) {
      int const t2 = second[j] >> 8;
      std::uint16_t final_count[3][4];
      std::copy(&after[0][0], &after[0][0] + 12, &final_count[0][0]);
      --final_count[s1.owner_[t2] == WHITE ? WHITE : BLACK][s1.piece_[t2]];
      Players const end = winner(final_count);
      if (end != NONE) {
        decision = Decision{end, text(m1), text(second[j])};
        return true;
      }
    }
  }
  return false;
}
