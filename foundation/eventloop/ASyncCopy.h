#pragma once
// A byte pump from one descriptor to another, driven by the main loop: it
// reads into one buffer and writes as soon as data is there, waiting in
// poll() only when either side would block. After the source ends, the
// buffered data is written and, when a flush mask is set, the copy ends once
// the destination reports it.

#include <poll.h>

#include <cstddef>
#include <memory>

#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"

namespace ASync {

class Copy {
public:
  struct Status {
    enum Type { Idle = 0, Copying = 1, SourceEnded = 2, Flushing = 3, Failed = 4, Done = 5, Aborted = 6 };
  };

  // Poll masks: source, destination, and the destination's "all written" mask.
  struct EventsParams {
    short source = POLLIN;
    short destination = POLLOUT;
    short flush = POLLWRNORM;
  };

  class Handler {
  public:
    virtual ~Handler() = default;
    virtual void Invoke(Status::Type status) = 0;
  };

  template <class T>
  class THandler : public Handler {
  public:
    using Action = void (T::*)(Status::Type status);
    THandler(Action action, T* object) : mAction(action), mObject(object) {}
    void Invoke(Status::Type status) override { (mObject->*mAction)(status); }

  private:
    Action mAction;
    T* mObject;
  };

  Copy() = default;
  Copy(const Copy&) = delete;
  Copy& operator=(const Copy&) = delete;
  ~Copy();

  // Starts copying at once (a new start begins again from any state); 0.
  int Start(Fd source, Fd destination);
  // While copying: ends the source side; buffered data is still written.
  void Stop();
  // Both abort an active copy (status Aborted).
  void set_events(const EventsParams& masks);
  void set_bufsize(unsigned size);

  // Binding deletes the handler bound before.
  void Bind(Handler* handler);
  template <class T>
  void Bind(typename THandler<T>::Action action, T* object) {
    Bind(new THandler<T>(action, object));
  }
  void UnBind() { Bind(nullptr); }

  Status::Type state() const { return mState; }
  // errno of the failed write, 0 for a hang-up or a write of nothing.
  int error() const { return mError; }
  unsigned total() const { return mTotal; }

private:
  enum class Step { SrcReady, DstReady, NotReady };

  bool active() const;
  void progress();
  bool srcReady();
  bool dstReady();
  bool goFlush();
  bool goFlushDst();
  void goReading();
  void complete(Status::Type status);
  void OnSrcEvent(int fd, short revents);
  void OnDstEvent(int fd, short revents);

  Fd mSource;
  Fd mDestination;
  EventsParams mMasks;
  unsigned mBufSize = 1024;
  int mError = 0;
  Step mStep = Step::NotReady;
  Handler* mHandler = nullptr;
  Event mSrcEvent;
  Event mDstEvent;
  unsigned mTotal = 0;
  std::size_t mWritePos = 0;
  std::size_t mDataEnd = 0;
  Status::Type mState = Status::Idle;
  std::unique_ptr<char[]> mBuffer;
};

}  // namespace ASync
