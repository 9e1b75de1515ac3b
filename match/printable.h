// Text received from a peer, made safe to show on a terminal.
#ifndef DRAVIX_MATCH_PRINTABLE_H
#define DRAVIX_MATCH_PRINTABLE_H

#include <cstddef>
#include <string>
#include <string_view>

// Appends `byte` as "\xNN", two lower-case hexadecimal digits.
void append_hex_escape(std::string& out, unsigned char byte);

// `text` with every control character but tab, carriage return and line feed written as \xNN
// (C1 controls in UTF-8 too, and DEL), so that a peer cannot retitle, clear or recolour the
// terminal. Everything else is kept byte for byte.
std::string escape_controls(std::string_view text);

// escape_controls of at most the first `limit` bytes of `text`, followed by a mark of how much
// was left out when it was longer: for quoting a peer's text inside one of our own messages.
std::string quote_excerpt(std::string_view text, std::size_t limit = 200);

#endif
