// Checks of states for tests and fuzz targets. Each returns what it found wrong, "" when
// nothing: a test writes EXPECT_EQ(state_difference(a, b), ""), a fuzz target aborts.
#ifndef DRAVIX_TESTS_SUPPORT_STATE_CHECKS_H
#define DRAVIX_TESTS_SUPPORT_STATE_CHECKS_H

#include <string>

#include "game/vorak.h"

namespace support {

// The first field of the whole state in which two states differ, the board included.
std::string state_difference(Vorak const& a, Vorak const& b);
// The same but for the search's tallies (playouts, wins, losses), which every search rewrites.
std::string position_difference(Vorak const& a, Vorak const& b);
// Blocked cells still blocked, no playable cell blocked, every stack well formed, and the six
// tallies what the board shows.
std::string soundness_fault(Vorak const& v);

}  // namespace support

#endif
