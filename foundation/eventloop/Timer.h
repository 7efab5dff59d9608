#pragma once
// One-shot timers on the main loop, in milliseconds of the loop clock.
//
// A Timer is a member of its owner and holds at most one armed event; arming
// it again replaces (and so cancels) the previous event, and destroying it
// cancels what it holds. An event that fires first leaves its Timer empty,
// then calls the owner, then deletes itself: the callback may re-arm the same
// Timer or destroy its owner.

#include <cstdint>
#include <memory>
#include <type_traits>

#include "foundation/eventloop/FList.h"

class TimerEvent : public F_dual_list_item<TimerEvent> {
public:
  TimerEvent() = default;
  TimerEvent(const TimerEvent&) = delete;
  TimerEvent& operator=(const TimerEvent&) = delete;
  // Unschedules.
  virtual ~TimerEvent();

  virtual void fire() = 0;

  // Arms the event ms milliseconds from now (re-arming moves it).
  void schedule(unsigned ms);
  void reset();
  // This deadline minus the other's, as a signed 32-bit difference.
  int32_t compare(const TimerEvent* other) const { return int32_t(deadline_ - other->deadline_); }
  uint32_t deadline() const { return deadline_; }
  bool armed() const;

private:
  friend class Multiplexer;
  uint32_t deadline_ = 0;
};

class Timer {
public:
  Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer() = default;

  template <class T>
  void set(unsigned ms, void (T::*action)(Timer*), T* object);
  template <class T>
  void set(unsigned ms, void (T::*action)(), T* object);

  // Cancels and deletes the held event.
  void reset() { event_.reset(); }
  bool active() const { return event_ != nullptr; }
  explicit operator bool() const { return active(); }
  TimerEvent* get() const { return event_.get(); }

  // For the events themselves: take the event out without deleting it.
  TimerEvent* release() { return event_.release(); }
  // Holds a newly armed event and deletes the one held before.
  void hold(TimerEvent* event) { event_.reset(event); }

private:
  std::unique_ptr<TimerEvent> event_;
};

// The event Timer::set arms: it empties its timer first, so the action may
// re-arm it, then calls the action (with the timer when it takes one).
template <class T, class Action>
class ObjTimerEvent : public TimerEvent {
public:
  ObjTimerEvent(Timer* owner, Action action, T* object, unsigned ms) : owner_(owner), action_(action), object_(object) {
    schedule(ms);
  }
  void fire() override {
    Timer* owner = owner_;
    owner->release();
    if constexpr (std::is_invocable_v<Action, T*, Timer*>)
      (object_->*action_)(owner);
    else
      (object_->*action_)();
    delete this;
  }

private:
  Timer* owner_;
  Action action_;
  T* object_;
};

template <class T>
void Timer::set(unsigned ms, void (T::*action)(Timer*), T* object) {
  hold(new ObjTimerEvent<T, void (T::*)(Timer*)>(this, action, object, ms));
}

template <class T>
void Timer::set(unsigned ms, void (T::*action)(), T* object) {
  hold(new ObjTimerEvent<T, void (T::*)()>(this, action, object, ms));
}

// A Timer whose action and delay come from a static record of the owner:
//   static constexpr TimerSpec<Slot>::Spec TUpdatespec = {&Slot::OnUpdateTimer, 3000};
//   TimerSpec<Slot>::SpecTimer<TUpdatespec> updateTimer;   ...   updateTimer.set(this);
template <class T>
struct TimerSpec {
  struct Spec {
    void (T::*action)();
    unsigned delay;
  };

  template <const Spec& spec>
  class SpecTimer : public Timer {
  public:
    void set(T* object) { Timer::set(spec.delay, spec.action, object); }
  };
};
