// GoogleTest-side helpers of the tests: captured output and cell expectations.
#ifndef DRAVIX_TESTS_SUPPORT_EXPECT_H
#define DRAVIX_TESTS_SUPPORT_EXPECT_H

#include <gtest/gtest.h>

#include <string>

#include "game/vorak.h"

namespace support {

// What `f` writes to standard output.
template <class F>
std::string output_of(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

inline void expect_entry(Entry const& e, Players owner, Pieces piece, unsigned short height) {
  EXPECT_EQ(e.owner, owner);
  EXPECT_EQ(e.piece, piece);
  EXPECT_EQ(e.height, height);
}

}  // namespace support

#endif
