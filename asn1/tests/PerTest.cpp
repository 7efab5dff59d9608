// Aligned and unaligned PER, byte for byte: whole numbers at their edges,
// lengths, strings, choices, extension additions and optional bitmaps, and
// records checked against encodings made by an independent encoder.
#include "asn1/PerCoder.h"
#include "asn1/tests/TestRecords.h"
#include "asn1/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

using namespace ASN1;
using namespace GWTEST;

namespace {

template <int lo, unsigned hi>
std::string constrained(unsigned value, bool aligned = true)
{
    Constrained_INTEGER<FixedConstraint, lo, hi> v;
    v.setValue(value);
    return per(v, aligned);
}

template <int lo, unsigned hi>
unsigned roundTrip(unsigned value, bool aligned = true)
{
    Constrained_INTEGER<FixedConstraint, lo, hi> v, back;
    v.setValue(value);
    std::string text = per(v, aligned);
    EXPECT_TRUE(decodeHex(text, back, aligned)) << text;
    return back.getUnsignedValue();
}

std::string unconstrained(int value)
{
    INTEGER v(value, &INTEGER::theInfo);
    return per(v);
}

} // namespace

TEST(PerWholeNumbers, UnconstrainedMinimalTwosComplement)
{
    EXPECT_EQ(unconstrained(0), "0100");
    EXPECT_EQ(unconstrained(127), "017f");
    EXPECT_EQ(unconstrained(128), "020080");
    EXPECT_EQ(unconstrained(-1), "01ff");
    EXPECT_EQ(unconstrained(-128), "0180");
    EXPECT_EQ(unconstrained(-129), "02ff7f");
    EXPECT_EQ(unconstrained(INT_MAX), "047fffffff");
    EXPECT_EQ(unconstrained(INT_MIN), "0480000000");
    EXPECT_EQ(unconstrained(-32769), "03ff7fff");

    for (int v : {0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, -32768, 8388607, -8388609, INT_MAX, INT_MIN}) {
        INTEGER in(v, &INTEGER::theInfo), out;
        ASSERT_TRUE(decodeHex(per(in), out)) << v;
        EXPECT_EQ(out.getValue(), v);
    }
    INTEGER out;
    EXPECT_FALSE(decodeHex("050000000001", out)) << "more than four octets";
    EXPECT_FALSE(decodeHex("02ff", out)) << "content shorter than its length";
}

TEST(PerWholeNumbers, ConstrainedRanges)
{
    EXPECT_EQ((constrained<0, 255>(7)), "07");
    EXPECT_EQ((constrained<0, 3>(2)), "80");        // the two bits 10
    EXPECT_EQ((constrained<0, 254>(254)), "fe");    // range 255: 8 bits, not aligned
    EXPECT_EQ((constrained<0, 256>(256)), "0100");  // range 257: two aligned octets
    EXPECT_EQ((constrained<0, 65535>(65535)), "ffff");
    EXPECT_EQ((constrained<0, 65536>(65536)), "80010000"); // length 3 in 1..3 (bits 10), then 3 octets
    EXPECT_EQ((constrained<112000, 399975>(112001)), "0001");
    EXPECT_EQ((constrained<0, 0xFFFFFFFFu>(0)), "0000");
    EXPECT_EQ((constrained<0, 0xFFFFFFFFu>(0xFFFFFFFFu)), "c0ffffffff");
    EXPECT_EQ((constrained<0, 0xFFFFFFFFu>(0x100)), "400100");
    EXPECT_EQ((constrained<5, 5>(5)), "");
    EXPECT_EQ((constrained<0, 1023>(3)), "0003");

    // Negative lower bounds compare as signed numbers.
    Constrained_INTEGER<FixedConstraint, -128, 127> small;
    small.setValue(-128);
    EXPECT_EQ(per(small), "00");
    small.setValue(127);
    EXPECT_EQ(per(small), "ff");
    small.setValue(-129);
    EXPECT_EQ(per(small), "FAIL");
    small.setValue(128);
    EXPECT_EQ(per(small), "FAIL");

    EXPECT_EQ((constrained<0, 255>(256)), "FAIL");
    EXPECT_EQ((constrained<112000, 399975>(111999)), "FAIL");

    // The unaligned variant packs the same values into CountBits of the range.
    EXPECT_EQ((constrained<0, 255>(7, false)), "07");
    EXPECT_EQ((constrained<0, 256>(256, false)), "8000"); // 9 bits
    EXPECT_EQ((constrained<0, 0xFFFFFFFFu>(1, false)), "00000001");

    EXPECT_EQ((roundTrip<0, 0xFFFFFFFFu>(0xFFFFFFFFu)), 0xFFFFFFFFu);
    EXPECT_EQ((roundTrip<0, 0xFFFFFFFFu>(0x12345)), 0x12345u);
    EXPECT_EQ((roundTrip<112000, 399975>(399975)), 399975u);
    EXPECT_EQ((roundTrip<0, 65536>(65536, false)), 65536u);
    EXPECT_EQ((roundTrip<-128, 127>(static_cast<unsigned>(-5))), static_cast<unsigned>(-5));
}

