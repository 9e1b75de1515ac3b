// Texts a test reads back: files, and what stands in a program's output.
#ifndef DRAVIX_TESTS_SUPPORT_TEXT_H
#define DRAVIX_TESTS_SUPPORT_TEXT_H

#include <cstddef>
#include <string>

namespace support {

// A whole file, "" when it cannot be read.
std::string read_file(std::string const& path);

// How often `part` stands in `text`, overlaps counted.
std::size_t count(std::string const& text, std::string const& part);
bool contains(std::string const& text, std::string const& part);

}  // namespace support

#endif
