// The check every move from the server passes before it touches our copy of the position.
#ifndef DRAVIX_MATCH_MOVE_CHECK_H
#define DRAVIX_MATCH_MOVE_CHECK_H

#include <string>

#include "game/vorak.h"

// Throws a std::string naming the move unless `body` (server notation, a non-empty "Move"
// body) names two cells of the board, the first holding a stack of the bot's opponent (of
// either colour while the bot's colour is unknown) and the second a stack. A move that passes
// converts and executes without any further error.
void check_server_move(Vorak const& game, std::string const& body);

#endif
