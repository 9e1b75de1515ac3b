// One whole game against the Corvane Game Manager.
#ifndef DRAVIX_MATCH_MATCH_H
#define DRAVIX_MATCH_MATCH_H

#include <string>

// Connects to the game manager at `address`:`port`, plays one game thinking `time` seconds per
// turn, and returns 1 when the bot won, -1 when it lost and 0 for no contest (including every
// failure to connect or to talk to the server).
int play_game(std::string const& address, unsigned short const& port, unsigned short const& time);

#endif
