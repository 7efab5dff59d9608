// PER encode and decode of the controller message mix, aligned (what the
// daemon uses) and unaligned (what asn1c generates, for the side-by-side
// figures of bench/compare.sh), per message and as the mean over the mix,
// with the heap allocations of each call.
//
//   bench_messages [--benchmark_filter=...]    GW_SOURCE_DIR overrides the source tree
//   bench_messages --instructions N            under callgrind: one stats dump per message,
//                                              rule and direction, each over N calls
//
// A decode starts from a new value and releases it, as a fresh receive does.
#include "VectorFile.h"

#include "asn1/CoderEnv.h"
#include "asn1/modules/ModuleTable.h"
#include "asn1/tests/Support.h"
#include "bench/asn1/AllocationCount.h"

#include <benchmark/benchmark.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_CALLGRIND 1
#endif

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

struct Message {
  std::string id;
  const ASN1::AbstractData::InfoType* info;
  std::unique_ptr<ASN1::AbstractData> value;
  std::vector<char> octets[2];  // aligned, unaligned
};

struct Rule {
  const char* name;
  int rule;
};
const Rule rules[] = {{"aper", ASN1::CoderEnv::per_Aligned}, {"uper", ASN1::CoderEnv::per_Unaligned}};

std::vector<Message> loadMix() {
  const char* root = std::getenv("GW_SOURCE_DIR");
  const std::string path = std::string(root ? root : GW_SOURCE_DIR) + "/bench/messages/lgcp-mix.txt";
  static ASN1::CoderEnv env;
  MessageModules::registerAll(env);
  std::vector<Message> mix;
  for (const VectorFile::Block& b : VectorFile::read(path)) {
    Message m{b.id, MessageModules::findType(env, b.type), nullptr, {}};
    if (!m.info) throw std::runtime_error(b.id + ": no type " + b.type);
    m.value.reset(m.info->create(m.info));
    if (!m.value->setFromValueNotation(b.value)) throw std::runtime_error(b.id + ": value text not read");
    m.octets[0] = GWTEST::unhex(b.aper);
    m.octets[1] = GWTEST::unhex(b.uper);
    mix.push_back(std::move(m));
  }
  return mix;
}

const std::vector<Message>& mix() {
  static const std::vector<Message> messages = loadMix();
  return messages;
}

void encodeOnce(const Message& m, unsigned rule, std::vector<char>& out) {
  out.clear();
  if (ASN1::CoderEnv(rules[rule].rule).encode(*m.value, out) < 0) throw std::runtime_error(m.id + ": encode failed");
}

void decodeOnce(const Message& m, unsigned rule) {
  std::unique_ptr<ASN1::AbstractData> value(m.info->create(m.info));
  ASN1::CoderEnv env(rules[rule].rule);
  const std::vector<char>& in = m.octets[rule];
  if (!env.decode(in.data(), in.data() + in.size(), *value)) throw std::runtime_error(m.id + ": decode failed");
  benchmark::DoNotOptimize(value.get());
}

// Both directions must give the mix's own octets and value before anything is timed.
void check(const Message& m, unsigned rule) {
  std::vector<char> out;
  encodeOnce(m, rule, out);
  if (out != m.octets[rule])
    throw std::runtime_error(m.id + ": " + rules[rule].name + " encoding differs from the mix");
  std::unique_ptr<ASN1::AbstractData> value(m.info->create(m.info));
  const std::vector<char>& in = m.octets[rule];
  if (!ASN1::CoderEnv(rules[rule].rule).decode(in.data(), in.data() + in.size(), *value) ||
      value->compare(*m.value) != 0)
    throw std::runtime_error(m.id + ": " + rules[rule].name + " decoding differs from the value");
}

// Reports allocations per message and, for the mix, the time per message.
void report(benchmark::State& state, unsigned long long before, unsigned messagesPerIteration) {
  const double calls = static_cast<double>(state.iterations()) * messagesPerIteration;
  state.counters["allocs"] = static_cast<double>(Bench::allocations() - before) / calls;
  if (messagesPerIteration > 1)
    state.counters["per_msg"] = benchmark::Counter(
        messagesPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void encodeOne(benchmark::State& state, std::size_t index, unsigned rule) {
  std::vector<char> out;
  out.reserve(256);
  encodeOnce(mix()[index], rule, out);
  const unsigned long long before = Bench::allocations();
  for (auto _ : state) encodeOnce(mix()[index], rule, out);
  report(state, before, 1);
}

void decodeOne(benchmark::State& state, std::size_t index, unsigned rule) {
  decodeOnce(mix()[index], rule);
  const unsigned long long before = Bench::allocations();
  for (auto _ : state) decodeOnce(mix()[index], rule);
  report(state, before, 1);
}

void encodeMix(benchmark::State& state, unsigned rule) {
  std::vector<char> out;
  out.reserve(256);
  for (const Message& m : mix()) encodeOnce(m, rule, out);
  const unsigned long long before = Bench::allocations();
  for (auto _ : state)
    for (const Message& m : mix()) encodeOnce(m, rule, out);
  report(state, before, static_cast<unsigned>(mix().size()));
}

void decodeMix(benchmark::State& state, unsigned rule) {
  for (const Message& m : mix()) decodeOnce(m, rule);
  const unsigned long long before = Bench::allocations();
  for (auto _ : state)
    for (const Message& m : mix()) decodeOnce(m, rule);
  report(state, before, static_cast<unsigned>(mix().size()));
}

// One callgrind dump per message, rule and direction ("encode/aper/ID"),
// each holding the instructions of `calls` calls after a warm-up call.
int countInstructions(long calls) {
#ifdef BENCH_CALLGRIND
  std::vector<char> out;
  out.reserve(256);
  for (unsigned rule = 0; rule < 2; ++rule)
    for (const Message& m : mix()) {
      const std::string encodeLabel = "encode/" + std::string(rules[rule].name) + "/" + m.id;
      const std::string decodeLabel = "decode/" + std::string(rules[rule].name) + "/" + m.id;
      encodeOnce(m, rule, out);
      CALLGRIND_ZERO_STATS;
      for (long i = 0; i < calls; ++i) encodeOnce(m, rule, out);
      CALLGRIND_DUMP_STATS_AT(encodeLabel.c_str());
      decodeOnce(m, rule);
      CALLGRIND_ZERO_STATS;
      for (long i = 0; i < calls; ++i) decodeOnce(m, rule);
      CALLGRIND_DUMP_STATS_AT(decodeLabel.c_str());
    }
  return 0;
#else
  (void)calls;
  std::cerr << "bench_messages: built without valgrind/callgrind.h\n";
  return 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  for (unsigned rule = 0; rule < 2; ++rule)
    for (const Message& m : mix()) check(m, rule);
  if (argc == 3 && std::strcmp(argv[1], "--instructions") == 0) return countInstructions(std::atol(argv[2]));
  benchmark::Initialize(&argc, argv);
  for (unsigned rule = 0; rule < 2; ++rule) {
    const std::string name = rules[rule].name;
    for (std::size_t i = 0; i < mix().size(); ++i) {
      benchmark::RegisterBenchmark(("encode/" + name + "/" + mix()[i].id).c_str(), encodeOne, i, rule);
      benchmark::RegisterBenchmark(("decode/" + name + "/" + mix()[i].id).c_str(), decodeOne, i, rule);
    }
    benchmark::RegisterBenchmark(("encode/" + name + "/mix").c_str(), encodeMix, rule);
    benchmark::RegisterBenchmark(("decode/" + name + "/mix").c_str(), decodeMix, rule);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
