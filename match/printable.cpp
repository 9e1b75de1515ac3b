#include "match/printable.h"

#include <string>

namespace {

void append_hex_escape(std::string& out, unsigned char byte) {
  static constexpr char digits[] = "0123456789abcdef";
  out += "\\x";
  out += digits[byte >> 4];
  out += digits[byte & 0xF];
}

bool continuation(unsigned char c) {
  return c >= 0x80 && c <= 0xBF;
}

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates,
// nothing past U+10FFFF), or 0.
std::size_t sequence_length(std::string const& text, std::size_t at) {
  auto const byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  unsigned char const lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(byte(1)) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    unsigned char const low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return byte(1) >= low && byte(1) <= high && continuation(byte(2)) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    unsigned char const low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return byte(1) >= low && byte(1) <= high && continuation(byte(2)) && continuation(byte(3)) ? 4
                                                                                               : 0;
  }
  return 0;
}

// Characters that move the cursor, recolour, retitle or reorder what a terminal shows.
bool is_control(std::string const& text, std::size_t at, std::size_t length) {
  auto const byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (length == 1) return byte(0) < 0x20 || byte(0) == 0x7F;
  if (length == 2) return byte(0) == 0xC2 && byte(1) <= 0x9F;  // C1: U+0080 to U+009F
  if (length == 3 && byte(0) == 0xE2) {
    unsigned const code = (byte(1) << 8) | byte(2);
    return (code >= 0x80A8 && code <= 0x80AE)      // U+2028 to U+202E
           || (code >= 0x81A6 && code <= 0x81A9);  // U+2066 to U+2069
  }
  return false;
}

}  // namespace

std::string client_text(std::string const& text) {
  std::string out;
  out.reserve(text.size() < CLIENT_TEXT_LIMIT ? text.size() : CLIENT_TEXT_LIMIT);
  std::string piece;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = sequence_length(text, at);
    piece.clear();
    if (length == 0 || is_control(text, at, length)) {
      if (length == 0) length = 1;
      for (std::size_t i = 0; i < length; ++i)
        append_hex_escape(piece, static_cast<unsigned char>(text[at + i]));
    } else {
      piece.assign(text, at, length);
    }
    if (out.size() + piece.size() > CLIENT_TEXT_LIMIT)
      return out + "[cut: " + std::to_string(text.size()) + " bytes in all]";
    out += piece;
    at += length;
  }
  return out;
}

bool printable(std::string const& text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t const length = sequence_length(text, at);
    if (length == 0 || is_control(text, at, length)) return false;
    at += length;
  }
  return true;
}
