// BER over the vector files: every value with
// a `ber` line encodes to those octets and decodes back to the same value;
// the BER robustness frames fail or decode as they say; every vector value
// passes the validity check. Mutated vector encodings never misbehave.
#include "VectorFile.h"

#include "asn1/BerCoder.h"
#include "asn1/Checker.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/ModuleTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>

namespace {

class Modules {
public:
    Modules() { MessageModules::registerAll(env_); }

    std::unique_ptr<ASN1::AbstractData> make(const std::string& type) const
    {
        const ASN1::AbstractData::InfoType* info = MessageModules::findType(env_, type);
        return std::unique_ptr<ASN1::AbstractData>(info ? info->create(info) : nullptr);
    }

private:
    ASN1::CoderEnv env_;
};

std::string encodeBer(const ASN1::AbstractData& value)
{
    std::vector<char> out;
    if (ASN1::CoderEnv(ASN1::CoderEnv::ber).encode(value, out) < 0)
        return "FAIL";
    return VectorFile::toHex(std::vector<unsigned char>(out.begin(), out.end()));
}

bool decodeBer(const std::vector<unsigned char>& octets, ASN1::AbstractData& value)
{
    const char* first = reinterpret_cast<const char*>(octets.data());
    return ASN1::CoderEnv(ASN1::CoderEnv::ber).decode(first, first + octets.size(), value);
}

struct Sample {
    std::string type;
    std::vector<unsigned char> octets;
};

// Checks one file; collects the BER encodings it holds.
void checkFile(const Modules& modules, const std::string& path, std::vector<Sample>& samples, unsigned& checked)
{
    for (const VectorFile::Block& b : VectorFile::read(path)) {
        SCOPED_TRACE(b.id + " (" + b.type + ") " + b.file + ":" + std::to_string(b.line));
        const auto value = modules.make(b.type);
        ASSERT_TRUE(value) << "no such type";
        if (b.encoding == "ber") {
            const bool decoded = decodeBer(VectorFile::fromHex(b.data), *value);
            if (b.expect == "decode-fails") {
                EXPECT_FALSE(decoded) << b.reason;
            } else {
                ASSERT_TRUE(decoded) << b.reason;
                const auto expected = modules.make(b.type);
                ASSERT_TRUE(expected->setFromValueNotation(b.value));
                EXPECT_EQ(value->compare(*expected), 0) << value->asValueNotation();
            }
            ++checked;
            continue;
        }
        if (!b.encoding.empty() || !b.hasValue)
            continue;
        ASSERT_TRUE(value->setFromValueNotation(b.value));
        std::ostringstream trace;
        EXPECT_TRUE(ASN1::trace_invalid(trace, "invalid:", *value)) << trace.str();
        if (!b.hasBer) {
            EXPECT_TRUE(b.hasFlag("no-ber"));
            continue;
        }
        EXPECT_EQ(encodeBer(*value), b.ber);
        EXPECT_EQ(ASN1::getObjectLength(*value, ASN1::Ber::ownTag), b.ber.size() / 2);
        const auto decoded = modules.make(b.type);
        ASSERT_TRUE(decodeBer(VectorFile::fromHex(b.ber), *decoded));
        EXPECT_EQ(decoded->compare(*value), 0) << decoded->asValueNotation();
        samples.push_back({b.type, VectorFile::fromHex(b.ber)});
        ++checked;
    }
}

} // namespace

TEST(BerVectors, EveryBerLineAndFrameAsGiven)
{
    const Modules modules;
    std::vector<Sample> samples;
    unsigned checked = 0;
    for (const std::string& path : VectorFile::listTextFiles(VectorFile::directory()))
        checkFile(modules, path, samples, checked);
}

TEST(BerVectors, MutatedEncodingsFailCleanlyOrRoundTrip)
{
    const Modules modules;
    std::vector<Sample> samples;
    unsigned checked = 0;
    for (const char* file : {"/LGCP.txt", "/TERM.txt", "/LEMZGW.txt", "/MON.txt"})
        checkFile(modules, VectorFile::directory() + file, samples, checked);
    ASSERT_FALSE(samples.empty());

    std::mt19937 random(777);
    unsigned roundTrips = 0;
    for (int round = 0; round < 60000; ++round) {
        const Sample& seed = samples[random() % samples.size()];
        std::vector<unsigned char> frame = seed.octets;
        for (unsigned flips = 1 + random() % 3; flips > 0; --flips)
            frame[random() % frame.size()] ^= static_cast<unsigned char>(1u << (random() % 8));
        if (random() % 4 == 0)
            frame.resize(random() % (frame.size() + 1));
        const auto value = modules.make(seed.type);
        if (!decodeBer(frame, *value) || !value->isValid())
            continue;
        const std::string again = encodeBer(*value);
        ASSERT_NE(again, "FAIL") << VectorFile::toHex(frame);
        const auto back = modules.make(seed.type);
        ASSERT_TRUE(decodeBer(VectorFile::fromHex(again), *back)) << VectorFile::toHex(frame);
        EXPECT_EQ(back->compare(*value), 0) << VectorFile::toHex(frame);
        ++roundTrips;
    }
    EXPECT_GT(roundTrips, 1000u);
}

TEST(BerVectors, DecodedSlotOutsideItsRangeIsTracedByPath)
{
    LGCP::Message message;
    message.set_slot(1024);
    message.get_pdu().select_command().select_ping();
    EXPECT_FALSE(message.isValid());
    std::ostringstream trace;
    EXPECT_FALSE(ASN1::trace_invalid(trace, "msg:", message));
    EXPECT_EQ(trace.str(), "msg:.slot The INTEGER value 1024 is greater than upper bound 1023\n");

    message.set_slot(3);
    ASN1::CHOICE& pdu = message.get_pdu();
    pdu.setSelection(pdu.getSelectionId(), nullptr);
    trace.str("");
    EXPECT_FALSE(ASN1::trace_invalid(trace, "msg:", message));
    EXPECT_EQ(trace.str(), "msg:.pdu This CHOICE is not selected\n");
    EXPECT_EQ(encodeBer(message), "FAIL");
}
