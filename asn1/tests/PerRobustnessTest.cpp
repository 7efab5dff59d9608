// Malformed PER input: truncated, over-long and corrupted frames fail
// cleanly, claimed counts are checked before storage is taken, and a
// bounded fuzz loop over random and mutated frames never misbehaves.
#include "asn1/PerCoder.h"
#include "asn1/tests/TestRecords.h"
#include "asn1/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace ASN1;
using namespace GWTEST;

namespace {

Record fullRecord()
{
    Record r;
    r.set_seq(-70000);
    r.set_slot(1023);
    r.ref_alt().select_inner().set_name("abc");
    r.ref_list().push_back(INTEGER(300, &INTEGER::theInfo));
    r.set_colour(Colour::violet);
    r.set_note("note");
    return r;
}

std::vector<char> encode(const AbstractData& value, bool aligned)
{
    std::vector<char> out;
    CoderEnv(aligned ? CoderEnv::per_Aligned : CoderEnv::per_Unaligned).encode(value, out);
    return out;
}

bool decode(const std::vector<char>& octets, AbstractData& value, bool aligned)
{
    CoderEnv env(aligned ? CoderEnv::per_Aligned : CoderEnv::per_Unaligned);
    return env.decode(octets.data(), octets.data() + octets.size(), value);
}

} // namespace

TEST(PerRobustness, EveryTruncationFails)
{
    for (bool aligned : {true, false}) {
        Record full = fullRecord();
        std::vector<char> octets = encode(full, aligned);
        ASSERT_FALSE(octets.empty());
        for (std::size_t n = 0; n < octets.size(); ++n) {
            std::vector<char> prefix(octets.begin(), octets.begin() + static_cast<std::ptrdiff_t>(n));
            Record back;
            EXPECT_FALSE(decode(prefix, back, aligned)) << n << " of " << octets.size();
        }
        Record back;
        std::vector<char> longer = octets;
        longer.push_back('\x55');
        EXPECT_TRUE(decode(longer, back, aligned)) << "octets after the value are left over";
        EXPECT_EQ(back.compare(full), 0);
    }
}

TEST(PerRobustness, ClaimedCountsCheckedBeforeStorage)
{
    OCTET_STRING octets;
    EXPECT_FALSE(decodeHex("bf00" "0102", octets));
    EXPECT_LT(octets.capacity(), 1000u);
    IA5String text;
    EXPECT_FALSE(decodeHex("bf00" "41", text));
    EXPECT_LT(text.capacity(), 1000u);
    EXPECT_FALSE(decodeHex("bf00" "41", text, false));
    EXPECT_LT(text.capacity(), 1000u);
    BIT_STRING bits;
    EXPECT_FALSE(decodeHex("bf00" "ff", bits));
    EXPECT_LT(bits.bytes().capacity(), 1000u);
    static const ConstrainedObject::InfoType wide = {{&create<OCTET_STRING>, 4}, FixedConstraint, 0, 20000};
    OCTET_STRING large(&wide);
    EXPECT_FALSE(decodeHex("4e20" + std::string(40, '0'), large)) << "20000 octets: beyond the decoder limit";
    EXPECT_LT(large.capacity(), 1000u);

    // An open type that claims more octets than remain.
    Params params;
    EXPECT_FALSE(decodeHex("8001" "7f01", params));
    // An unknown addition that claims more than remains.
    Record r;
    EXPECT_FALSE(decodeHex("8000" "05c0" "0160" "020101" "7f", r));
}

TEST(PerRobustness, RandomAndMutatedFramesNeverMisbehave)
{
    std::mt19937 random(20240102);
    std::vector<std::vector<char>> seeds;
    for (bool aligned : {true, false}) {
        seeds.push_back(encode(fullRecord(), aligned));
        TrunkStatus ts;
        ts.field<IA5String>(TrunkStatus::e_name) = "trunk";
        seeds.push_back(encode(ts, aligned));
    }
    unsigned decoded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<char> frame;
        if (round % 4 == 0) {
            frame.resize(random() % 40);
            for (char& c : frame)
                c = static_cast<char>(random());
        } else {
            frame = seeds[random() % seeds.size()];
            for (unsigned flips = 1 + random() % 4; flips > 0 && !frame.empty(); --flips)
                frame[random() % frame.size()] ^= static_cast<char>(1u << (random() % 8));
            if (random() % 3 == 0)
                frame.resize(random() % (frame.size() + 1));
        }
        bool aligned = round % 2 == 0;
        Record record;
        TrunkStatus status;
        AbstractData& value = round % 3 == 0 ? static_cast<AbstractData&>(status) : record;
        if (!decode(frame, value, aligned))
            continue;
        ++decoded;
        // Whatever decoded re-encodes to something that decodes to the same value.
        std::vector<char> again = encode(value, aligned);
        if (again.empty())
            continue;
        std::unique_ptr<AbstractData> back(value.info()->create(value.infoRecord()));
        ASSERT_TRUE(decode(again, *back, aligned)) << hex(frame);
        EXPECT_EQ(back->compare(value), 0) << hex(frame);
    }
    EXPECT_GT(decoded, 100u);
}
