// Aligned blocks, with huge pages asked for where the system has them.
#include "ai/tree/node_memory.h"

#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

}  // namespace

NodeMemory::NodeMemory(std::size_t bytes) {
  std::size_t const rounded = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
#ifdef _WIN32
  block_ = _aligned_malloc(rounded, HUGE_PAGE);
#else
  block_ = std::aligned_alloc(HUGE_PAGE, rounded);
#endif
  if (block_ == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
  // Advice only: without huge pages the block works the same, a little slower.
  madvise(block_, rounded, MADV_HUGEPAGE);
#endif
}

NodeMemory::~NodeMemory() {
#ifdef _WIN32
  _aligned_free(block_);
#else
  std::free(block_);
#endif
}
