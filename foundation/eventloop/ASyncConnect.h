#pragma once
// A non-blocking TCP connect with a time-out, completed on the main loop.
// The bound handler hears the outcome once per start: connected (with the
// socket), failed or timed out, or stopped.

#include <string>
#include <utility>

#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/os/Fd.h"

namespace ASync {

class Connect {
public:
  struct Status {
    enum Type { Idle = 0, Connecting = 1, Failed = 2, Connected = 3, Stopped = 4 };
  };

  class Handler {
  public:
    virtual ~Handler() = default;
    // The socket is valid only with Connected; it is closed when Invoke
    // returns, so a handler that keeps the connection duplicates it.
    virtual void Invoke(Status::Type status, Fd socket) = 0;
  };

  template <class T>
  class THandler : public Handler {
  public:
    using Action = void (T::*)(Status::Type status, Fd socket);
    THandler(Action action, T* object) : mAction(action), mObject(object) {}
    void Invoke(Status::Type status, Fd socket) override { (mObject->*mAction)(status, std::move(socket)); }

  private:
    Action mAction;
    T* mObject;
  };

  Connect() = default;
  Connect(const Connect&) = delete;
  Connect& operator=(const Connect&) = delete;
  ~Connect();

  // "a.b.c.d:port" and the time-out in milliseconds. An address that does
  // not parse, or has no port, fails at once.
  void Start(const std::string& address, unsigned timeoutMs);
  void Stop();
  void OnTimeOut(Timer*);

  // Binding deletes the handler bound before.
  void Bind(Handler* handler);
  template <class T>
  void Bind(typename THandler<T>::Action action, T* object) {
    Bind(new THandler<T>(action, object));
  }
  void UnBind() { Bind(nullptr); }

  Status::Type state() const { return mState; }

private:
  void OnSocketEvent(int fd, short revents);
  void complete(Status::Type status);

  Status::Type mState = Status::Idle;
  Fd mSocket;
  Event mEvent;
  Handler* mHandler = nullptr;
  Timer mTimer;
};

}  // namespace ASync
