// JSON read from outside the manager (a page's message, a record brought back from another
// machine) within bounds given by the reader, so that a hostile text costs no more than its
// bounds allow and nests no deeper than code that walks the value can follow.
#ifndef DRAVIX_MANAGER_BOUNDED_JSON_H
#define DRAVIX_MANAGER_BOUNDED_JSON_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "manager/record.h"

namespace manager {

struct JsonBounds {
  int depth = 32;          // arrays and objects open at once
  std::size_t values = 0;  // values in all
  std::size_t keys = 64;   // keys of one object
};

// Parses `text` within `bounds`. Returns nullopt with `error` set when it is not JSON or goes
// beyond them; the error quotes nothing of the text.
std::optional<Json> parse_bounded_json(std::string_view text, JsonBounds const& bounds,
                                       std::string& error);

}  // namespace manager

#endif
