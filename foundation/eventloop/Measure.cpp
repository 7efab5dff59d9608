#include "foundation/eventloop/Measure.h"

#include <ostream>

#include "foundation/eventloop/Clock.h"

void Measure::begin() { start_ = Mux::microseconds(); }

uint32_t Measure::end() {
  uint32_t d = Mux::microseconds() - start_;
  if (first_) {
    min_ = max_ = d;
    counter_ = 1;
    first_ = false;
  } else {
    ++counter_;
    if (d < min_) min_ = d;
    if (d > max_) max_ = d;
  }
  last_ = d;
  return d;
}

void Measure::put(std::ostream& out) const {
  out << "min=" << min_ << " max=" << max_ << " avg=" << last_ << " counter=" << counter_;
}

std::ostream& operator<<(std::ostream& out, const Measure& m) {
  m.put(out);
  return out;
}
