#pragma once
// A bounded ring of packets whose capacity is fixed by the type. It never
// allocates; a queued packet keeps its pool buffer busy until taken out.

#include "foundation/packet/Packet.h"

template <class P, unsigned N>
class CleanQueue {
  static_assert(N > 0, "a queue holds at least one packet");

public:
  CleanQueue() = default;
  CleanQueue(const CleanQueue&) = delete;
  CleanQueue& operator=(const CleanQueue&) = delete;
  ~CleanQueue() {
    for (unsigned i = N; i-- > 0;) slots_[i].release();
  }

  // At the back; false when full.
  bool put(const P& p) {
    if (count_ >= N) return false;
    ++count_;
    slots_[tail_] = p;
    tail_ = inc_index(tail_);
    return true;
  }
  // At the front, so it is the next one get returns; false when full.
  bool append(const P& p) {
    if (count_ >= N) return false;
    head_ = head_ == 0 ? N - 1 : head_ - 1;
    slots_[head_] = p;
    ++count_;
    return true;
  }
  // The oldest packet; false when empty (the destination is untouched).
  bool get(P* p) { return p ? get(*p) : false; }
  bool get(P& p) {
    if (count_ == 0) return false;
    p = slots_[head_];
    slots_[head_].release();
    --count_;
    head_ = inc_index(head_);
    return true;
  }
  // The most recently put packet; false when empty.
  bool get_last(P* p) {
    if (count_ == 0) return false;
    tail_ = tail_ == 0 ? N - 1 : tail_ - 1;
    if (p) *p = slots_[tail_];
    slots_[tail_].release();
    --count_;
    return true;
  }
  // A further reference to the oldest packet, which stays queued. With a
  // null destination, only whether there is one.
  bool preview(P* p) const {
    if (count_ == 0) return false;
    if (p) *p = slots_[head_];
    return true;
  }
  // Empties the queue and lets its packets go back to the pool.
  void clear() {
    for (unsigned i = 0; i < N; ++i) slots_[i].release();
    head_ = tail_ = count_ = 0;
  }

  unsigned count() const { return count_; }
  unsigned size() const { return N; }
  bool empty() const { return count_ == 0; }
  static unsigned inc_index(unsigned i) { return i < N - 1 ? i + 1 : 0; }

private:
  P slots_[N];
  unsigned head_ = 0;
  unsigned tail_ = 0;
  unsigned count_ = 0;
};