TEST(PerWholeNumbers, DecoderDoesNotRangeCheckButNeedsItsBits)
{
    // 0..1023 in 10 bits inside two octets: 1023 is the largest the bits hold.
    Constrained_INTEGER<FixedConstraint, 0, 999> v;
    ASSERT_TRUE(decodeHex("03ff", v));
    EXPECT_EQ(v.getValue(), 1023u);
    EXPECT_FALSE(decodeHex("03", v)) << "input ends before the bits";
    EXPECT_FALSE(decodeHex("", v));
}

TEST(PerLengths, UnconstrainedForms)
{
    for (auto [count, prefix] : std::vector<std::pair<unsigned, std::string>>{
             {0, "00"}, {127, "7f"}, {128, "8080"}, {16383, "bfff"}}) {
        OCTET_STRING s(count, 'a');
        std::string text = per(s);
        EXPECT_EQ(text.substr(0, prefix.size()), prefix) << count;
        EXPECT_EQ(text.size(), prefix.size() + 2 * count);
        OCTET_STRING back;
        ASSERT_TRUE(decodeHex(text, back));
        EXPECT_EQ(back.size(), count);
    }
    OCTET_STRING tooLong(16384, 'a');
    EXPECT_EQ(per(tooLong), "FAIL");

    OCTET_STRING back;
    EXPECT_FALSE(decodeHex("c001", back)) << "fragmentation prefix";
    EXPECT_FALSE(decodeHex("ffff", back));
    EXPECT_FALSE(decodeHex("80", back)) << "two-octet length cut short";
}

TEST(PerStrings, OctetStringShortFormsAndBlocks)
{
    OCTET_STRING one(std::vector<char>{'\x12'});
    EXPECT_EQ(per(one), "0112");
    OCTET_STRING three(std::vector<char>{1, 2, 3});
    EXPECT_EQ(per(three), "03010203");
    EXPECT_EQ(per(three, false), "03010203");

    // Fixed size 2 is not aligned: it follows a BOOLEAN directly.
    static const ConstrainedObject::InfoType fixed2 = {{&create<OCTET_STRING>, 4}, FixedConstraint, 2, 2};
    static const AbstractData::InfoType* const infos[] = {&BOOLEAN::theInfo, &fixed2};
    static const int ids[] = {-1, -1};
    static const char* const names[] = {"b", "o"};
    static const SEQUENCE::InfoType seqInfo = {{&create<SEQUENCE>, 16}, false, infos, ids, 2, 0, 0, nullptr, nullptr, names};
    SEQUENCE seq(&seqInfo);
    static_cast<BOOLEAN*>(seq.getField(0))->setValue(true);
    static_cast<OCTET_STRING*>(seq.getField(1))->assign({'\xff', '\x01'});
    EXPECT_EQ(per(seq), "ff8080");
    SEQUENCE back(&seqInfo);
    ASSERT_TRUE(decodeHex("ff8080", back));
    EXPECT_EQ(back.compare(seq), 0);
    EXPECT_FALSE(decodeHex("ff80", back));
}

