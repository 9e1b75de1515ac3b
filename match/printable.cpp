#include "match/printable.h"

void append_hex_escape(std::string& out, unsigned char byte) {
  static constexpr char digits[] = "0123456789abcdef";
  out += "\\x";
  out += digits[byte >> 4];
  out += digits[byte & 0xF];
}

std::string escape_controls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto const byte = static_cast<unsigned char>(text[i]);
    if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F) {
      append_hex_escape(out, byte);
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080 to U+009F: some terminals obey these as controls (CSI is U+009B).
      append_hex_escape(out, byte);
      append_hex_escape(out, static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string quote_excerpt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return escape_controls(text);
  return escape_controls(text.substr(0, limit)) + "... (" + std::to_string(text.size() - limit) +
         " more bytes)";
}
