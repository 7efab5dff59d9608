// Recycled storage for value objects and their small containers.
//
// A decoded message is a tree with one object per field; decoding the next
// message of the same shape takes its nodes back from per-size free lists
// instead of the heap. Blocks above the largest size class, and every block
// under AddressSanitizer (so it still sees use after free), go to the heap.
// The pool serves one thread, as the daemon has.
#pragma once

#include <cstddef>

namespace ASN1 {
namespace detail {

void* poolAllocate(std::size_t size);
void poolRelease(void* block, std::size_t size) noexcept;

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
bool operator==(const PoolAllocator<T>&, const PoolAllocator<U>&) noexcept { return true; }
template <class T, class U>
bool operator!=(const PoolAllocator<T>&, const PoolAllocator<U>&) noexcept { return false; }

} // namespace detail
} // namespace ASN1
