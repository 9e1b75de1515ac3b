// The server's move notation, "sr,si,tr,ti": four single digits naming each cell by its row and
// its index among the playable cells of that row, where the internal move string ("3435") names
// it by row and column. The empty text is the pass in both.
#ifndef DRAVIX_GAME_NOTATION_H
#define DRAVIX_GAME_NOTATION_H

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace notation {

// Source row, source column or index, target row, target column or index.
using Numbers = std::array<unsigned short, 4>;

// The numbers of `digits` when it is exactly four decimal digits: an internal move, or a server
// move with its commas taken out.
std::optional<Numbers> read_digits(std::string_view digits);

// True when server numbers name two cells of the board: each row below 9 and each index below
// the length of its row.
bool names_two_cells(Numbers const& server);

// The conversions themselves, checking nothing: a cell off the board goes through the same
// unsigned 16-bit arithmetic and comes out as numbers that name no cell.
std::string internal_move(Numbers const& server);  // "3435"
std::string server_text(Numbers const& internal);  // "3,4,3,5"

}  // namespace notation

// The internal move of a server move written exactly "sr,si,tr,ti" and naming two cells of the
// board; the empty text is the pass. Anything else, however close, is nullopt: the text may come
// from any client and must never reach a conversion that could throw or index off the board.
std::optional<std::string> parse_server_move(std::string_view text);
// The server notation of an internal move string that names two playable cells, "" for the
// pass; nullopt for anything else.
std::optional<std::string> to_server_notation(std::string_view internal);

#endif
