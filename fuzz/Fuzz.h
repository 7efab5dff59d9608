#pragma once
// What every fuzz target shares: the daemon's log streams silenced, a scratch
// SERVER_ROOT, a property check that stops the run with a report, and a watch
// on the heap one input takes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Fuzz {

// Once per process, before the first input: std::clog, std::cerr and
// std::cout go nowhere, SERVER_ROOT (when unset) names a fresh directory.
void setUp();

// Reports the property on standard error and aborts when it does not hold:
// libFuzzer keeps the input as a crash.
void expect(bool holds, const char* property);

// The heap bytes taken since construction, at their peak, counted on every
// allocation and release through the sanitizer's hooks.
class HeapWatch {
public:
  HeapWatch();
  std::size_t peak() const;
  // expect(), with the figures: the peak stays within base + perOctet * size.
  void within(std::size_t base, std::size_t perOctet, std::size_t size, const char* what) const;

private:
  std::size_t start_;
};

// The input octets as a string.
inline std::string text(const uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// An input read as a list of steps, taken from the front; zeros once it is used up.
class Steps {
public:
  Steps(const uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}
  bool more() const { return at_ != end_; }
  uint8_t octet() { return at_ != end_ ? *at_++ : 0; }
  uint16_t word() { return uint16_t(octet() << 8 | octet()); }
  std::string octets(std::size_t n) {
    n = std::min<std::size_t>(n, std::size_t(end_ - at_));
    std::string s(reinterpret_cast<const char*>(at_), n);
    at_ += n;
    return s;
  }

private:
  const uint8_t* at_;
  const uint8_t* end_;
};

}  // namespace Fuzz
