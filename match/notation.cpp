// Conversion between the internal move string and the server's notation, read as far as the
// conversions allow: a missing character or one that is not a digit throws bad_lexical_cast.
#include <string>

#include <boost/algorithm/string/erase.hpp>
#include <boost/lexical_cast.hpp>

#include "game/notation.h"
#include "game/vorak.h"

namespace {

unsigned short digit_at(std::string const& text, std::size_t pos) {
  return boost::lexical_cast<unsigned short>(pos < text.size() ? text.substr(pos, 1)
                                                               : std::string());
}

// The numbers of the first four characters; the rest of the text is ignored.
notation::Numbers first_four(std::string const& text) {
  return {digit_at(text, 0), digit_at(text, 1), digit_at(text, 2), digit_at(text, 3)};
}

}  // namespace

void Vorak::translate_move_to_cgm(std::string& move) const {
  if (move.empty()) return;
  move = notation::server_text(first_four(move));
}

void Vorak::translate_move_from_cgm(std::string& move) const {
  if (move.empty()) return;
  boost::algorithm::erase_all(move, ",");
  move = notation::internal_move(first_four(move));
}
