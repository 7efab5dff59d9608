// ns per message and heap allocations per message for aligned-PER encode
// and decode of a controller-like message.
#include "asn1/CoderEnv.h"
#include "asn1/modules/BENCH.h"
#include "bench/asn1/AllocationCount.h"

#include <benchmark/benchmark.h>

namespace {

using namespace BENCH;
using Bench::allocations;

Message makeMessage() {
  Message m;
  m.set_seq(12345);
  m.set_slot(17);
  Create& c = m.get_pdu().select_create();
  c.get_dhost().set_iaddr("192.168.10.20");
  c.get_dhost().set_port(5004);
  c.includeOptionalField(Create::o_shost, Create::e_shost);
  c.get_shost().set_iaddr("10.0.0.1");
  c.get_shost().set_port(5006);
  c.set_payload(Payload::g729);
  c.set_vad(true);
  c.get_echo().select_on().setValue(64);
  for (int d : {1, 2, 3}) c.get_digits().push_back(ASN1::INTEGER(d, &ASN1::INTEGER::theInfo));
  c.set_ssrc(0xDEADBEEFu);
  return m;
}

void report(benchmark::State& state, unsigned long long before) {
  state.counters["allocs/msg"] =
      benchmark::Counter(static_cast<double>(allocations() - before), benchmark::Counter::kAvgIterations);
}

void BM_AperEncode(benchmark::State& state) {
  const Message m = makeMessage();
  const ASN1::CoderEnv env;
  std::vector<char> out;
  out.reserve(256);
  unsigned long long before = allocations();
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(env.encode(m, out));
  }
  report(state, before);
}

void BM_AperDecode(benchmark::State& state) {
  const ASN1::CoderEnv encoder;
  std::vector<char> octets;
  encoder.encode(makeMessage(), octets);
  ASN1::CoderEnv env;
  unsigned long long before = allocations();
  for (auto _ : state) {
    Message m;
    if (!env.decode(octets.data(), octets.data() + octets.size(), m)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(m);
  }
  report(state, before);
}

// A receiver that keeps its message object: fields are reused.
void BM_AperDecodeReused(benchmark::State& state) {
  const ASN1::CoderEnv encoder;
  std::vector<char> octets;
  encoder.encode(makeMessage(), octets);
  ASN1::CoderEnv env;
  Message m;
  unsigned long long before = allocations();
  for (auto _ : state) {
    if (!env.decode(octets.data(), octets.data() + octets.size(), m)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(m);
  }
  report(state, before);
}

void BM_AperEncodeDecode(benchmark::State& state) {
  const Message m = makeMessage();
  ASN1::CoderEnv env;
  std::vector<char> out;
  out.reserve(256);
  unsigned long long before = allocations();
  for (auto _ : state) {
    out.clear();
    env.encode(m, out);
    Message back;
    if (!env.decode(out.data(), out.data() + out.size(), back)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(back);
  }
  report(state, before);
}

}  // namespace

BENCHMARK(BM_AperEncode);
BENCHMARK(BM_AperDecode);
BENCHMARK(BM_AperDecodeReused);
BENCHMARK(BM_AperEncodeDecode);
BENCHMARK_MAIN();
