#pragma once
// libpri, an independent ISDN stack, as the far end of a channel of the
// simulated multichannel controller: its frames go through its own read and
// write callbacks to the channel's far-end socket, and it runs on the main
// loop (the socket as an event, its scheduler as a timer). libpri's frames
// carry two FCS octets that the line does not: the adapter adds them on the
// way in and strips them on the way out.

extern "C" {
#include <libpri.h>
}
#include <poll.h>
#include <sys/time.h>

#include <iostream>
#include <string>
#include <vector>

#include "board/sim/FarEndClient.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"
#include "testing/Loop.h"

namespace peer {

class PriPeer {
public:
  // `bri`: point-to-multipoint on a basic-rate line; `node`: PRI_NETWORK or PRI_CPE.
  PriPeer(int32_t channel, bool bri, int node) {
    // The board takes the connection on a thread of its own: the peer is the line once it is attached.
    const std::string farEnd = "mcc farend " + std::to_string(channel);
    if (!line.connect(channel, 2000) ||
        !Testing::runUntil([&] { return Board::Sim::control(farEnd)[0].find(" attached") != std::string::npos; })) {
      return;
    }
    pri_set_message(&PriPeer::print);
    pri_set_error(&PriPeer::print);
    pri = bri ? pri_new_bri_cb(-1, 0, node, PRI_SWITCH_EUROISDN_E1, &PriPeer::in, &PriPeer::out, this)
              : pri_new_cb(-1, node, PRI_SWITCH_EUROISDN_E1, &PriPeer::in, &PriPeer::out, this);
    pri_set_debug(pri, PRI_DEBUG_Q921_STATE | PRI_DEBUG_Q931_STATE);
    watch.Bind("PriPeer::OnEvent", &PriPeer::OnEvent, this);
    watch.Schedule(Fd(::dup(line.fd())), POLLIN);
    reschedule();
  }
  bool attached() const { return pri != nullptr; }

  struct pri* pri = nullptr;
  // Every event libpri reported, by number, and the last incoming call with its channel.
  std::vector<int> events;
  q931_call* call = nullptr;
  int callChannel = 0;

private:
  static void print(struct pri*, char* text) { std::clog << "libpri: " << text; }
  static PriPeer& of(struct pri* p) { return *static_cast<PriPeer*>(pri_get_userdata(p)); }
  static int in(struct pri* p, void* buf, int len) {
    std::string frame;
    if (!of(p).line.receive(frame, 0) || int(frame.size()) + 2 > len) return -1;
    frame.append(2, '\0');
    frame.copy(static_cast<char*>(buf), frame.size());
    return int(frame.size());
  }
  static int out(struct pri* p, void* buf, int len) {
    return len > 2 && of(p).line.send(std::string(static_cast<char*>(buf), size_t(len - 2))) ? len : -1;
  }

  void OnEvent(int, short revents) {
    if (revents & POLLIN) take(pri_check_event(pri));
  }
  void OnTimer() { take(pri_schedule_run(pri)); }
  void take(pri_event* e) {
    if (e) {
      events.push_back(e->e);
      if (e->e == PRI_EVENT_RING) {
        call = e->ring.call;
        callChannel = e->ring.channel;
      }
    }
    reschedule();
  }
  void reschedule() {
    const timeval* next = pri_schedule_next(pri);
    if (!next) return timer.reset();
    timeval now;
    gettimeofday(&now, nullptr);
    const long ms = (next->tv_sec - now.tv_sec) * 1000 + (next->tv_usec - now.tv_usec) / 1000;
    timer.set(ms > 0 ? unsigned(ms) : 0u, &PriPeer::OnTimer, this);
  }

  Board::Sim::FarEndClient line;
  Event watch;
  Timer timer;
};

}  // namespace peer
