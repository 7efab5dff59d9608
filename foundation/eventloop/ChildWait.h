#pragma once
// Child-exit notification on the main loop. The SIGCHLD handler reaps every
// exited child and writes one 8-byte exit record (pid, wait status; host
// byte order) per child into a datagram socket pair; the loop reads the
// records and calls the waiter attached for that pid, once.
//
// The reaper is process-wide: once ChildWait::Activate() has run, every
// child of the process is reaped here, so nothing else may wait for one.

#include <cstddef>
#include <new>

#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/FList.h"
#include "foundation/os/Fd.h"

class ChildWait : public F_dual_list_item<ChildWait> {
public:
  class Handler {
  public:
    virtual ~Handler() = default;
    // The waiter and the child's raw wait status.
    virtual void Invoke(ChildWait& waiter, int status) = 0;
  };

  class DummyHandler : public Handler {
  public:
    void Invoke(ChildWait&, int) override {}
  };

  template <class T>
  class THandler1 : public Handler {
  public:
    using Action = void (T::*)(int status);
    THandler1(T* object, Action action) : mObject(object), mAction(action) {}
    void Invoke(ChildWait&, int status) override { (mObject->*mAction)(status); }

  private:
    T* mObject;
    Action mAction;
  };

  ChildWait();
  ChildWait(const ChildWait&) = delete;
  ChildWait& operator=(const ChildWait&) = delete;
  ~ChildWait();

  // Binding replaces the handler in place; no heap is used.
  template <class T>
  void Bind(T* object, void (T::*action)(int status));

  // Waits for that child (again, if it was waiting already).
  void Attach(int pid);
  void Detach();

  int pid() const { return mPid; }
  bool waiting() const;

  // Creates the socket pair and installs the SIGCHLD handler; main calls it
  // once, before the loop runs.
  static void Activate();

  // Counts the translation units that use ChildWait, so that the service
  // exists before any of them runs and outlives all of them.
  static void Initialize();
  static void Cleanup();
  static int UsageCounter;

private:
  friend class ChildWaitService;
  static constexpr std::size_t StorageSize = 64;

  void destroyHandler() { mHandler->~Handler(); }

  int mPid = 0;
  alignas(std::max_align_t) unsigned char mStorage[StorageSize];
  Handler* mHandler;
};

template <class T>
void ChildWait::Bind(T* object, void (T::*action)(int status)) {
  static_assert(sizeof(THandler1<T>) <= StorageSize, "handler does not fit its storage");
  destroyHandler();
  mHandler = new (mStorage) THandler1<T>(object, action);
}

// The process-wide reader of exit records.
class ChildWaitService : public Event {
public:
  static ChildWaitService* childWaitService;

  ChildWaitService();

  void OnChildEvent(int fd, short revents);
  // Signal context: reaps children and writes their records, never blocking.
  static void SigChldHandlerWrapper(int signo);

  Fd& writeEnd() { return mWriteEnd; }
  F_dual_list<ChildWait>& waiters() { return mWaiters; }

private:
  Fd mWriteEnd;
  F_dual_list<ChildWait> mWaiters;
};

class ChildWaitInit {
public:
  ChildWaitInit() {
    if (ChildWait::UsageCounter++ == 0) ChildWait::Initialize();
  }
  ~ChildWaitInit() {
    if (--ChildWait::UsageCounter == 0) ChildWait::Cleanup();
  }
  ChildWaitInit(const ChildWaitInit&) = delete;
  ChildWaitInit& operator=(const ChildWaitInit&) = delete;
};

static ChildWaitInit childWaitInit;
