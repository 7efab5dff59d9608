// Frames per second over one loopback TCP connection: each frame is written
// by one end and read back whole by the other before the next is sent. The
// TPKT case goes through the stream and TPKT layers on both ends; the plain
// case moves the same bytes with send() and recv(). The ratio is the cost of
// the framing layers.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>

#include <string>

#include "foundation/protocol/StrmProtocol.h"
#include "foundation/protocol/Tpkt_protocol.h"
#include "testing/Loopback.h"

namespace {

class Stack : public ProtocolsFamily {
public:
  explicit Stack(const Fd& socket) {
    strm = new StrmProtocol;
    add_protocol_tail(strm);
    add_protocol_tail(new Tpkt_protocol);
    strm->attach(socket);
    activate();
  }
  void on_message(Packet& p) override { bytes += p.length(), ++frames; }
  void on_deactivated(Protocol*, Protocol_status status) override { failure = status->message(); }

  StrmProtocol* strm;
  size_t bytes = 0;
  size_t frames = 0;
  std::string failure;
};

struct Pair {
  Pair() {
    Testing::tcpPair(a, b);
    a.NonBlock();
    b.NonBlock();
  }
  Fd a;
  Fd b;
};

void wait_readable(int fd) {
  pollfd entry = {fd, POLLIN, 0};
  poll(&entry, 1, 1000);
}

void TpktFrames(benchmark::State& state) {
  const std::string payload(size_t(state.range(0)), 'p');
  Pair pair;
  Stack sender(pair.a);
  Stack receiver(pair.b);
  const int fd = receiver.strm->fd().get();
  for (auto _ : state) {
    Packet p;
    sender.prepare_head(p);
    p.put(payload.data(), unsigned(payload.size()));
    sender.message(p);
    const size_t want = receiver.frames + 1;
    while (receiver.frames < want && receiver.failure.empty()) {
      wait_readable(fd);
      receiver.strm->on_event(fd, POLLIN);
    }
  }
  if (!receiver.failure.empty() || !sender.failure.empty()) state.SkipWithError("connection failed");
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(payload.size() + 4));
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void PlainFrames(benchmark::State& state) {
  const std::string bytes(size_t(state.range(0)) + 4, 'p');
  std::string in(65536, '\0');
  Pair pair;
  for (auto _ : state) {
    ssize_t sent = send(pair.a.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    size_t got = 0;
    while (got < bytes.size() && sent > 0) {
      wait_readable(pair.b.get());
      ssize_t n = recv(pair.b.get(), &in[0], in.size(), MSG_DONTWAIT);
      if (n > 0) got += size_t(n);
    }
    benchmark::DoNotOptimize(in.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(TpktFrames)->Arg(16)->Arg(200)->Arg(4096);
BENCHMARK(PlainFrames)->Arg(16)->Arg(200)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
