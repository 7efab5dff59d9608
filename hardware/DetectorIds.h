#pragma once
// The ids a receiver service hands the driver with each detector enable.
// An event carrying an older id than its receiver's was queued before the
// last enable and is stale. 0 is never given out: it is a receiver's id
// before its first enable.

#include <cstdint>

namespace Hardware {

class DetectorIds {
public:
  // The next id; advances even when the request it is for then fails.
  uint32_t next() {
    if (++last_ == 0) ++last_;
    return last_;
  }
  uint32_t last() const { return last_; }
  // Makes `last` the most recent id given out (tests reach the wrap this way).
  void restart(uint32_t last) { last_ = last; }

private:
  uint32_t last_ = 0;
};

}  // namespace Hardware
