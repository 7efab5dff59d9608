#pragma once
// The daemon's one main loop. Each pass fires the due timers, runs the active
// deferred calls, rebuilds the poll set from the attached handlers, runs the
// deferred calls again, waits in poll() and serves every attached handler.
//
// A callback may attach, detach or destroy any handler, itself included, and
// arm or cancel any timer: the lists are intrusive and a handler being served
// sits on a list of its own. The global `multiplexer` is constant-initialised,
// so static objects of other files may use it at any time of start-up or exit.

#include <poll.h>

#include <atomic>
#include <iosfwd>

#include "foundation/eventloop/Dpc.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/EventHandler.h"
#include "foundation/eventloop/FList.h"
#include "foundation/eventloop/Measure.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/eventloop/TimerPoolPlugin.h"
#include "foundation/eventloop/Watchdog.h"

class Multiplexer {
public:
  // Told when a plug-in is unhooked while the plug-ins are being asked.
  class TimerPollNotify {
  public:
    virtual ~TimerPollNotify() = default;
    virtual void removeTimerPoolPlugin(TimerPoolPlugin* plugin) = 0;
  };

  using PollFunction = int (*)(pollfd* fds, nfds_t count, int timeout);

  constexpr Multiplexer() = default;
  Multiplexer(const Multiplexer&) = delete;
  Multiplexer& operator=(const Multiplexer&) = delete;
  ~Multiplexer();

  // Handlers. A duplicate attach or a detach of an unknown handler is
  // reported on standard error and changes nothing.
  void attach(EventHandler* handler);
  void detach(EventHandler* handler);
  bool event_exists(const EventHandler* handler) const;

  // The main loop, until terminate(). watchdog: drive the watchdog device;
  // liveClock: false caches the loop time once per pass.
  void run(bool watchdog, bool liveClock);
  // Safe from a signal handler. A request made before run() ends that run
  // before its first pass; dispatch stops before the next handler.
  void terminate() { terminate_ = true; }
  bool terminating() const { return terminate_; }
  void resetWD();

  // Timers.
  void set(TimerEvent* timer);
  void reset(TimerEvent* timer);
  bool armed(const TimerEvent* timer) const { return timers_.contains(timer); }
  // Fires the due timers, runs the deferred calls, and returns the
  // milliseconds to the first deadline (0: no timer armed).
  unsigned timers_schedule();
  unsigned timer_count() const { return unsigned(timers_.count()); }

  // Deferred calls.
  void attach(Dpc* dpc);
  void dettach(Dpc* dpc);
  void execute_dpc();

  // Timer plug-ins.
  void hook(TimerPoolPlugin* plugin);
  void unhook(TimerPoolPlugin* plugin);
  // The smallest non-negative plug-in wait, INT_MAX when there is none.
  int timerPoll_schedule();

  // The status dump: timing measurements, profiling points, named handlers.
  void dump(std::ostream& out) const;

  // Test seams: the poll() to wait with (null: the board's) and the
  // watchdog device.
  void set_poll(PollFunction poll) { poll_ = poll; }
  Watchdog& watchdog() { return watchdog_; }

private:
  class PollSet {
  public:
    constexpr PollSet() = default;
    PollSet(const PollSet&) = delete;
    PollSet& operator=(const PollSet&) = delete;
    ~PollSet();
    void resize(unsigned size);
    pollfd* data() const { return entries_; }
    unsigned size() const { return size_; }

  private:
    pollfd* entries_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
  };

  void pass(bool liveClock, uint32_t& lastPing);
  int waitTime();
  void rebuildPollSet();
  void dispatch();
  void rebaseTimers(uint32_t now);

  F_sorted_list<TimerEvent> timers_;
  F_dual_list<EventHandler> pending_;
  F_dual_list<EventHandler> dispatched_;
  F_dual_list<EventHandler> active_;
  PollSet pollSet_;
  F_dual_list<Dpc, DpcPendingTag> dpcPending_;
  F_dual_list<Dpc, DpcRunningTag> dpcRunning_;
  std::atomic<bool> terminate_{false};
  Measure dpcMeasure_;
  Measure eventMeasure_;
  Measure timerMeasure_;
  F_dual_list<TimerPoolPlugin> plugins_;
  TimerPollNotify* pollNotify_ = nullptr;
  Watchdog watchdog_;
  PollFunction poll_ = nullptr;
};

extern Multiplexer multiplexer;
