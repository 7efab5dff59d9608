#pragma once
// Deferred calls: while active, a Dpc's handler runs on every pass of the
// main loop, twice (after the due timers and right before poll()), in the
// ascending order of the Dpc objects' addresses.

#include "foundation/eventloop/FList.h"

class DpcHandler {
public:
  virtual void Invoke() = 0;
  virtual ~DpcHandler() = default;
};

class DpcHandler1 : public DpcHandler {
public:
  explicit DpcHandler1(void (*function)()) : function_(function) {}
  void Invoke() override { function_(); }

private:
  void (*function_)();
};

template <class T>
class TDpcHandler : public DpcHandler {
public:
  using Action = void (T::*)();
  TDpcHandler(T* object, Action action) : object_(object), action_(action) {}
  void Invoke() override { (object_->*action_)(); }

private:
  T* object_;
  Action action_;
};

struct DpcPendingTag;
struct DpcRunningTag;

class Dpc : public F_dual_list_item<Dpc, DpcPendingTag>, public F_dual_list_item<Dpc, DpcRunningTag> {
public:
  Dpc() = default;
  Dpc(const Dpc&) = delete;
  Dpc& operator=(const Dpc&) = delete;
  // Deactivates and deletes the handler.
  ~Dpc();

  // Binding deletes the handler bound before.
  void Bind(DpcHandler* handler);
  template <class T>
  void Bind(T* object, void (T::*action)()) {
    Bind(new TDpcHandler<T>(object, action));
  }

  // Activating an active call, or deactivating an inactive one, changes nothing.
  void Activate();
  void Deactivate();

  bool active() const { return active_; }
  DpcHandler* handler() const { return handler_; }

private:
  DpcHandler* handler_ = nullptr;
  bool active_ = false;
};
