#pragma once
// A party of the main loop's poll set. The loop asks each attached handler to
// fill its poll entry, and after poll() serves every attached handler with the
// events returned for it (0 when nothing happened on it).

#include <poll.h>

#include <string>

#include "foundation/eventloop/FList.h"

class Multiplexer;

class EventHandler : public F_dual_list_item<EventHandler> {
public:
  EventHandler() = default;
  EventHandler(const EventHandler&) = delete;
  EventHandler& operator=(const EventHandler&) = delete;
  // Does not detach: a concrete handler detaches itself in its own destructor.
  virtual ~EventHandler() = default;

  virtual void shedule_event(pollfd& entry) = 0;
  virtual void svc_event(short revents) = 0;
  virtual std::string event_name() const;
  virtual bool is_named() const;

  // Attach and detach guarded by the attached flag.
  void mux_attach();
  void mux_detach();
  // Serves the events the loop stored for this handler.
  void svc_event();

  bool attached() const { return attached_; }
  short revents() const { return revents_; }

private:
  friend class Multiplexer;
  bool attached_ = false;
  short revents_ = 0;
  // Position in the poll set of the current pass.
  unsigned pollIndex_ = 0;
};

// The names of the set poll bits joined by "|" ("POLLIN|POLLOUT"); "" for 0.
std::string PollEventAsText(short events);
