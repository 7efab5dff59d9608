// TPKT framing behind the stream layer on a socket pair. The first octet
// chooses the cuts (0: the stream in one piece, N: chunks of 1..N octets),
// the rest is the byte stream; each chunk arrives as one read. Whatever the
// cuts, the messages delivered are those of the stream in one piece; framed
// again they come back unchanged; between reads the stream holds one packet
// buffer at most, and every buffer and timer is given back.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Fd.h"
#include "foundation/protocol/StrmProtocol.h"
#include "foundation/protocol/Tpkt_protocol.h"
#include "fuzz/Fuzz.h"

namespace {

using Messages = std::vector<std::string>;

std::string bytes(const Packet& p) { return std::string(reinterpret_cast<const char*>(p.data()), p.length()); }

class Owner : public ProtocolsFamily {
public:
  void on_message(Packet& p) override { received.push_back(bytes(p)); }
  Messages received;
};

// The bottom of a stack without a socket: bytes in as one chunk, frames out.
class Wire : public Protocol {
public:
  void message(Packet& p) override { sent += bytes(p); }
  void feed(const std::string& stream) {
    if (stream.empty()) return;
    Packet p;
    p.reserve_head(0);
    p.put(stream.data(), unsigned(stream.size()));
    on_message(p);
  }
  std::string sent;
};

struct Reference {
  Reference() {
    owner.add_protocol_tail(wire);
    owner.add_protocol_tail(new Tpkt_protocol);
    owner.activate();
  }
  ~Reference() { owner.deactivate(); }
  Owner owner;
  Wire* wire = new Wire;
};

int unread(int fd) {
  int n = 0;
  ioctl(fd, FIONREAD, &n);
  return n;
}

Messages overSocket(const std::string& stream, unsigned cut) {
  int ends[2];
  Fuzz::expect(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends) == 0, "a socket pair");
  Fd near(ends[0]), far(ends[1]);
  Owner owner;
  auto* strm = new StrmProtocol(near);
  owner.add_protocol_tail(strm);
  owner.add_protocol_tail(new Tpkt_protocol);
  owner.activate();
  uint32_t random = cut;
  for (std::size_t at = 0; at < stream.size();) {
    std::size_t n = stream.size() - at;
    if (cut) {
      random = random * 1103515245u + 12345u;
      n = std::min<std::size_t>(n, (random >> 16) % cut + 1);
    }
    Fuzz::expect(send(far.get(), stream.data() + at, n, MSG_NOSIGNAL) == ssize_t(n), "the chunk is written whole");
    at += n;
    while (unread(strm->fd().get()) > 0) strm->on_event(strm->fd().get(), POLLIN);
    // The message being collected, and nothing else.
    Fuzz::expect(packet_pool().count() >= 1023, "a stream holds one packet buffer at most");
  }
  owner.deactivate();
  return owner.received;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The one-piece reference takes the stream in one packet buffer.
  if (size == 0 || size > packet_max_size / 2) return 0;
  const std::string stream = Fuzz::text(data + 1, size - 1);
  {
    Fuzz::HeapWatch heap;
    Messages whole;
    std::string framed;
    {
      Reference one;
      one.wire->feed(stream);
      whole = one.owner.received;
      for (const std::string& m : whole) {
        Packet p;
        one.owner.prepare_head(p);
        p.put(m.data(), unsigned(m.size()));
        one.owner.message(p);
      }
      framed = one.wire->sent;
    }
    Fuzz::expect(overSocket(stream, data[0]) == whole, "the cuts change nothing that is delivered");
    Reference again;
    again.wire->feed(framed);
    Fuzz::expect(again.owner.received == whole, "delivered messages framed again come back unchanged");
    heap.within(64 * 1024, 8, size, "framing");
  }
  Fuzz::expect(packet_pool().count() == 1024, "every packet buffer is back in the pool");
  Fuzz::expect(multiplexer.timer_count() == 0, "no timer is left armed");
  return 0;
}
