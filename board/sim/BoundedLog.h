#pragma once
// A log of what a model was given, oldest first, that keeps only the latest
// entries: a daemon may run for days. It counts what fell off the front.

#include <cstddef>
#include <cstdint>
#include <deque>

namespace Board {
namespace Sim {

template <class T>
class BoundedLog {
public:
  explicit BoundedLog(size_t limit) : limit_(limit) {}

  void add(T entry) {
    if (entries_.size() == limit_) {
      entries_.pop_front();
      ++dropped_;
    }
    entries_.push_back(std::move(entry));
  }
  void clear() {
    entries_.clear();
    dropped_ = 0;
  }

  uint64_t dropped() const { return dropped_; }
  const std::deque<T>& entries() const { return entries_; }
  typename std::deque<T>::const_iterator begin() const { return entries_.begin(); }
  typename std::deque<T>::const_iterator end() const { return entries_.end(); }
  const T& back() const { return entries_.back(); }

private:
  size_t limit_;
  std::deque<T> entries_;
  uint64_t dropped_ = 0;
};

}  // namespace Sim
}  // namespace Board