TEST(PerStrings, EveryCharacterStringKind)
{
    IA5String ia5("AB");
    EXPECT_EQ(per(ia5), "024142");
    EXPECT_EQ(per(ia5, false), "028308"); // 7 bits each after an aligned length
    IA5String bad(std::string("\x80"));
    EXPECT_EQ(per(bad), "FAIL");

    AbstractString numeric(&AbstractString::NumericStringInfo, "1 9");
    EXPECT_EQ(per(numeric), "0320a0"); // indexes 2, 0, 10 in 4 bits
    AbstractString printable(&AbstractString::PrintableStringInfo, "a");
    EXPECT_EQ(per(printable), "0161");
    EXPECT_EQ(per(AbstractString(&AbstractString::PrintableStringInfo, "*")), "FAIL");
    AbstractString visible(&AbstractString::VisibleStringInfo, "~");
    EXPECT_EQ(per(visible, false), "01fc");
    AbstractString general(&AbstractString::GeneralStringInfo, std::string("\xe9"));
    EXPECT_EQ(per(general, false), "01e9");

    BMPString bmp(L"\x0141" L"A");
    EXPECT_EQ(per(bmp), "0201410041");

    // Size-constrained IA5String (1..64): constrained length, then aligned block.
    static const AbstractString::InfoType sized = {
        {{&create<IA5String>, 22}, FixedConstraint, 1, 64}, IA5StringSet, 128, 7, 7, 8};
    IA5String dname("xy", &sized);
    EXPECT_EQ(per(dname), "047879");        // length-1 in 6 bits, aligned chars
    EXPECT_EQ(per(dname, false), "07c790"); // 6 bits then 7-bit characters
    IA5String empty("", &sized);
    EXPECT_EQ(per(empty), "FAIL");

    for (const AbstractString* s : std::initializer_list<const AbstractString*>{&ia5, &numeric, &printable, &visible, &general, &dname})
        for (bool aligned : {true, false}) {
            AbstractString back(s->info());
            ASSERT_TRUE(decodeHex(per(*s, aligned), back, aligned)) << *s;
            EXPECT_EQ(static_cast<const std::string&>(back), static_cast<const std::string&>(*s));
        }
    BMPString bmpBack;
    ASSERT_TRUE(decodeHex("0201410041", bmpBack));
    EXPECT_EQ(bmpBack, std::wstring(L"\x0141" L"A"));

    AbstractString back(&AbstractString::NumericStringInfo);
    EXPECT_FALSE(decodeHex("01f0", back)) << "index beyond the character set";
    IA5String shortBlock;
    EXPECT_FALSE(decodeHex("054142", shortBlock)) << "block shorter than its count";
    EXPECT_FALSE(decodeHex("058308", shortBlock, false));
}

TEST(PerStrings, BitStringsAndObjectIdentifiers)
{
    BIT_STRING bits;
    bits.set(0, true);
    bits.set(2, true);
    bits.resize(4);
    EXPECT_EQ(per(bits), "04a0");
    BIT_STRING wide;
    wide.resize(17);
    wide.set(16, true);
    EXPECT_EQ(per(wide), "11000080"); // above 16 bits: an aligned block
    BIT_STRING back;
    ASSERT_TRUE(decodeHex("11000080", back));
    EXPECT_EQ(back.compare(wide), 0);
    EXPECT_FALSE(decodeHex("1100", back));

    OBJECT_IDENTIFIER oid{1, 2, 840};
    EXPECT_EQ(per(oid), "032a8648");
    OBJECT_IDENTIFIER oidBack;
    ASSERT_TRUE(decodeHex("032a8648", oidBack));
    EXPECT_EQ(oidBack.components(), (std::vector<unsigned>{1, 2, 840}));
    EXPECT_FALSE(decodeHex("0186", oidBack)) << "ends inside a subidentifier";
}

TEST(PerEnumerated, CodedByValueWithExtensionForm)
{
    Colour c;
    c = Colour::blue;
    EXPECT_EQ(per(c), "60"); // 0, then 6 in 0..6 as 110
    c = Colour::violet;
    EXPECT_EQ(per(c), "95a0"); // 1, small number 21, 20 in 0..20
    Colour back;
    ASSERT_TRUE(decodeHex("95a0", back));
    EXPECT_EQ(back.get(), Colour::violet);

    // maxEnumValue 12, value 13: bit 1, 0001110, then 13 in 0..13 as 1101.
    static const char* const names[] = {"a"};
    static const ENUMERATED::InfoType twelve = {{&create<ENUMERATED>, 10}, true, 12, names, 1, nullptr};
    ENUMERATED e(&twelve);
    e.setValue(13);
    EXPECT_EQ(per(e), "8ed0");
    e.setValue(-1);
    EXPECT_EQ(per(e), "FAIL");
}

