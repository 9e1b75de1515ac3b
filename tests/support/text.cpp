#include "tests/support/text.h"

#include <fstream>
#include <sstream>

namespace support {

std::string read_file(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t count(std::string const& text, std::string const& part) {
  std::size_t n = 0;
  for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++n;
  return n;
}

bool contains(std::string const& text, std::string const& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace support
