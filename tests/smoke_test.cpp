#include <gtest/gtest.h>

#include "game/vorak.h"

TEST(smoke, constructs) {
  Vorak v(3);
  EXPECT_EQ(v.is_game_over(), BLACK);
}
