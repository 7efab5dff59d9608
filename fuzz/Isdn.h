#pragma once
// What the Q.921 targets share: frames built from octets, the check of every
// frame an entity sends, the bounds a user-side entity keeps after each
// step, and the owner of an entity's stack.

#include <initializer_list>
#include <sstream>
#include <string>

#include "foundation/protocol/Protocol.h"
#include "fuzz/Fuzz.h"
#include "signalling/isdn/Lapd.h"

namespace Fuzz {

// A received frame: the header octets, then the information field.
inline Packet frame(std::initializer_list<uint8_t> head, const std::string& info = "") {
  Packet p;
  p.reserve_head(0);
  for (uint8_t octet : head) p.put(octet);
  if (!info.empty()) p.put(info.data(), unsigned(info.size()));
  return p;
}

// An entity builds only frames that decode, of a type it knows.
inline void sent(const Packet& frame) {
  ISDN::Frame decoded;
  expect(ISDN::decode_frame(frame.data(), frame.length(), decoded) == ISDN::Decoded::ok &&
             decoded.type != ISDN::FrameType::Unknown,
         "every frame sent decodes");
}

// Q.921 5.6.1: V(S) runs at most k ahead of V(A); the outgoing queue takes
// messages up to its limit, and retransmission puts a window back in front.
inline void withinBounds(const ISDN::LAPD& lapd) {
  const ISDN::LAPDFullState& s = lapd.full_state();
  expect(s.state <= ISDN::TimerRecovery, "the state is one of Q.921's");
  expect(unsigned(s.vs - s.va) <= ISDN::LAPD::window, "V(S) - V(A) stays within the window");
  expect(lapd.unacknowledged() <= ISDN::LAPD::window, "at most a window of frames unacknowledged");
  expect(lapd.queued() + lapd.unacknowledged() <= ISDN::LAPD::out_queue_limit + 1 + ISDN::LAPD::window,
         "the outgoing queue stays within its limit and a window");
}

// The owner of a stack: layer-3 messages go nowhere, reports are written out.
class Owner : public ProtocolsFamily {
public:
  void on_message(Packet&) override {}
  void on_status(Protocol_status status) override {
    std::ostringstream text;
    status->out(text);
  }
};

}  // namespace Fuzz
