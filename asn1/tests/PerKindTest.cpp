// PER coding reached through each value's kind: classes that share a coder
// (named-number integers, open types), whole numbers of every width against
// the minimal and constrained forms, the character checks at every position
// of a string, and a value decoded again in place.
#include "asn1/PerCoder.h"
#include "asn1/tests/TestRecords.h"
#include "asn1/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>

using namespace ASN1;
using namespace GWTEST;

namespace {

const IntegerWithNamedNumber::NameEntry levels[] = {{0, "off"}, {9, "loud"}};

// The minimal two's-complement form: a length octet, then the octets.
std::string minimalForm(int value)
{
    unsigned octets = 1;
    while (octets < 4) {
        std::int64_t limit = std::int64_t{1} << (8 * octets - 1);
        if (value >= -limit && value < limit)
            break;
        ++octets;
    }
    std::vector<char> out(1, static_cast<char>(octets));
    for (unsigned i = octets; i-- > 0;)
        out.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i)));
    return hex(out);
}

} // namespace

TEST(PerKinds, NamedNumberIntegersCodeAsIntegers)
{
    static const IntegerWithNamedNumber::InfoType ranged = {
        {{&create<IntegerWithNamedNumber>, 2}, FixedConstraint, 0, 15}, levels, 2};
    static const IntegerWithNamedNumber::InfoType open = {
        {{&create<IntegerWithNamedNumber>, 2}, Unconstrained, 0, 0xFFFFFFFFu}, levels, 2};
    for (bool aligned : {true, false}) {
        IntegerWithNamedNumber level(9, &ranged);
        Constrained_INTEGER<FixedConstraint, 0, 15> plain;
        plain.setValue(9u);
        ASSERT_EQ(per(level, aligned), per(plain, aligned));
        IntegerWithNamedNumber back(&ranged);
        ASSERT_TRUE(decodeHex(per(level, aligned), back, aligned));
        EXPECT_EQ(back.getValue(), 9);

        IntegerWithNamedNumber big(-300, &open);
        EXPECT_EQ(per(big, aligned), "02fed4");
    }
}

TEST(PerKinds, OpenTypesKeepTheirOctetsOrDecodeInPlace)
{
    static const TypeConstrainedOpenData::InfoType ofBoolean = {{&create<TypeConstrainedOpenData>, 0},
                                                                &BOOLEAN::theInfo};
    TypeConstrainedOpenData typed(&ofBoolean);
    static_cast<BOOLEAN&>(typed.get_data()).setValue(true);
    EXPECT_EQ(per(typed), "0180");
    TypeConstrainedOpenData typedBack(&ofBoolean);
    ASSERT_TRUE(decodeHex("02800099", typedBack)) << "the contents end at the length, not where decoding stopped";
    EXPECT_TRUE(static_cast<BOOLEAN&>(typedBack.get_data()).getValue());
    EXPECT_FALSE(decodeHex("0280", typedBack)) << "length beyond the input";

    OpenData raw;
    ASSERT_TRUE(decodeHex("0180", raw));
    ASSERT_TRUE(raw.has_buf());
    EXPECT_FALSE(raw.has_data());
    EXPECT_EQ(per(raw), "0180") << "undecoded octets go out as they came";

    PERDecoder decoder(nullptr, nullptr, nullptr, true);
    EXPECT_FALSE(decoder.revisit(raw)) << "nothing to decode into";
    raw.grab(new BOOLEAN);
    ASSERT_TRUE(decoder.revisit(raw));
    EXPECT_TRUE(static_cast<BOOLEAN&>(raw.get_data()).getValue());

    EXPECT_EQ(per(OpenData()), "0100") << "an empty open value is one zero octet";
}

TEST(PerKinds, UnconstrainedIntegersTakeTheMinimalForm)
{
    std::vector<int> values = {0, INT_MIN, INT_MAX};
    for (int bit = 0; bit < 31; ++bit)
        for (int delta : {-1, 0, 1}) {
            values.push_back((1 << bit) + delta);
            values.push_back(-(1 << bit) + delta);
        }
    std::mt19937 random(7);
    for (int i = 0; i < 500; ++i)
        values.push_back(static_cast<int>(random()) >> (random() % 32));

    for (int v : values) {
        INTEGER value(v, &INTEGER::theInfo), back;
        for (bool aligned : {true, false}) {
            ASSERT_EQ(per(value, aligned), minimalForm(v)) << v;
            ASSERT_TRUE(decodeHex(minimalForm(v), back, aligned)) << v;
            ASSERT_EQ(back.getValue(), v);
            // Followed by more octets, as inside a message.
            ASSERT_TRUE(decodeHex(minimalForm(v) + "a5a5a5a5a5a5a5a5", back, aligned)) << v;
            ASSERT_EQ(back.getValue(), v);
        }
    }
    // Five content octets are refused in either length form, with or without
    // octets behind; the two-octet form of a short length reads the same
    // number, and an empty number reads as 0.
    INTEGER back(5, &INTEGER::theInfo);
    for (const char* tail : {"", "a5a5a5a5a5a5a5a5"}) {
        EXPECT_FALSE(decodeHex(std::string("050102030405") + tail, back)) << tail;
        EXPECT_FALSE(decodeHex(std::string("80050102030405") + tail, back)) << tail;
        EXPECT_TRUE(decodeHex(std::string("8004f1020304") + tail, back)) << tail;
        EXPECT_EQ(back.getUnsignedValue(), 0xf1020304u);
        EXPECT_TRUE(decodeHex(std::string("00") + tail, back)) << tail;
        EXPECT_EQ(back.getValue(), 0);
    }
}

