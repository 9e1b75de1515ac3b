// The one block of memory a node store keeps its nodes in.
#ifndef DRAVIX_AI_TREE_NODE_MEMORY_H
#define DRAVIX_AI_TREE_NODE_MEMORY_H

#include <cstddef>
#include <memory>

// `count` objects of the trivial type T, left uninitialised, so that a page costs nothing
// until the tree grows into it. The block is aligned to 2 MiB and offered to the system for
// huge pages where it has them: a descent reads nodes scattered over hundreds of megabytes, and
// with small pages most of its reads would miss the address cache.
class NodeMemory {
 public:
  explicit NodeMemory(std::size_t bytes);  // throws std::bad_alloc
  ~NodeMemory();
  NodeMemory(NodeMemory const&) = delete;
  NodeMemory& operator=(NodeMemory const&) = delete;

  template <class T>
  T* objects(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>, "nothing is destroyed");
    return std::uninitialized_default_construct_n(static_cast<T*>(block_), count),
           static_cast<T*>(block_);
  }

 private:
  void* block_;
};

#endif
