// The compact playout position: lines kept up to date action by action, candidate lists drawn
// from without building them, and the look-ahead without strings.
#include "ai/playout.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "game/rules.h"

namespace {

using geometry::RAY_BITS;

inline std::uint64_t bit(int p) {
  return std::uint64_t{1} << p;
}

inline int lowest(std::uint64_t bits) {
  return __builtin_ctzll(bits);
}

inline int highest(std::uint64_t bits) {
  return 63 - __builtin_clzll(bits);
}

// Calls f(std::integral_constant<int, D>) for the six directions in order, so that each call
// knows its direction at compile time.
template <class F>
inline void each_direction(F&& f) {
  f(std::integral_constant<int, 0>{});
  f(std::integral_constant<int, 1>{});
  f(std::integral_constant<int, 2>{});
  f(std::integral_constant<int, 3>{});
  f(std::integral_constant<int, 4>{});
  f(std::integral_constant<int, 5>{});
}

// Calls f(cell) for every set bit, in increasing cell order: the canonical sweep order.
template <class F>
inline void for_each_cell(std::uint64_t bits, F&& f) {
  while (bits) {
    int const cell = lowest(bits);
    bits &= bits - 1;
    f(cell);
  }
}

constexpr Pieces KINDS[] = {VORAK, MORIEL, WEMM};

// For a set of directions (a bit each), which is the i-th.
using NthDirection = std::array<std::array<std::uint8_t, 6>, 64>;

constexpr NthDirection make_nth_direction() {
  NthDirection nth{};
  for (unsigned set = 0; set < 64; ++set) {
    unsigned n = 0;
    for (unsigned d = 0; d < 6; ++d)
      if (set & (1u << d)) nth[set][n++] = static_cast<std::uint8_t>(d);
  }
  return nth;
}

constexpr NthDirection NTH_DIRECTION = make_nth_direction();

// Each bit of a byte spread to a byte of its own: bit k to byte k.
constexpr std::array<std::uint64_t, 256> make_spread() {
  std::array<std::uint64_t, 256> spread{};
  for (unsigned x = 0; x < 256; ++x)
    for (unsigned k = 0; k < 8; ++k)
      if (x & (1u << k)) spread[x] |= std::uint64_t{1} << (8 * k);
  return spread;
}

constexpr std::array<std::uint64_t, 256> SPREAD = make_spread();

// The number of set bits of each byte, in that byte: the first steps of a population count.
// Without a population count instruction in the baseline instruction set the compiler would
// call a library routine.
inline std::uint64_t byte_counts(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
}

}  // namespace

// How many actions each source of a list has (0 to 6), as three bit planes, and how many the
// list holds up to each byte of sources: what drawing from the list needs, without a walk.
struct FastPlayout::Census {
  std::uint64_t ones, twos, fours;
  std::uint64_t prefix;  // byte j: the actions of sources 0 to 8j + 7, when total < 256
  std::size_t total;

  explicit Census(Lines const& lines) {
    // Two full adders of three directions each, then the carries added up.
    std::uint64_t const a = lines.by[0], b = lines.by[1], c = lines.by[2];
    std::uint64_t const d = lines.by[3], e = lines.by[4], f = lines.by[5];
    std::uint64_t const sum1 = a ^ b ^ c, carry1 = (a & b) | (c & (a ^ b));
    std::uint64_t const sum2 = d ^ e ^ f, carry2 = (d & e) | (f & (d ^ e));
    std::uint64_t const carry3 = sum1 & sum2;
    ones = sum1 ^ sum2;
    twos = carry1 ^ carry2 ^ carry3;
    fours = (carry1 & carry2) | (carry3 & (carry1 ^ carry2));
    // At most 8 + 16 + 32 actions per byte of sources.
    std::uint64_t const per_byte =
        byte_counts(ones) + (byte_counts(twos) << 1) + (byte_counts(fours) << 2);
    std::uint64_t const pairs =
        (per_byte & 0x00FF00FF00FF00FFull) + ((per_byte >> 8) & 0x00FF00FF00FF00FFull);
    total = static_cast<std::size_t>((pairs * 0x0001000100010001ull) >> 48);
    prefix = per_byte * 0x0101010101010101ull;
  }

