#include "foundation/eventloop/Multiplexer.h"

#include <errno.h>
#include <string.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "board/Board.h"
#include "foundation/eventloop/Clock.h"

Multiplexer multiplexer;

namespace {
// Deadlines further ahead than two hours mean a clock error.
constexpr uint32_t kMaxWait = 7200000;
constexpr uint32_t kRebaseDelay = 1000;
constexpr int kWatchdogPeriod = 1000;
}  // namespace

Multiplexer::PollSet::~PollSet() {
  free(entries_);
  entries_ = nullptr;
  size_ = capacity_ = 0;
}

void Multiplexer::PollSet::resize(unsigned size) {
  if (size > capacity_) {
    unsigned capacity = capacity_ ? capacity_ : 16;
    while (capacity < size) capacity *= 2;
    void* grown = realloc(entries_, capacity * sizeof(pollfd));
    if (!grown) {
      std::cerr << "multiplexer: poll set of " << size << " entries: " << strerror(ENOMEM) << std::endl;
      abort();
    }
    entries_ = static_cast<pollfd*>(grown);
    capacity_ = capacity;
  }
  size_ = size;
}

Multiplexer::~Multiplexer() {
  // Objects of other files may outlive the loop and unlink themselves from
  // it: leave the lists empty, not dangling.
  timers_.clear();
  // A handler detaching itself later must find itself already detached.
  for (F_dual_list<EventHandler>* list : {&pending_, &dispatched_, &active_})
    while (EventHandler* handler = list->remove_from_head()) handler->attached_ = false;
  dpcPending_.clear();
  dpcRunning_.clear();
  plugins_.clear();
}

void Multiplexer::attach(EventHandler* handler) {
  if (event_exists(handler)) {
    std::cerr << "duplicate multiplexer attach " << std::flush;
    std::cerr << '"' << handler->event_name() << "\" ignored." << std::endl;
    return;
  }
  pending_.push_back(handler);
}

void Multiplexer::detach(EventHandler* handler) {
  if (pending_.remove(handler) || dispatched_.remove(handler) || active_.remove(handler)) return;
  std::cerr << "indvalid Multiplexer::detach " << std::flush;
  std::cerr << handler->event_name() << std::endl;
}

bool Multiplexer::event_exists(const EventHandler* handler) const {
  return pending_.contains(handler) || dispatched_.contains(handler) || active_.contains(handler);
}

void Multiplexer::resetWD() { watchdog_.ping(); }

void Multiplexer::run(bool watchdog, bool liveClock) {
  if (watchdog) watchdog_.start();
  if (!liveClock) Mux::mux_settimeofday();
  uint32_t lastPing = 0;
  while (!terminate_) pass(liveClock, lastPing);
  std::clog << "Mux: terminating..." << std::endl;
  watchdog_.stop();
  if (!liveClock) Mux::mux_cleartimeofday();
  terminate_ = false;
}

void Multiplexer::pass(bool liveClock, uint32_t& lastPing) {
  int timeout = waitTime();
  active_.splice_back(pending_);
  rebuildPollSet();
  if (watchdog_.isOpen() && (timeout < 0 || timeout > kWatchdogPeriod)) timeout = kWatchdogPeriod;

  execute_dpc();
  // A timer armed by those calls bounds this very wait, at least 1 ms.
  if (!timers_.empty()) {
    int32_t due = int32_t(timers_.head()->deadline() - Mux::milliseconds());
    if (due < 1) due = 1;
    if (timeout < 0 || due < timeout) timeout = due;
  }
  if (terminate_) return;
  if (timeout < 0 && pollSet_.size() == 0) {
    std::cerr << "multiplexer: system hang detected!!!" << std::endl;
    abort();
  }

  PollFunction poll = poll_ ? poll_ : Board::poll;
  int ready = poll(pollSet_.data(), nfds_t(pollSet_.size()), timeout);
  int pollErrno = errno;
  if (!liveClock) Mux::mux_settimeofday();

  uint32_t now = Mux::milliseconds();
  if (lastPing == 0 || now < lastPing || now - lastPing >= uint32_t(kWatchdogPeriod)) {
    lastPing = now;
    resetWD();
  }

  if (ready > 0) {
    dispatch();
  } else if (ready < 0 && pollErrno != EINTR) {
    std::cerr << "multiplexer poll failed: " << strerror(pollErrno) << std::endl;
    abort();
  }
}

int Multiplexer::waitTime() {
  unsigned timerWait = timers_schedule();
  int wait = timerWait < 1 ? INT_MAX : int(timerWait);
  int pluginWait = timerPoll_schedule();
  if (pluginWait >= 1 && pluginWait < wait) wait = pluginWait;
  return wait == INT_MAX ? -1 : wait;
}

void Multiplexer::rebuildPollSet() {
  pollSet_.resize(unsigned(active_.count()));
  unsigned i = 0;
  for (EventHandler* h = active_.head(); h; h = active_.next(h), ++i) {
    h->pollIndex_ = i;
    h->shedule_event(pollSet_.data()[i]);
  }
}