TEST(PerChoice, RootExtensionAndUnknownAlternatives)
{
    Alt alt;
    EXPECT_EQ(per(alt), "FAIL") << "no selection";
    alt.select_num() = 200u;
    EXPECT_EQ(per(alt), "20c8"); // 0, index 1 in 0..2, then aligned octet
    alt.select_text() = "hi";
    EXPECT_EQ(per(alt), "8003026869"); // 1, small 0, open type of 3 octets
    Alt back;
    ASSERT_TRUE(decodeHex("8003026869", back));
    EXPECT_EQ(back.currentSelection(), Alt::e_text);
    EXPECT_EQ(back.compare(alt), 0);

    // An id without an alternative object counts as no selection.
    alt.setSelection(Alt::e_num, nullptr);
    EXPECT_EQ(alt.currentSelection(), -1);
    EXPECT_EQ(per(alt), "FAIL");

    EXPECT_FALSE(decodeHex("8103000000", back)) << "extension alternative this build does not know";
    EXPECT_EQ(back.currentSelection(), CHOICE::unknownSelection_);
    EXPECT_FALSE(decodeHex("60", back)) << "root index 3 of 3 alternatives";
    EXPECT_FALSE(decodeHex("8005026869", back)) << "open type longer than the input";
    EXPECT_FALSE(decodeHex("", back));
}

TEST(PerSequence, OptionalBitmapsAndExtensionAdditions)
{
    Record r;
    r.ref_alt().select<Null>(Alt::e_none);
    EXPECT_EQ(per(r), "0000");
    r.set_seq(5);
    r.set_slot(3);
    EXPECT_EQ(per(r), "6001050003" "0000");

    r.set_note("\x01");
    EXPECT_EQ(per(r), "e00105000300" "00" "02" "80" "020101"); // bitmap 2 bits 01, one addition of 2 octets
    Record back;
    ASSERT_TRUE(decodeHex(per(r), back));
    EXPECT_EQ(back.compare(r), 0);
    EXPECT_TRUE(back.hasOptionalField(Record::o_note));
    EXPECT_FALSE(back.hasOptionalField(Record::o_colour));

    r.set_colour(Colour::green);
    std::string both = per(r);
    ASSERT_TRUE(decodeHex(both, back));
    EXPECT_EQ(back.compare(r), 0);

    // Included then removed: no extension bit, no bitmap.
    Record solo;
    solo.ref_alt().select<Null>(Alt::e_none);
    solo.set_colour(Colour::red);
    solo.removeOptionalField(Record::o_colour);
    EXPECT_EQ(per(solo), "0000");

    // A value reused for another decode keeps none of the earlier additions.
    ASSERT_TRUE(decodeHex("0000", back));
    EXPECT_FALSE(back.hasOptionalField(Record::o_note));
    EXPECT_FALSE(back.hasOptionalField(Record::o_colour));
}

TEST(PerSequence, UnknownAdditionsAreSkipped)
{
    // Record with three additions present, the third unknown to this build;
    // it ends exactly at the last input octet.
    std::string frame = "80" "00" "05c0" "0160" "020101" "02abcd";
    Record back;
    ASSERT_TRUE(decodeHex(frame, back));
    EXPECT_EQ(back.get_colour().get(), Colour::blue);
    EXPECT_EQ(back.get_note().size(), 1u);
    EXPECT_FALSE(decodeHex(frame.substr(0, frame.size() - 2), back)) << "skip past the end";

    // 129 additions in the bitmap exceed the decoder limit.
    Record many;
    EXPECT_FALSE(decodeHex("8000" "800180" + std::string(40, '0'), many));
}