TEST(PerKinds, ConstrainedNumbersOfEveryWidthRoundTripAndNeedAllTheirOctets)
{
    std::vector<std::pair<int, unsigned>> ranges;
    for (unsigned bits = 1; bits <= 32; ++bits) {
        unsigned full = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        ranges.emplace_back(0, full);
        if (bits < 32)
            ranges.emplace_back(0, full + 1);
        if (bits < 31)
            ranges.emplace_back(1000, 1000 + full);
    }
    ranges.emplace_back(-128, 127);
    ranges.emplace_back(112000, 399975);

    for (auto [lower, upper] : ranges) {
        const INTEGER::InfoType rec = {{&create<INTEGER>, 2}, FixedConstraint, lower, upper};
        unsigned range = upper - static_cast<unsigned>(lower);
        for (unsigned offset : {0u, 1u, range / 2, range - 1, range}) {
            INTEGER value(static_cast<int>(static_cast<unsigned>(lower) + offset), &rec);
            for (bool aligned : {true, false}) {
                std::string text = per(value, aligned);
                ASSERT_NE(text, "FAIL") << lower << ".." << upper << " +" << offset;
                INTEGER back(&rec);
                ASSERT_TRUE(decodeHex(text, back, aligned)) << text;
                ASSERT_EQ(back.getValue(), value.getValue()) << text;
                for (std::size_t cut = 0; cut < text.size(); cut += 2)
                    ASSERT_FALSE(decodeHex(text.substr(0, cut), back, aligned)) << text << " cut " << cut / 2;
            }
        }
        if (upper < 0x7FFFFFFFu && lower >= 0) {
            EXPECT_EQ(per(INTEGER(static_cast<int>(upper + 1), &rec)), "FAIL") << upper;
        }
        if (lower != 0 || upper != 0xFFFFFFFFu) { // -1 is 0xFFFFFFFF to a range from 0
            EXPECT_EQ(per(INTEGER(lower - 1, &rec)), "FAIL") << lower;
        }
    }
}

TEST(PerStrings, EveryCharacterIsCheckedAtEveryPosition)
{
    for (std::size_t length = 1; length <= 40; ++length) {
        std::string clean(length, 'q');
        IA5String ok(clean);
        EXPECT_EQ(per(ok), hex(std::vector<char>(1, static_cast<char>(length))) + hex(std::vector<char>(clean.begin(), clean.end())));
        for (std::size_t at = 0; at < length; ++at) {
            std::string text = clean;
            text[at] = '\x80';
            ASSERT_EQ(per(IA5String(text)), "FAIL") << length << " at " << at;
            text[at] = '\x7f';
            ASSERT_NE(per(IA5String(text)), "FAIL") << length << " at " << at;
        }
    }

    std::string visible(20, 'v');
    for (std::size_t at = 0; at < visible.size(); ++at)
        for (char c : {'\x1f', '\x7f', ' ', '~'}) {
            std::string text = visible;
            text[at] = c;
            bool inSet = c >= ' ' && c <= '~';
            EXPECT_EQ(per(AbstractString(&AbstractString::VisibleStringInfo, text)) != "FAIL", inSet) << at;
        }

    for (char c : {'@', '*', ':', '?'}) {
        bool inSet = c == ':' || c == '?';
        EXPECT_EQ(per(AbstractString(&AbstractString::PrintableStringInfo, std::string("ab") + c)) != "FAIL", inSet) << c;
    }

    std::string everyCode;
    for (int c = 0; c < 256; ++c)
        everyCode += static_cast<char>(c);
    EXPECT_NE(per(AbstractString(&AbstractString::GeneralStringInfo, everyCode)), "FAIL");
}

TEST(PerSequence, DecodingAgainInPlaceEqualsAFreshDecode)
{
    Record first;
    first.set_seq(70000);
    first.set_slot(1023);
    Inner& inner = first.ref_alt().select_inner();
    inner.set_flag(true);
    inner.set_name("left over");
    for (int v : {1, -2, 300})
        first.ref_list().push_back(INTEGER(v, &INTEGER::theInfo));
    first.set_colour(Colour::violet);
    first.set_note("n");

    Record second;
    second.ref_alt().select_num() = 7u;
    second.ref_list().push_back(INTEGER(5, &INTEGER::theInfo));

    for (bool aligned : {true, false}) {
        Record held;
        ASSERT_TRUE(decodeHex(per(first, aligned), held, aligned));
        EXPECT_EQ(held.compare(first), 0);
        ASSERT_TRUE(decodeHex(per(second, aligned), held, aligned));
        EXPECT_EQ(held.compare(second), 0);
        EXPECT_EQ(per(held, aligned), per(second, aligned));
        EXPECT_EQ(held.get_list().size(), 1u);
        EXPECT_EQ(held.extensionMap().size(), 0u);
    }
}
