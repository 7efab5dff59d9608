#pragma once
// A descriptor watched by the main loop, with the callback it runs. The Event
// owns its descriptor (its own duplicate of what it is given), the poll mask,
// a name shown in the status dump, and the bound callback object.

#include <string>

#include "foundation/eventloop/EventHandler.h"
#include "foundation/eventloop/Measure.h"
#include "foundation/os/Fd.h"

class Event : public EventHandler {
public:
  class Handler {
  public:
    virtual ~Handler() = default;
    // The descriptor and the returned events as poll() gave them.
    virtual void Invoke(int fd, short revents) = 0;
  };

  template <class T>
  class THandler : public Handler {
  public:
    using Action = void (T::*)(int fd, short revents);
    THandler(Action action, T* object) : action_(action), object_(object) {}
    void Invoke(int fd, short revents) override {
      if (action_) (object_->*action_)(fd, revents);
    }

  private:
    Action action_;
    T* object_;
  };

  Event() = default;
  ~Event() override;

  // Watches a duplicate of fd for the events (replacing an earlier schedule);
  // the caller keeps its own Fd. An invalid fd leaves the event detached.
  void Schedule(const Fd& fd, short events);
  // Stops watching and closes the descriptor; safe when inactive.
  void Release();

  // Binding deletes the handler bound before.
  void Bind(Handler* handler);
  template <class T>
  void Bind(const std::string& name, typename THandler<T>::Action action, T* object) {
    name_ = name;
    Bind(new THandler<T>(action, object));
  }
  void UnBind();

  // The owner may change the mask at any time; it counts from the next poll.
  short mask() const { return mask_; }
  void set_mask(short events) { mask_ = events; }

  const Fd& fd() const { return fd_; }
  const std::string& name() const { return name_; }
  void set_name(const std::string& name) { name_ = name; }
  Handler* handler() const { return handler_; }
  // Dispatches whose returned events met the mask.
  unsigned hits() const { return hits_; }
  const Measure& measure() const { return measure_; }

  void shedule_event(pollfd& entry) override;
  using EventHandler::svc_event;
  void svc_event(short revents) override;
  std::string event_name() const override;
  bool is_named() const override;

private:
  Handler* handler_ = nullptr;
  Fd fd_;
  short mask_ = 0;
  std::string name_ = "Unknown";
  unsigned hits_ = 0;
  // Shown in the status dump; the callback may destroy the Event, so the
  // dispatch itself is not timed into it.
  Measure measure_;
};
