// The program's random source and the random player.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <boost/random/uniform_int_distribution.hpp>

#include "ai/search_state.h"

boost::random::mt19937 gen(static_cast<std::uint32_t>(std::time(nullptr)));

namespace {

// Boost's uniform_int_distribution<int>(0, n - 1) on a 32-bit engine divides each draw of the
// engine by a bucket size that it first works out with two more divisions, and rejects the
// draws beyond the last whole bucket. The same buckets, with each division by them done as a
// multiplication, for every list length that a move list can have.
constexpr std::size_t LISTED = 64 * 6 + 1;

struct Buckets {
  std::uint64_t inverse[LISTED + 1] = {};  // 2^64 / bucket, rounded up (exact for powers of 2)
};

constexpr Buckets make_buckets() {
  Buckets buckets;
  std::uint32_t const brange = 0xFFFFFFFFu;
  for (std::uint32_t n = 2; n <= LISTED; ++n) {
    std::uint32_t bucket = brange / n;
    if (brange % n == n - 1) ++bucket;
    buckets.inverse[n] = ~std::uint64_t{0} / bucket + 1;
  }
  return buckets;
}

constexpr Buckets BUCKETS = make_buckets();

}  // namespace

int draw_index(boost::random::mt19937& engine, std::size_t n) {
  static_assert(boost::random::mt19937::word_size == 32, "the buckets assume 32-bit draws");
  if (n > LISTED) {
    boost::random::uniform_int_distribution<int> dist(0, static_cast<int>(n) - 1);
    return dist(engine);
  }
  if (n == 1) return 0;  // Boost draws nothing for a range of one value
  std::uint64_t const inverse = BUCKETS.inverse[n];
  for (;;) {
    // x / bucket, exact: the error of the rounded inverse stays below 1 / bucket.
    std::uint64_t const index =
        static_cast<std::uint64_t>((static_cast<unsigned __int128>(engine()) * inverse) >> 64);
    if (index < n) return static_cast<int>(index);
  }
}

std::string random_choice(Vorak const& state, SearchContext const& context) {
  if (context.out) *context.out << "Randomly determining move to make.\n";
  std::vector<std::string> moves;
  state.get_moves(moves, state.own_player, state.step());
  // With no capture to open the turn there is nothing to draw from: offer a pass and let
  // the server rule on it.
  std::string const move =
      moves.empty() ? std::string() : moves[draw_index(context.engine, moves.size())];
  if (context.out) *context.out << "Making move " << move << "\n";
  return move;
}

std::string Vorak::random_ai() {
  return random_choice(*this, program_context());
}