void Multiplexer::dispatch() {
  // Only detaching can change the active list since the rebuild, so every
  // handler still on it owns the entry it filled.
  for (EventHandler* h = active_.head(); h; h = active_.next(h)) h->revents_ = pollSet_.data()[h->pollIndex_].revents;
  while (!terminate_ && !active_.empty()) {
    EventHandler* h = active_.remove_from_head();
    dispatched_.push_back(h);
    eventMeasure_.begin();
    h->svc_event();
    eventMeasure_.end();
  }
  // Handlers left unserved by a stop keep their place behind the served ones.
  dispatched_.splice_back(active_);
  active_.merge(dispatched_);
}

void Multiplexer::set(TimerEvent* timer) {
  timers_.remove(timer);
  timers_.insert(timer);
}

void Multiplexer::reset(TimerEvent* timer) { timers_.remove(timer); }

unsigned Multiplexer::timers_schedule() {
  uint32_t now = Mux::milliseconds();
  while (!timers_.empty() && int32_t(now - timers_.head()->deadline()) >= 0) {
    timerMeasure_.begin();
    TimerEvent* timer = timers_.remove_from_head();
    timer->fire();
    timerMeasure_.end();
  }
  execute_dpc();
  uint32_t first = timers_.empty() ? now : timers_.head()->deadline();
  uint32_t wait = first - now;
  if (wait <= kMaxWait) {
    // A timer armed by the deferred calls with no delay is still a timer.
    if (wait == 0 && !timers_.empty()) wait = 1;
    return wait;
  }
  std::cerr << "******** RUNTIME ERROR CONDITION *************"
            << "Multiplexer::timers_schedule() invalid wait time detected!" << std::endl
            << "now = " << now << std::endl
            << "first = " << first << std::endl
            << "count = " << timers_.count() << std::endl;
  rebaseTimers(now);
  return kRebaseDelay;
}

void Multiplexer::rebaseTimers(uint32_t now) {
  for (TimerEvent* t = timers_.head(); t; t = timers_.next(t)) t->deadline_ = now + kRebaseDelay;
}

void Multiplexer::attach(Dpc* dpc) {
  if (dpcPending_.contains(dpc)) return;
  // Kept in ascending address order: that is the order of execution.
  Dpc* after = nullptr;
  for (Dpc* d = dpcPending_.head(); d && std::less<Dpc*>()(d, dpc); d = dpcPending_.next(d)) after = d;
  dpcPending_.insert_after(after, dpc);
}

void Multiplexer::dettach(Dpc* dpc) {
  dpcPending_.remove(dpc);
  dpcRunning_.remove(dpc);
}

void Multiplexer::execute_dpc() {
  dpcRunning_.clear();
  for (Dpc* d = dpcPending_.head(); d; d = dpcPending_.next(d)) dpcRunning_.push_back(d);
  while (Dpc* d = dpcRunning_.remove_from_head()) {
    dpcMeasure_.begin();
    if (d->handler()) d->handler()->Invoke();
    dpcMeasure_.end();
  }
}

namespace {
// Walks the plug-ins from a private list, so one may unhook itself or
// another while it is being asked.
class TimerPollGuard : public Multiplexer::TimerPollNotify {
public:
  explicit TimerPollGuard(F_dual_list<TimerPoolPlugin>& plugins) : plugins_(plugins) {
    while (TimerPoolPlugin* p = plugins_.remove_from_head()) waiting_.push_back(p);
  }
  ~TimerPollGuard() override { plugins_.splice_back(waiting_); }
  TimerPoolPlugin* next() {
    TimerPoolPlugin* p = waiting_.remove_from_head();
    if (p) plugins_.push_back(p);
    return p;
  }
  void removeTimerPoolPlugin(TimerPoolPlugin* plugin) override {
    if (!plugins_.remove(plugin)) waiting_.remove(plugin);
  }

private:
  F_dual_list<TimerPoolPlugin>& plugins_;
  F_dual_list<TimerPoolPlugin> waiting_;
};
}  // namespace

void Multiplexer::hook(TimerPoolPlugin* plugin) {
  if (!plugins_.contains(plugin)) plugins_.push_back(plugin);
}

void Multiplexer::unhook(TimerPoolPlugin* plugin) {
  if (pollNotify_)
    pollNotify_->removeTimerPoolPlugin(plugin);
  else
    plugins_.remove(plugin);
}

int Multiplexer::timerPoll_schedule() {
  int result = INT_MAX;
  TimerPollGuard guard(plugins_);
  pollNotify_ = &guard;
  while (TimerPoolPlugin* p = guard.next()) {
    int wait = p->timerPoll();
    if (wait >= 0 && wait < result) result = wait;
  }
  pollNotify_ = nullptr;
  return result;
}
