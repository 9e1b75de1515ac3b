#include "ai/searcher.h"

#include <iostream>
#include <streambuf>

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

}  // namespace

// For now the program-wide tables and engine serve every searcher.
struct Searcher::Tables {};

Searcher::Searcher(std::uint32_t) : tables_(std::make_unique<Tables>()) {}
Searcher::~Searcher() = default;

std::string Searcher::choose(Vorak& position, SearchSettings const& settings) {
  NullBuffer null;
  std::streambuf* const saved = settings.report ? nullptr : std::cout.rdbuf(&null);
  std::string move = position.monte_carlo();
  if (saved != nullptr) std::cout.rdbuf(saved);
  return move;
}