  unsigned actions_of(int source) const {
    return static_cast<unsigned>(((ones >> source) & 1) + (((twos >> source) & 1) << 1) +
                                 (((fours >> source) & 1) << 2));
  }
};

FastPlayout::FastPlayout(Vorak const& state)
    : cell_{}, count_{}, stacks_{}, kinds_{}, ends_{}, higher_{}, move_count_(state.move_count) {
  for (int p = 0; p < CELLS; ++p) {
    int const c = geometry::PLAYABLE[p];
    Entry const& e = state.board[geometry::row_of(c)][geometry::column_of(c)];
    if (!holds_stack(e)) continue;
    cell_[p] = make_cell(e.owner, e.piece, e.height);
    stacks_[e.owner] |= bit(p);
    kinds_[e.owner][e.piece] |= bit(p);
  }
  count_[WHITE][VORAK] = state.white_voraks;
  count_[WHITE][MORIEL] = state.white_moriels;
  count_[WHITE][WEMM] = state.white_wemms;
  count_[BLACK][VORAK] = state.black_voraks;
  count_[BLACK][MORIEL] = state.black_moriels;
  count_[BLACK][WEMM] = state.black_wemms;
  for_each_cell(occupied(), [&](int from) {
    for (int d = 0; d < DIRECTIONS; ++d) repoint(from, d, 0, cell_[from], cell_[nearest(from, d)]);
  });
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

int FastPlayout::nearest(std::uint64_t occupied, int from, int direction) {
  std::uint64_t const hit = RAY_BITS[from][direction] & occupied;
  if (!hit) return NO_CELL;
  // Even directions step to higher cell numbers, so the nearest stack is the lowest bit.
  return direction % 2 == 0 ? lowest(hit) : highest(hit);
}

// Without branches: which stack is nearest is as good as random.
template <int D>
inline int FastPlayout::neighbour(std::uint64_t occupied, int from) {
  static_assert(NO_CELL == 63, "the sentinel stands in for the missing bit");
  std::uint64_t const hit = RAY_BITS[from][D] & occupied;
  if constexpr (D % 2 == 0) {
    return lowest(hit | bit(NO_CELL));
  } else {
    return (highest((hit << 1) | 1) - 1) & NO_CELL;  // -1 for no stack becomes NO_CELL
  }
}

inline void FastPlayout::compare_heights(int from, int direction, Cell source, Cell to) {
  std::uint64_t const higher = height_of(to) > height_of(source);
  higher_[direction] = (higher_[direction] & ~bit(from)) | higher << from;
}

inline void FastPlayout::repoint(int from, int direction, unsigned was, Cell source, Cell to) {
  ends_[direction][was] &= ~bit(from);
  ends_[direction][class_of(to)] |= bit(from);
  compare_heights(from, direction, source, to);
}

void FastPlayout::execute(Move move) {
  move_count_ = move_count_ == 0 ? 2 : static_cast<std::uint16_t>(move_count_ + 1);
  if (move == PASS) return;
  int const from = move & 0xFF, to = move >> 8;

  // A cell once emptied stays empty (every action goes from a stack onto a stack), so only
  // the lines through `from` and `to` change; `from`'s own lines are left to the masks.
  std::uint64_t const before = occupied();
  int around[DIRECTIONS];
  each_direction([&](auto d) { around[d] = neighbour<d>(before, from); });
  // The direction of the action, from `from` to `to`.
  unsigned const axis =
      ((around[2] == to) | (around[3] == to)) + 2 * ((around[4] == to) | (around[5] == to));
  int const forth = static_cast<int>(2 * axis) + (around[2 * axis + 1] == to);

  Cell const moved = cell_[from], covered = cell_[to];
  unsigned const mover = owner_of(moved), target_owner = owner_of(covered);
  unsigned const kind = kind_of(moved), covered_kind = kind_of(covered);
  // Whatever sits on top of the target stops counting as a stack of its kind.
  --count_[target_owner][covered_kind];
  kinds_[target_owner][covered_kind] &= ~bit(to);
  kinds_[mover][kind] = (kinds_[mover][kind] & ~bit(from)) | bit(to);
  stacks_[target_owner] &= ~bit(to);
  stacks_[mover] = (stacks_[mover] & ~bit(from)) | bit(to);
  // A stacking adds the heights (the tallest stack keeps the largest height there is); a
  // capture puts the moved stack in the target's place.
  Cell const stacked =
      make_cell(mover, kind, std::min(height_of(moved) + height_of(covered), 65535u));
  Cell const placed = mover == target_owner ? stacked : moved;
  cell_[to] = placed;
  cell_[from] = 0;

  // The stacks on either side of `from` now see each other: on the other two axes, and on the
  // action's axis `to` and the stack behind `from`. The empty cell NO_CELL takes whatever is
  // set for it; the masks keep it out of every list.
  unsigned const was = class_of(moved);
  static constexpr int OTHER_AXES[3][2] = {{2, 4}, {0, 4}, {0, 2}};
  for (int d : OTHER_AXES[axis]) {
    int const a = around[d], b = around[d + 1];
    repoint(a, d + 1, was, cell_[a], cell_[b]);
    repoint(b, d, was, cell_[b], cell_[a]);
  }
  int const behind = around[forth ^ 1];
  repoint(to, forth ^ 1, was, placed, cell_[behind]);
  repoint(behind, forth, was, cell_[behind], placed);

  // Every line that ends at `to` now ends at a stack of another class or height, and `to`'s
  // own lines start from another height. (The line from behind is moved again, to the same.)
  unsigned const covered_class = class_of(covered), placed_class = class_of(placed);
  std::uint64_t const after = occupied();
  each_direction([&](auto d) {
    int const t = neighbour<d>(after, to);
    Cell const ct = cell_[t];
    ends_[d ^ 1][covered_class] &= ~bit(t);
    ends_[d ^ 1][placed_class] |= bit(t);
    compare_heights(t, d ^ 1, ct, placed);
    compare_heights(to, d, placed, ct);
  });
}

FastPlayout::ActionFacts FastPlayout::facts(Move move, bool exposure) const {
  int const from = move & 0xFF, to = move >> 8;
  Cell const moved = cell_[from], covered = cell_[to];
  ActionFacts facts;
  facts.capture = owner_of(moved) != owner_of(covered);
  facts.target = static_cast<Pieces>(kind_of(covered));
  if (!exposure) return facts;
  unsigned const height =
      facts.capture ? height_of(moved) : std::min(height_of(moved) + height_of(covered), 65535u);
  unsigned const other = opponent_of(static_cast<Players>(owner_of(moved)));
  // The lines from the new cell once the source is empty; a stack no higher takes it. Without
  // branches: the tree's priors ask this of every action of a node, and the answers vary.
  std::uint64_t const after = occupied() & ~bit(from);
  unsigned exposed = 0;
  each_direction([&](auto d) {
    Cell const c = cell_[neighbour<d>(after, to)];
    exposed |=
        static_cast<unsigned>(owner_of(c) == other) & static_cast<unsigned>(height_of(c) >= height);
  });
  facts.exposed = exposed != 0;
  return facts;
}

FastPlayout::Lines FastPlayout::captures(Players mover) const {
  int const other = opponent_of(mover) << 2;
  Lines lines;
  for (int d = 0; d < DIRECTIONS; ++d)
    lines.by[d] = (ends_[d][other | VORAK] | ends_[d][other | MORIEL] | ends_[d][other | WEMM]) &
                  ~higher_[d] & stacks_[mover];
  return lines;
}

FastPlayout::Lines FastPlayout::captures(Players mover, Pieces kind) const {
  int const target = class_of(opponent_of(mover), kind);
  Lines lines;
  for (int d = 0; d < DIRECTIONS; ++d)
    lines.by[d] = ends_[d][target] & ~higher_[d] & stacks_[mover];
  return lines;
}

FastPlayout::Lines FastPlayout::step_lines(Players mover, bool concerned, bool& pass) const {
  Lines lines{};
  pass = false;
  if (mover != WHITE && mover != BLACK) return lines;

  if (move_count_ % 2 == 0) {
    // First action of a turn: captures only. Unless concerned, only those of the highest
    // kind that can be captured at all: Voraks, else Moriels, else Wemms.
    if (concerned) return captures(mover);
    for (Pieces kind : KINDS) {
      lines = captures(mover, kind);
      if (any(lines)) break;
    }
    return lines;
  }

  // Second action: a strong stacking onto a kind of which the mover has plenty if there is
  // one, else every capture and every stacking that keeps a stack of the covered kind; then
  // the pass, unless concerned.
  pass = !concerned;
  std::uint16_t const(&own)[4] = count_[mover];
  if (!concerned) {
    std::uint64_t sources = 0;
    for (Pieces kind : KINDS)
      if (rules::strong(kind)) sources |= kinds_[mover][kind];
    for (int d = 0; d < DIRECTIONS; ++d) {
      std::uint64_t onto = 0;
      for (Pieces kind : KINDS)
        if (own[kind] >= rules::PLENTY) onto |= ends_[d][class_of(mover, kind)];
      lines.by[d] = onto & sources;
    }
    if (any(lines)) return lines;
  }
  lines = captures(mover);
  for (Pieces kind : KINDS)
    if (own[kind] >= rules::KEEP_ONE)
      for (int d = 0; d < DIRECTIONS; ++d)
        lines.by[d] |= ends_[d][class_of(mover, kind)] & stacks_[mover];
  return lines;
}

FastPlayout::Move FastPlayout::nth(Lines const& lines, Census const& census, std::size_t i) const {
  int source;
  if (census.total < 256) {
    // Without branches, which would be as good as random here: the byte of sources whose
    // running total passes i, by binary search; then the source within it, by comparing the
    // running totals of its eight sources with i all at once.
    auto running = [&](int byte) { return (census.prefix >> (8 * byte)) & 0xFF; };
    int byte = 0;
    byte += 4 * (running(byte + 3) <= i);
    byte += 2 * (running(byte + 1) <= i);
    byte += running(byte) <= i;
    i -= ((census.prefix << 8) >> (8 * byte)) & 0xFF;
    auto bits = [&](std::uint64_t plane) { return SPREAD[(plane >> (8 * byte)) & 0xFF]; };
    std::uint64_t const within =
        (bits(census.ones) + (bits(census.twos) << 1) + (bits(census.fours) << 2)) *
        0x0101010101010101ull;  // each at most 48
    std::uint64_t const passed =
        ((within | 0x8080808080808080ull) - (i + 1) * 0x0101010101010101ull) &
        0x8080808080808080ull;
    int const k = lowest(passed) >> 3;
    i -= ((within << 8) >> (8 * k)) & 0xFF;
    source = 8 * byte + k;
  } else {
    std::uint64_t sources = 0;
    for (int d = 0; d < DIRECTIONS; ++d) sources |= lines.by[d];
    for (;;) {
      source = lowest(sources);
      sources &= sources - 1;
      std::size_t const n = census.actions_of(source);
      if (i < n) break;
      i -= n;
    }
  }
  return make_move(source, nearest(source, NTH_DIRECTION[directions_of(lines, source)][i]));
}

bool FastPlayout::pick(Players mover, bool concerned, boost::random::mt19937& engine,
                       Move& move) const {
  bool pass = false;
  Lines const lines = step_lines(mover, concerned, pass);
  Census const census(lines);
  std::size_t const total = census.total + (pass ? 1 : 0);
  if (total == 0) return false;
  std::size_t const i = static_cast<std::size_t>(draw_index(engine, total));
  move = i == census.total ? PASS : nth(lines, census, i);
  return true;
}

template <class F>
void FastPlayout::for_each(Lines const& lines, F&& f) const {
  std::uint64_t sources = 0;
  for (int d = 0; d < DIRECTIONS; ++d) sources |= lines.by[d];
  while (sources) {
    int const s = lowest(sources);
    sources &= sources - 1;
    unsigned directions = directions_of(lines, s);
    do {
      int const d = lowest(directions);
      directions &= directions - 1;
      if (f(make_move(s, nearest(s, d)))) return;
    } while (directions);
  }
}

void FastPlayout::candidates(Players mover, bool concerned, List& list) const {
  bool pass = false;
  Lines const lines = step_lines(mover, concerned, pass);
  for_each(lines, [&](Move m) {
    list.push(m);
    return false;
  });
  if (pass) list.push(PASS);
}

struct FastPlayout::Attackers {
  std::uint64_t known = 0;  // the targets looked at so far
  std::uint64_t near[64];   // per target, the cells its lines end at
  int key[64];              // its first capture's place in list order, -1 for none
  Move move[64];
};

int FastPlayout::first_capture_of(Players mover, int to, std::uint64_t occupied, int moved_from,
                                  int moved_to, std::uint64_t& near, Move& move) const {
  // Work back from the target: the capture S -> T that a sweep would list first is the one
  // with the lowest source, then the lowest direction from S towards T. Without branches: which
  // lines end where, and at whose stack, is as good as random.
  constexpr unsigned NONE_FOUND = ~0u;
  unsigned best = NONE_FOUND;
  std::uint64_t ends = 0;
  unsigned const height = height_of(cell_[to]);
  each_direction([&](auto d) {
    int const from = neighbour<d>(occupied, to);  // NO_CELL, an empty cell, when none
    ends |= bit(from);
    Cell const source = cell_[from == moved_to ? moved_from : from];
    unsigned const takes = static_cast<unsigned>(owner_of(source) == static_cast<unsigned>(mover)) &
                           static_cast<unsigned>(height_of(source) >= height);
    unsigned const key = static_cast<unsigned>(from * DIRECTIONS + (d ^ 1));  // d ^ 1: S to T
    best = std::min(best, takes ? key : NONE_FOUND);
  });
  near = ends & ~bit(NO_CELL);
  move = best == NONE_FOUND ? NO_MOVE : make_move(static_cast<int>(best / DIRECTIONS), to);
  return best == NONE_FOUND ? -1 : static_cast<int>(best);
}

int FastPlayout::capture_opened(Players mover, int to, Move m1, std::uint64_t near,
                                Move& move) const {
  // The target's other lines end where they did, at stacks that cannot take it: only a line
  // through m1's source, now longer, or one ending at its new cell can.
  int const moved_from = m1 & 0xFF, moved_to = m1 >> 8;
  unsigned const height = height_of(cell_[to]);
  Cell const moved = cell_[moved_from];
  int best = -1;
  move = NO_MOVE;
  auto consider = [&](int from, int d, Cell source) {  // d: the direction from `to` to `from`
    if (owner_of(source) != static_cast<unsigned>(mover) || height_of(source) < height) return;
    int const key = from * DIRECTIONS + (d ^ 1);
    if (best < 0 || key < best) {
      best = key;
      move = make_move(from, to);
    }
  };
  if (near & bit(moved_from)) {
    int const d = geometry::DIRECTION_TO[to][moved_from];
    int const beyond = nearest(occupied() & ~bit(moved_from), to, d);
    // Where m1 landed at the end of that line, the moved stack was too low to take the target
    // from its source next to it, and still is: the stack it covered stands in for it.
    if (beyond != NO_CELL) consider(beyond, d, cell_[beyond]);
  }
  if (near & bit(moved_to)) consider(moved_to, geometry::DIRECTION_TO[to][moved_to], moved);
  return best;
}

std::uint64_t FastPlayout::stacks_of(Players owner, unsigned kinds) const {
  std::uint64_t cells = 0;
  for (Pieces k : KINDS)
    if (kinds & (1u << k)) cells |= kinds_[owner][k];
  return cells;
}

void FastPlayout::know(Players mover, int to, Attackers& known) const {
  if (known.known & bit(to)) return;
  known.key[to] =
      first_capture_of(mover, to, occupied(), NO_CELL, NO_CELL, known.near[to], known.move[to]);
  known.known |= bit(to);
}

FastPlayout::Move FastPlayout::first_capture_after(Players mover, Move m1, unsigned kinds,
                                                   Attackers& known) const {
  // The board after m1 differs only in m1's two cells, so it is read through them rather than
  // copied; and a target none of whose lines ends at either cell is attacked as it is now, which
  // the look-ahead works out once for all its first captures.
  int const moved_from = m1 & 0xFF, moved_to = m1 >> 8;
  std::uint64_t const occupied = this->occupied() & ~bit(moved_from);
  Players const other = opponent_of(mover);
  std::uint64_t const targets = stacks_of(other, kinds) & ~bit(moved_to);
  int best = -1;
  Move best_move = NO_MOVE;
  for_each_cell(targets, [&](int to) {
    know(mover, to, known);
    int key = known.key[to];
    Move move = known.move[to];
    if (!(known.near[to] & (bit(moved_from) | bit(moved_to)))) {
      // m1 changes none of its lines: attacked as it is now
    } else if (key < 0) {
      key = capture_opened(mover, to, m1, known.near[to], move);
    } else {
      std::uint64_t near;
      key = first_capture_of(mover, to, occupied, moved_from, moved_to, near, move);
    }
    if (key >= 0 && (best < 0 || key < best)) {
      best = key;
      best_move = move;
    }
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
  Pieces const kind = (v <= LOW_STACKS && m > LOW_STACKS && w > LOW_STACKS)   ? VORAK
                      : (v > LOW_STACKS && m <= LOW_STACKS && w > LOW_STACKS) ? MORIEL
                                                                              : BLANK;
  Lines first = kind == BLANK ? Lines{} : captures(mover, kind);
  if (!any(first)) first = captures(mover);

  bool decided = false;
  Attackers known;
  // The counts after m1 differ from these in the kind it takes alone: a game is over after it
  // only where it takes a kind's last stack, or where it was over already.
  bool const over_already = winner(count_) != NONE;
  unsigned ones = 0, twos = 0;  // the opponent's kinds down to one stack, and to two
  for (Pieces k : KINDS) {
    if (count_[other][k] == 1) ones |= 1u << k;
    if (count_[other][k] == 2) twos |= 1u << k;
  }
  // While no last stack of a kind can be taken now, a first capture that takes none of the low
  // kinds can make one takeable only by leaving or taking a cell that stack's lines end at; any
  // other such capture finds no second capture, so the list is narrowed to the rest.
  if (ones && !over_already) {
    std::uint64_t reach = 0;
    bool takeable = false;
    for_each_cell(stacks_of(other, ones), [&](int to) {
      know(mover, to, known);
      reach |= known.near[to];
      takeable |= known.key[to] >= 0;
    });
    if (!takeable) {
      Lines keep;
      for (int d = 0; d < DIRECTIONS; ++d) keep.by[d] = reach;
      for (Pieces k : KINDS) {
        if (!((ones | twos) & (1u << k))) continue;
        for (int d = 0; d < DIRECTIONS; ++d) keep.by[d] |= ends_[d][class_of(other, k)];
      }
      // The capture onto a cell c in direction d comes from c's nearest stack the other way.
      for_each_cell(reach & stacks_[other], [&](int c) {
        each_direction([&](auto d) { keep.by[d ^ 1] |= bit(neighbour<d>(occupied(), c)); });
      });
      for (int d = 0; d < DIRECTIONS; ++d) first.by[d] &= keep.by[d];
    }
  }
  for_each(first, [&](Move m1) {
    // A first capture takes an opposing stack: one fewer of its kind for `other`.
    unsigned const kind1 = kind_of(cell_[m1 >> 8]);
    unsigned const taken = 1u << kind1;
    auto after_m1 = [&](std::uint16_t(&after)[3][4]) {
      std::copy(&count_[0][0], &count_[0][0] + 12, &after[0][0]);
      --after[other][kind1];
    };
    if (over_already || (ones & taken)) {
      std::uint16_t after[3][4];
      after_m1(after);
      Players const over = winner(after);
      if (over != NONE) {
        decision = Decision{over, text(m1), std::string()};
        return decided = true;
      }
    }
    unsigned const last_kinds = (ones & ~taken) | (twos & taken);
    if (!last_kinds) return true;  // no kind down to its last stack: give up entirely

    Move const m2 = first_capture_after(mover, m1, last_kinds, known);
    if (m2 == NO_MOVE) return false;
    std::uint16_t after[3][4];
    after_m1(after);
    --after[other][kind_of(cell_[m2 >> 8])];
    decision = Decision{winner(after), text(m1), text(m2)};
    return decided = true;
  });
  return decided;
}
