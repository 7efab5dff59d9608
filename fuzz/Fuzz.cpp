#include "fuzz/Fuzz.h"

#include <sanitizer/allocator_interface.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <iostream>

namespace Fuzz {

namespace {

class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return c == EOF ? 0 : c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The control thread of the simulated board allocates too: atomics.
std::atomic<std::size_t> live{0};
std::atomic<std::size_t> highest{0};

void onAllocate(const volatile void*, std::size_t size) {
  const std::size_t now = live.fetch_add(size, std::memory_order_relaxed) + size;
  std::size_t top = highest.load(std::memory_order_relaxed);
  while (now > top && !highest.compare_exchange_weak(top, now, std::memory_order_relaxed)) {
  }
}

void onRelease(const volatile void* block) {
  if (block) live.fetch_sub(__sanitizer_get_allocated_size(const_cast<const void*>(block)), std::memory_order_relaxed);
}

}  // namespace

void setUp() {
  static NullBuffer nowhere;
  std::clog.rdbuf(&nowhere);
  std::cerr.rdbuf(&nowhere);
  std::cout.rdbuf(&nowhere);
  if (!getenv("SERVER_ROOT")) {
    char root[] = "/tmp/gw-fuzz-XXXXXX";
    if (mkdtemp(root)) setenv("SERVER_ROOT", root, 1);
  }
  __sanitizer_install_malloc_and_free_hooks(onAllocate, onRelease);
}

void expect(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: property broken: %s\n", property);
  abort();
}

HeapWatch::HeapWatch() : start_(live.load(std::memory_order_relaxed)) {
  highest.store(start_, std::memory_order_relaxed);
}

std::size_t HeapWatch::peak() const {
  const std::size_t top = highest.load(std::memory_order_relaxed);
  return top > start_ ? top - start_ : 0;
}

void HeapWatch::within(std::size_t base, std::size_t perOctet, std::size_t size, const char* what) const {
  const std::size_t limit = base + perOctet * size;
  if (peak() <= limit) return;
  std::fprintf(stderr, "fuzz: %s took %zu heap octets for %zu input octets (limit %zu)\n", what, peak(), size, limit);
  abort();
}

}  // namespace Fuzz
