// A record named on the command line (--open), read for the page to show from the start.
#ifndef DRAVIX_MANAGER_WEB_OPENED_RECORD_H
#define DRAVIX_MANAGER_WEB_OPENED_RECORD_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace manager {

struct OpenedRecord {
  std::string name;  // the file's name without its folder, as the page shows it
  std::shared_ptr<std::string const> text;
};

// The largest record the page is given: a hundred thousand games of a long series.
constexpr std::size_t MAX_OPENED_RECORD = std::size_t{64} << 20;

// Reads the record at `path`: a regular file of at most MAX_OPENED_RECORD bytes holding a JSON
// object with the "games" of a series, or one game (its "start"), nested no deeper than a record
// is. Returns nullopt with `error` set otherwise.
std::optional<OpenedRecord> open_record(std::string const& path, std::string& error);

// The answer to the page's request for it: {"name": ..., "record": ...}.
std::string opened_record_json(OpenedRecord const& record);

}  // namespace manager

#endif
