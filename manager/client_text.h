// Text that came from a client (a TCP seat's chat or move, a page's value), made safe to show
// on the console, in the record and on the page.
#ifndef DRAVIX_MANAGER_CLIENT_TEXT_H
#define DRAVIX_MANAGER_CLIENT_TEXT_H

#include <cstddef>
#include <string>

namespace manager {

// Longest client text shown, in bytes of the shown form (the mark of a cut comes on top).
constexpr std::size_t CLIENT_TEXT_LIMIT = 300;

// `text` as it may be quoted anywhere: valid UTF-8 stays as it is, but control characters (C0,
// DEL, C1, the line separators and the bidirectional overrides) and bytes that are not UTF-8
// are written as "\xNN" per byte, so that no client can drive a terminal or break the record's
// JSON; past CLIENT_TEXT_LIMIT it is cut with "[cut: N bytes in all]" after it.
std::string client_text(std::string const& text);

}  // namespace manager

#endif
