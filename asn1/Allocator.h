// Recycled storage for value objects and their small containers.
//
// A decoded message is a tree with one object per field; decoding the next
// message of the same shape takes its nodes back from per-size free lists
// instead of the heap. Blocks above the largest size class, and every block
// under AddressSanitizer (so it still sees use after free), go to the heap.
// The pool serves one thread, as the daemon has. Taking and giving back a
// block are inline: a decode does one of each per field.
#pragma once

#include <cstddef>

// GCC names AddressSanitizer by a macro, clang by a feature test.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GW_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef GW_HAS_ADDRESS_SANITIZER
#define GW_HAS_ADDRESS_SANITIZER 0
#endif

namespace ASN1 {
namespace detail {

class Pool {
public:
#if defined(__SANITIZE_ADDRESS__) || GW_HAS_ADDRESS_SANITIZER
  static constexpr bool enabled = false;
#else
  static constexpr bool enabled = true;
#endif

  void* take(std::size_t size) {
    std::size_t cls = sizeClass(size);
    if (enabled && cls < classCount) {
      List& list = lists_[cls];
      if (FreeBlock* block = list.head) {
        list.head = block->next;
        --list.count;
        return block;
      }
    }
    return fromHeap(size);
  }

  void give(void* block, std::size_t size) noexcept {
    if (!block) return;
    std::size_t cls = sizeClass(size);
    if (enabled && cls < classCount && lists_[cls].count < maxFreeBlocks) {
      List& list = lists_[cls];
      auto* freed = static_cast<FreeBlock*>(block);
      freed->next = list.head;
      list.head = freed;
      ++list.count;
      return;
    }
    ::operator delete(block);
  }

private:
  static constexpr std::size_t granule = 16;
  static constexpr std::size_t classCount = 128;  // blocks up to 2048 bytes
  // A list never keeps more than this many blocks, so one huge message
  // does not pin its peak memory for ever.
  static constexpr unsigned maxFreeBlocks = 4096;

  struct FreeBlock {
    FreeBlock* next;
  };
  struct List {
    FreeBlock* head = nullptr;
    unsigned count = 0;
  };

  // Size 0 wraps to a class beyond the pool and goes to the heap.
  static std::size_t sizeClass(std::size_t size) { return (size - 1) / granule; }
  // A new block, sized to its whole class when pooled, so any size of the
  // class can reuse it.
  static void* fromHeap(std::size_t size);

  List lists_[classCount];
};

// Never destroyed: values in static objects are freed after every other
// destructor ran, and the blocks go back to the system with the process.
extern Pool pool;

inline void* poolAllocate(std::size_t size) { return pool.take(size); }
inline void poolRelease(void* block, std::size_t size) noexcept { pool.give(block, size); }

// Allocation hook mixed into every value class: class-specific new/delete
// through the pool. The size the compiler passes to delete is that of the
// dynamic type, so generated subclasses share their base's size class.
template <class T>
struct Allocator {
  static void* operator new(std::size_t size) { return poolAllocate(size); }
  static void operator delete(void* block, std::size_t size) noexcept { poolRelease(block, size); }
};

// Standard allocator over the pool, for the containers inside values.
template <class T>
struct PoolAllocator {
  using value_type = T;
  PoolAllocator() noexcept = default;
  template <class U>
  PoolAllocator(const PoolAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(poolAllocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { poolRelease(p, n * sizeof(T)); }
};

template <class T, class U>
bool operator==(const PoolAllocator<T>&, const PoolAllocator<U>&) noexcept {
  return true;
}
template <class T, class U>
bool operator!=(const PoolAllocator<T>&, const PoolAllocator<U>&) noexcept {
  return false;
}

}  // namespace detail
}  // namespace ASN1
