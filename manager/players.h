// The built-in players' choices. Each returns an internal move string that is legal for the
// action due (a pass only as a second action), or "" at step 1 only when there is no capture.
#ifndef DRAVIX_MANAGER_PLAYERS_H
#define DRAVIX_MANAGER_PLAYERS_H

#include <string>

#include <boost/random/mersenne_twister.hpp>

#include "game/vorak.h"

namespace manager {

// Uniform over the legal actions, the pass included at step 2.
std::string choose_random(Vorak const& state, Players player, boost::random::mt19937& engine);

// Wins when it can (at once, or with the second action of the turn that it opens); else
// captures a stack of the kind the opponent has fewest of; else plays at random.
std::string choose_greedy(Vorak const& state, Players player, boost::random::mt19937& engine);

}  // namespace manager

#endif
