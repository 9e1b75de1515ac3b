// Dravix Bot: asks the operator where the game manager is, plays, and offers a rematch.
#include "app/config.h"
#include "match/match.h"

int main() {
  return play_matches(play_game);
}
