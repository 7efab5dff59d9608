// ns per message and heap allocations per message for aligned-PER encode
// and decode of a controller-like message.
#include "asn1/CoderEnv.h"
#include "bench/asn1/BenchRecords.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>

namespace {
std::size_t allocations = 0;
}

// Counting replacement of the global allocator; GCC cannot see that the
// matching new is this one and warns about free().
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace BENCH;

Message makeMessage()
{
    Message m;
    m.includeOptionalField(Message::o_seq, Message::e_seq);
    m.field<ASN1::INTEGER>(Message::e_seq).setValue(12345);
    m.includeOptionalField(Message::o_slot, Message::e_slot);
    m.field<ASN1::INTEGER>(Message::e_slot).setValue(17);
    Create& c = m.field<Command>(Message::e_pdu).select<Create>(Command::e_create);
    c.field<Host>(Create::e_dhost).field<ASN1::IA5String>(Host::e_iaddr) = "192.168.10.20";
    c.field<Host>(Create::e_dhost).field<ASN1::INTEGER>(Host::e_port).setValue(5004);
    c.includeOptionalField(Create::o_shost, Create::e_shost);
    c.field<Host>(Create::e_shost).field<ASN1::IA5String>(Host::e_iaddr) = "10.0.0.1";
    c.field<Host>(Create::e_shost).field<ASN1::INTEGER>(Host::e_port).setValue(5006);
    c.field<Payload>(Create::e_payload).setValue(Payload::g729);
    c.includeOptionalField(Create::o_vad, Create::e_vad);
    c.field<ASN1::BOOLEAN>(Create::e_vad).setValue(true);
    c.field<Echo>(Create::e_echo).select<ASN1::INTEGER>(Echo::e_on).setValue(64);
    for (int d : {1, 2, 3})
        c.field<Create::Digits>(Create::e_digits).push_back(ASN1::INTEGER(d, &ASN1::INTEGER::theInfo));
    c.includeOptionalField(Create::o_ssrc, Create::e_ssrc);
    c.field<ASN1::INTEGER>(Create::e_ssrc).setValue(0xDEADBEEFu);
    return m;
}

void report(benchmark::State& state, std::size_t before)
{
    state.counters["allocs/msg"] =
        benchmark::Counter(static_cast<double>(allocations - before), benchmark::Counter::kAvgIterations);
}

void BM_AperEncode(benchmark::State& state)
{
    const Message m = makeMessage();
    const ASN1::CoderEnv env;
    std::vector<char> out;
    out.reserve(256);
    std::size_t before = allocations;
    for (auto _ : state) {
        out.clear();
        benchmark::DoNotOptimize(env.encode(m, out));
    }
    report(state, before);
}

void BM_AperDecode(benchmark::State& state)
{
    const ASN1::CoderEnv encoder;
    std::vector<char> octets;
    encoder.encode(makeMessage(), octets);
    ASN1::CoderEnv env;
    std::size_t before = allocations;
    for (auto _ : state) {
        Message m;
        if (!env.decode(octets.data(), octets.data() + octets.size(), m))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(m);
    }
    report(state, before);
}

// A receiver that keeps its message object: fields are reused.
void BM_AperDecodeReused(benchmark::State& state)
{
    const ASN1::CoderEnv encoder;
    std::vector<char> octets;
    encoder.encode(makeMessage(), octets);
    ASN1::CoderEnv env;
    Message m;
    std::size_t before = allocations;
    for (auto _ : state) {
        if (!env.decode(octets.data(), octets.data() + octets.size(), m))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(m);
    }
    report(state, before);
}

void BM_AperEncodeDecode(benchmark::State& state)
{
    const Message m = makeMessage();
    ASN1::CoderEnv env;
    std::vector<char> out;
    out.reserve(256);
    std::size_t before = allocations;
    for (auto _ : state) {
        out.clear();
        env.encode(m, out);
        Message back;
        if (!env.decode(out.data(), out.data() + out.size(), back))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(back);
    }
    report(state, before);
}

} // namespace

BENCHMARK(BM_AperEncode);
BENCHMARK(BM_AperDecode);
BENCHMARK(BM_AperDecodeReused);
BENCHMARK(BM_AperEncodeDecode);
BENCHMARK_MAIN();
