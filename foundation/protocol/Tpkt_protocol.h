#pragma once
// TPKT framing (RFC 1006): each message travels behind a 4-byte header,
// version 3, a reserved 0 and the 16-bit big-endian length of the whole
// packet. The receiver cuts the byte stream back into messages whatever the
// chunking, hunts byte by byte for a header after garbage, and drops a
// message that stalls for 3 seconds between chunks.

#include "foundation/eventloop/Timer.h"
#include "foundation/protocol/Protocol.h"

class Tpkt_protocol : public Protocol {
public:
  enum State {
    Idle = 0,          // hunting for the version byte
    WaitReserved = 1,  // version seen
    Length1 = 2,       // reserved byte seen
    Length2 = 3,       // high length byte seen
    Body = 4,          // collecting the payload
    Ignore = 5,        // skipping a payload too big for a packet
  };

  static constexpr unsigned header_size = 4;
  // The largest payload the 16-bit length can express.
  static constexpr unsigned max_payload = 0xFFFF - header_size;
  static constexpr unsigned chunk_timeout_ms = 3000;

  ~Tpkt_protocol() override = default;

  void message(Packet& p) override;
  void receive(Packet& chunk) override;
  void local_prepare_head(Packet& p) override { p.reserve_head(header_size); }
  void local_activate() override { reset(); }
  void local_deactivate() override;

  void reset();
  void on_timeout(Timer*);
  void next_state(State state) { state_ = state; }
  State state() const { return state_; }

  // False, with one log line naming the length, for a payload the length
  // field cannot carry.
  static bool payload_fits(long length);

private:
  void receive_idle(uint8_t b);
  void receive_wait_r(uint8_t b);
  void receive_len_1(uint8_t b);
  void receive_len_2(uint8_t b);
  void deliver();

  unsigned length_ = 0;
  Timer timer_;
  State state_ = Idle;
  Packet body_;
};
