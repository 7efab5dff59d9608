#pragma once
// A counted handle on a heap object that carries its own reference count
// (an `unsigned& counter()`). The object is deleted when the last handle
// lets go. A null handle dereferenced where an object is required ends the
// process: that is a programming error, never an input error.

#include <utility>

[[noreturn]] void SmartPtrAssertion();
[[noreturn]] void SharedPtrAssertion();

template <class T>
class Smart_pointer {
public:
  Smart_pointer(T* p = nullptr) : p_(p) {
    if (p_) ++p_->counter();
  }
  Smart_pointer(const Smart_pointer& other) : Smart_pointer(other.p_) {}
  Smart_pointer& operator=(const Smart_pointer& other) {
    // The new reference is taken before the old one goes, so assigning a
    // handle its own object never frees it.
    Smart_pointer keep(other);
    std::swap(p_, keep.p_);
    return *this;
  }
  ~Smart_pointer() { release(); }

  T* operator->() const {
    if (!p_) SmartPtrAssertion();
    return p_;
  }
  T& operator*() const { return *operator->(); }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void release() {
    if (p_ && p_->counter() != 0 && --p_->counter() == 0) delete p_;
    p_ = nullptr;
  }

private:
  T* p_;
};
