// The uniform draw of an index below a list's length, as Boost's uniform_int_distribution<int>
// draws it from a 32-bit engine (the same index from the same engine calls), only faster.
#ifndef DRAVIX_AI_UNIFORM_DRAW_H
#define DRAVIX_AI_UNIFORM_DRAW_H

#include <cstddef>
#include <cstdint>

#include <boost/random/uniform_int_distribution.hpp>

namespace uniform_draw {

// Boost's distribution divides each draw of the engine by a bucket size that it first works out
// with two more divisions, and rejects the draws beyond the last whole bucket. The same buckets,
// with each division by them done as a multiplication, for every list length that a move list
// can have.
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

inline constexpr Buckets BUCKETS = make_buckets();

}  // namespace uniform_draw

// An index from 0 to n - 1, every one equally likely, from an engine of 32-bit draws (0 to
// 2^32 - 1); n must not be 0.
template <typename Engine>
int draw_uniform(Engine& engine, std::size_t n) {
  if (n > uniform_draw::LISTED) {
    boost::random::uniform_int_distribution<int> dist(0, static_cast<int>(n) - 1);
    return dist(engine);
  }
  if (n == 1) return 0;  // Boost draws nothing for a range of one value
  std::uint64_t const inverse = uniform_draw::BUCKETS.inverse[n];
  for (;;) {
    // x / bucket, exact: the error of the rounded inverse stays below 1 / bucket.
    std::uint64_t const index = static_cast<std::uint64_t>(
        (static_cast<unsigned __int128>(static_cast<std::uint32_t>(engine())) * inverse) >> 64);
    if (index < n) return static_cast<int>(index);
  }
}

#endif
