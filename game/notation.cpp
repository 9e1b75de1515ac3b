#include "game/notation.h"

#include <string>

#include "game/geometry.h"

namespace notation {

std::optional<Numbers> read_digits(std::string_view digits) {
  if (digits.size() != 4) return std::nullopt;
  Numbers numbers{};
  for (std::size_t i = 0; i < 4; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
    numbers[i] = static_cast<unsigned short>(digits[i] - '0');
  }
  return numbers;
}

bool names_two_cells(Numbers const& server) {
  for (std::size_t i = 0; i < 4; i += 2)
    if (server[i] >= geometry::SIZE || server[i + 1] >= geometry::row_length(server[i]))
      return false;
  return true;
}

std::string internal_move(Numbers const& server) {
  auto const column = [&server](std::size_t i) {
    return std::to_string(
        static_cast<unsigned short>(geometry::column_in_row(server[i], server[i + 1])));
  };
  return std::to_string(server[0]) + column(0) + std::to_string(server[2]) + column(2);
}

std::string server_text(Numbers const& internal) {
  auto const index = [&internal](std::size_t i) {
    return std::to_string(
        static_cast<unsigned short>(geometry::index_in_row(internal[i], internal[i + 1])));
  };
  return std::to_string(internal[0]) + "," + index(0) + "," + std::to_string(internal[2]) + "," +
         index(2);
}

}  // namespace notation

std::optional<std::string> parse_server_move(std::string_view text) {
  if (text.empty()) return std::string();
  if (text.size() != 7 || text[1] != ',' || text[3] != ',' || text[5] != ',') return std::nullopt;
  char const digits[] = {text[0], text[2], text[4], text[6]};
  std::optional<notation::Numbers> const numbers =
      notation::read_digits(std::string_view(digits, sizeof digits));
  if (!numbers || !notation::names_two_cells(*numbers)) return std::nullopt;
  return notation::internal_move(*numbers);
}

std::optional<std::string> to_server_notation(std::string_view internal) {
  if (internal.empty()) return std::string();
  std::optional<notation::Numbers> const numbers = notation::read_digits(internal);
  if (!numbers || !geometry::is_playable((*numbers)[0], (*numbers)[1]) ||
      !geometry::is_playable((*numbers)[2], (*numbers)[3]))
    return std::nullopt;
  return notation::server_text(*numbers);
}
