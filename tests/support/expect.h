// GoogleTest-side helpers of the tests: captured output and cell expectations.
#ifndef DRAVIX_TESTS_SUPPORT_EXPECT_H
#define DRAVIX_TESTS_SUPPORT_EXPECT_H

#include <gtest/gtest.h>

#include <string>

#include "game/vorak.h"
#include "tests/support/positions.h"

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

// Each stack written short (see stacks()) stands on the board as written.
inline void expect_stacks(Vorak const& v, std::string const& text) {
  for (Stack const& s : stacks(text)) {
    SCOPED_TRACE(testing::Message() << "cell " << s.row << "," << s.column);
    expect_entry(v.board[s.row][s.column], s.owner, s.piece, s.height);
  }
}

}  // namespace support

#endif
