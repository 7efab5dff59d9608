#pragma once
// A sequence number counted modulo Mask + 1 (Mask is 2^k - 1), with the
// window test that acknowledgement handling needs: a <= b <= c is true when
// b lies in the window that runs forward from a to c, both ends included.

template <class T, T Mask>
class Cyclic {
public:
  class LessEqPair {
  public:
    LessEqPair(Cyclic a, Cyclic b) : a_(a), b_(b) {}
    bool operator<=(Cyclic c) const { return T(c - a_) >= T(b_ - a_); }

  private:
    Cyclic a_;
    Cyclic b_;
  };

  Cyclic() = default;
  Cyclic(T v) : v_(v & Mask) {}
  operator T() const { return v_; }

  Cyclic& operator++() {
    v_ = (v_ + 1) & Mask;
    return *this;
  }
  Cyclic operator++(int) {
    Cyclic old = *this;
    ++*this;
    return old;
  }
  Cyclic& operator--() {
    v_ = (v_ - 1) & Mask;
    return *this;
  }
  Cyclic operator+(const Cyclic& b) const { return Cyclic(v_ + b.v_); }
  Cyclic operator-(const Cyclic& b) const { return Cyclic(v_ - b.v_); }
  LessEqPair operator<=(Cyclic b) const { return LessEqPair(*this, b); }

private:
  T v_ = 0;
};
