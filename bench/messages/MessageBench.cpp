// Aligned-PER encode and decode of the controller message mix, per message
// and as the mean over the mix, with the heap allocations of each call.
//
//   bench_messages [--benchmark_filter=...]    GW_SOURCE_DIR overrides the source tree
#include "VectorFile.h"

#include "asn1/CoderEnv.h"
#include "asn1/modules/ModuleTable.h"
#include "asn1/tests/Support.h"
#include "bench/asn1/AllocationCount.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

struct Message {
    std::string id;
    const ASN1::AbstractData::InfoType* info;
    std::unique_ptr<ASN1::AbstractData> value;
    std::vector<char> octets;
};

std::vector<Message> loadMix()
{
    const char* root = std::getenv("GW_SOURCE_DIR");
    const std::string path = std::string(root ? root : GW_SOURCE_DIR) + "/bench/messages/lgcp-mix.txt";
    static ASN1::CoderEnv env;
    MessageModules::registerAll(env);
    std::vector<Message> mix;
    for (const VectorFile::Block& b : VectorFile::read(path)) {
        Message m{b.id, MessageModules::findType(env, b.type), nullptr, {}};
        if (!m.info)
            throw std::runtime_error(b.id + ": no type " + b.type);
        m.value.reset(m.info->create(m.info));
        if (!m.value->setFromValueNotation(b.value))
            throw std::runtime_error(b.id + ": value text not read");
        m.octets = GWTEST::unhex(b.aper);
        mix.push_back(std::move(m));
    }
    return mix;
}

const std::vector<Message>& mix()
{
    static const std::vector<Message> messages = loadMix();
    return messages;
}

const ASN1::CoderEnv aligned(ASN1::CoderEnv::per_Aligned);

void encodeOnce(const Message& m, std::vector<char>& out)
{
    out.clear();
    if (aligned.encode(*m.value, out) < 0)
        throw std::runtime_error(m.id + ": encode failed");
}

void decodeOnce(const Message& m)
{
    std::unique_ptr<ASN1::AbstractData> value(m.info->create(m.info));
    ASN1::CoderEnv env(ASN1::CoderEnv::per_Aligned);
    if (!env.decode(m.octets.data(), m.octets.data() + m.octets.size(), *value))
        throw std::runtime_error(m.id + ": decode failed");
    benchmark::DoNotOptimize(value.get());
}

// Reports allocations per message and, for the mix, the time per message.
void report(benchmark::State& state, unsigned long long before, unsigned messagesPerIteration)
{
    const double calls = static_cast<double>(state.iterations()) * messagesPerIteration;
    state.counters["allocs"] = static_cast<double>(Bench::allocations() - before) / calls;
    if (messagesPerIteration > 1)
        state.counters["per_msg"] = benchmark::Counter(
            messagesPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void encodeOne(benchmark::State& state, std::size_t index)
{
    std::vector<char> out;
    out.reserve(256);
    encodeOnce(mix()[index], out);
    const unsigned long long before = Bench::allocations();
    for (auto _ : state)
        encodeOnce(mix()[index], out);
    report(state, before, 1);
}

void decodeOne(benchmark::State& state, std::size_t index)
{
    decodeOnce(mix()[index]);
    const unsigned long long before = Bench::allocations();
    for (auto _ : state)
        decodeOnce(mix()[index]);
    report(state, before, 1);
}

void encodeMix(benchmark::State& state)
{
    std::vector<char> out;
    out.reserve(256);
    for (const Message& m : mix())
        encodeOnce(m, out);
    const unsigned long long before = Bench::allocations();
    for (auto _ : state)
        for (const Message& m : mix())
            encodeOnce(m, out);
    report(state, before, static_cast<unsigned>(mix().size()));
}

void decodeMix(benchmark::State& state)
{
    for (const Message& m : mix())
        decodeOnce(m);
    const unsigned long long before = Bench::allocations();
    for (auto _ : state)
        for (const Message& m : mix())
            decodeOnce(m);
    report(state, before, static_cast<unsigned>(mix().size()));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (std::size_t i = 0; i < mix().size(); ++i) {
        benchmark::RegisterBenchmark(("encode/" + mix()[i].id).c_str(), encodeOne, i);
        benchmark::RegisterBenchmark(("decode/" + mix()[i].id).c_str(), decodeOne, i);
    }
    benchmark::RegisterBenchmark("encode/mix", encodeMix);
    benchmark::RegisterBenchmark("decode/mix", decodeMix);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
