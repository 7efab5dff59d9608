#include "bench/asn1/AllocationCount.h"

#include <cstdlib>
#include <new>

namespace {

unsigned long long count = 0;

}  // namespace

unsigned long long Bench::allocations() { return count; }

// The replacement pair: GCC takes free() of a pointer from operator new for
// a mismatch even when both are replaced together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  ++count;
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

#pragma GCC diagnostic pop
