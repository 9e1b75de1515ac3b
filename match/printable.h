// Text received from a peer (a server's message shown by the bot, a client's chat or move shown
// by the manager), made safe to show on a terminal, in a record and on a page.
#ifndef DRAVIX_MATCH_PRINTABLE_H
#define DRAVIX_MATCH_PRINTABLE_H

#include <cstddef>
#include <string>

// Longest peer text shown, in bytes of the shown form (the mark of a cut comes on top).
constexpr std::size_t CLIENT_TEXT_LIMIT = 300;

// `text` as it may be quoted anywhere: valid UTF-8 stays as it is, but control characters (C0
// with tab and carriage return, DEL, C1, the line separators and the bidirectional overrides)
// and bytes that are not UTF-8 are written as "\xNN" per byte, so that no peer can drive a
// terminal, forge a line of the console or break a JSON record; past CLIENT_TEXT_LIMIT it is
// cut with "[cut: N bytes in all]" after it, so that no peer can fill a log either.
std::string client_text(std::string const& text);

// True when `text` is valid UTF-8 without any of the characters that client_text escapes: text
// that may be shown as it is, whatever its length.
bool printable(std::string const& text);

#endif