TEST(PerSequenceOf, CountsAndElementLimit)
{
    SEQUENCE_OF<INTEGER> list;
    EXPECT_EQ(per(list), "00");
    list.push_back(INTEGER(1, &INTEGER::theInfo));
    list.push_back(INTEGER(-1, &INTEGER::theInfo));
    EXPECT_EQ(per(list), "02" "0101" "01ff");

    std::string frame128 = "8080";
    for (int i = 0; i < 128; ++i)
        frame128 += "0107";
    SEQUENCE_OF<INTEGER> back;
    ASSERT_TRUE(decodeHex(frame128, back));
    EXPECT_EQ(back.size(), 128u);
    EXPECT_EQ(back[127].getValue(), 7);

    std::string frame129 = "8081";
    for (int i = 0; i < 129; ++i)
        frame129 += "0107";
    EXPECT_FALSE(decodeHex(frame129, back));

    // A failing element is dropped with those after it.
    EXPECT_FALSE(decodeHex("03" "0101" "0102" "05", back));
    EXPECT_EQ(back.size(), 2u);

    // A size-constrained list takes the constrained length form.
    SEQUENCE_OF<BOOLEAN, SizeConstraint<1, 4>> small;
    small.push_back(BOOLEAN(true, &BOOLEAN::theInfo));
    EXPECT_EQ(per(small), "20"); // count-1 in 2 bits, then the bit
    SEQUENCE_OF<BOOLEAN, SizeConstraint<1, 4>> empty;
    EXPECT_EQ(per(empty), "FAIL");
}

TEST(PerIndependentVectors, RecordsMatchTheOtherEncoder)
{
    struct Vector {
        int trunk, state, slips, lossBF, lossCarrier, lossAIS, lossRAI;
        const char* name;
        bool clockMaster;
        int type;
        const char *aper, *uper;
    };
    const Vector vectors[] = {
        {127, 4, 274, -515185923, 2014936639, -905887261, 838, "9", true, 0,
         "00017f8002011204e14ae2fd0478197e3f04ca0141e3020346013980",
         "00017f8002011204e14ae2fd0478197e3f04ca0141e3020346017300"},
        {-1, 0, -1, 1, 0, 0, 1, "", false, 0, "0001ff0001ff01010100010001010000",
         "0001ff0001ff01010100010001010000"},
    };
    for (const Vector& v : vectors) {
        TrunkStatus ts;
        const int numbers[] = {v.trunk, v.slips, v.lossBF, v.lossCarrier, v.lossAIS, v.lossRAI};
        const int positions[] = {0, 2, 3, 4, 5, 6};
        for (int i = 0; i < 6; ++i)
            ts.field<INTEGER>(positions[i]).setValue(numbers[i]);
        ts.field<TrunkState>(TrunkStatus::e_state).setValue(v.state);
        ts.field<IA5String>(TrunkStatus::e_name) = v.name;
        ts.field<BOOLEAN>(TrunkStatus::e_clockMaster).setValue(v.clockMaster);
        ts.field<TrunkType>(TrunkStatus::e_type).setValue(v.type);
        EXPECT_EQ(per(ts), v.aper);
        EXPECT_EQ(per(ts, false), v.uper);
        TrunkStatus fromAper, fromUper;
        ASSERT_TRUE(decodeHex(v.aper, fromAper));
        ASSERT_TRUE(decodeHex(v.uper, fromUper, false));
        EXPECT_EQ(fromAper.compare(ts), 0);
        EXPECT_EQ(fromUper.compare(ts), 0);
    }

    HostAddress host;
    host.field<IA5String>(HostAddress::e_iaddr) = "JN5Le+wIF";
    host.field<INTEGER>(HostAddress::e_port).setValue(1);
    EXPECT_EQ(per(host), "094a4e354c652b7749460001");
    EXPECT_EQ(per(host, false), "099539acccaafbc98c0002");

    // Extension bitmaps as long as the last included addition.
    Params traceOnly;
    traceOnly.includeOptionalField(Params::o_traceLevel, Params::e_traceLevel);
    traceOnly.field<INTEGER>(Params::e_traceLevel).setValue(-1);
    EXPECT_EQ(per(traceOnly), "80010201ff");
    Params vadOnly;
    vadOnly.includeOptionalField(Params::o_vad, Params::e_vad);
    vadOnly.field<BOOLEAN>(Params::e_vad).setValue(true);
    EXPECT_EQ(per(vadOnly), "800c040180");
    EXPECT_EQ(per(vadOnly, false), "800c040180");
    Params back;
    ASSERT_TRUE(decodeHex("800c040180", back, false));
    EXPECT_EQ(back.compare(vadOnly), 0);
}
