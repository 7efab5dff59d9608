#pragma once
// Duration statistics of a repeated piece of work, in microseconds of the
// loop clock (differences wrap correctly across the clock's 32-bit wrap).

#include <cstdint>
#include <iosfwd>

class Measure {
public:
  constexpr Measure() = default;

  void begin();
  // Ends the sample begun last and returns its duration.
  uint32_t end();
  // "min=.. max=.. avg=.. counter=..": avg shows the latest sample.
  void put(std::ostream& out) const;

  uint32_t min() const { return min_; }
  uint32_t max() const { return max_; }
  uint32_t last() const { return last_; }
  uint32_t counter() const { return counter_; }

private:
  uint32_t min_ = 0;
  uint32_t max_ = 0;
  uint32_t last_ = 0;
  bool first_ = true;
  uint32_t start_ = 0;
  uint32_t counter_ = 0;
};

std::ostream& operator<<(std::ostream& out, const Measure& m);
