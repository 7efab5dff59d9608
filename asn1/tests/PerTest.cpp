// Aligned and unaligned PER, byte for byte: whole numbers of every width
// against their minimal and constrained forms, lengths, every string kind and
// character check, choices, extension additions and optional bitmaps,
// records checked against encodings made by an independent encoder, and
// malformed input (truncated, over-long, counts beyond the input) refused
// before storage is taken.
#include "asn1/PerCoder.h"
#include "asn1/modules/GWTEST.h"
#include "asn1/tests/Support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>

using namespace ASN1;
using namespace GWTEST;

namespace {

// The minimal two's-complement form: a length octet, then the octets.
std::string minimalForm(int value) {
  unsigned octets = 1;
  while (octets < 4 && (value < -(std::int64_t{1} << (8 * octets - 1)) || value >= std::int64_t{1} << (8 * octets - 1)))
    ++octets;
  std::vector<char> out(1, static_cast<char>(octets));
  for (unsigned i = octets; i-- > 0;) out.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i)));
  return hex(out);
}

INTEGER::InfoType range(int lower, unsigned upper) { return {{&create<INTEGER>, 2}, FixedConstraint, lower, upper}; }

Record fullRecord() {
  Record r;
  r.set_seq(-70000);
  r.set_slot(1023);
  r.get_alt().select_inner().set_name("abc");
  r.get_list().push_back(INTEGER(300, &INTEGER::theInfo));
  r.set_colour(Colour::violet);
  r.set_note("note");
  return r;
}

}  // namespace

TEST(PerWholeNumbers, UnconstrainedTakeTheMinimalForm) {
  EXPECT_EQ(minimalForm(128) + minimalForm(-129) + minimalForm(INT_MIN),
            "020080"
            "02ff7f"
            "0480000000");
  std::vector<int> values = {0, INT_MIN, INT_MAX};
  for (int bit = 0; bit < 31; ++bit)
    for (int delta : {-1, 0, 1}) {
      values.push_back((1 << bit) + delta);
      values.push_back(-(1 << bit) + delta);
    }
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) values.push_back(static_cast<int>(random()) >> (random() % 32));

  for (int v : values)
    for (int rule : {aper, uper}) {
      INTEGER back;
      ASSERT_EQ(encode(INTEGER(v, &INTEGER::theInfo), rule), minimalForm(v)) << v;
      ASSERT_TRUE(decode(minimalForm(v), back, rule)) << v;
      ASSERT_EQ(back.getValue(), v);
      // Followed by more octets, as inside a message.
      ASSERT_TRUE(decode(minimalForm(v) + "a5a5a5a5a5a5a5a5", back, rule)) << v;
      ASSERT_EQ(back.getValue(), v);
    }
  // Five content octets are refused in either length form, with or without
  // octets behind; the two-octet form of a short length reads the same
  // number, an empty number reads as 0, and the content must be there.
  INTEGER back(5, &INTEGER::theInfo);
  for (const std::string tail : {"", "a5a5a5a5a5a5a5a5"}) {
    EXPECT_FALSE(decode("050102030405" + tail, back)) << tail;
    EXPECT_FALSE(decode("80050102030405" + tail, back)) << tail;
    EXPECT_TRUE(decode("8004f1020304" + tail, back)) << tail;
    EXPECT_EQ(back.getUnsignedValue(), 0xf1020304u);
    EXPECT_TRUE(decode("00" + tail, back)) << tail;
    EXPECT_EQ(back.getValue(), 0);
  }
  EXPECT_FALSE(decode("02ff", back)) << "content shorter than its length";
}

TEST(PerWholeNumbers, ConstrainedFormsOfEveryWidth) {
  const struct {
    int lower;
    unsigned upper, value;
    const char *aligned, *unaligned;
  } forms[] = {
      {0, 255, 7, "07", "07"},
      {0, 3, 2, "80", "80"},          // the two bits 10
      {0, 254, 254, "fe", "fe"},      // range 255: 8 bits, not aligned
      {0, 256, 256, "0100", "8000"},  // range 257: two aligned octets; 9 bits
      {0, 65535, 65535, "ffff", "ffff"},
      {0, 65536, 65536, "80010000", "800000"},  // length 3 in 1..3 (bits 10), then 3 octets
      {112000, 399975, 112001, "0001", "000020"},
      {0, 0xFFFFFFFFu, 0, "0000", "00000000"},
      {0, 0xFFFFFFFFu, 0xFFFFFFFFu, "c0ffffffff", "ffffffff"},
      {0, 0xFFFFFFFFu, 0x100, "400100", "00000100"},
      {5, 5, 5, "", ""},
      {0, 1023, 3, "0003", "00c0"},
      {-128, 127, static_cast<unsigned>(-128), "00", "00"},  // signed bounds compare as signed
      {-128, 127, 127, "ff", "ff"},
      {-128, 127, static_cast<unsigned>(-129), "FAIL", "FAIL"},
      {-128, 127, 128, "FAIL", "FAIL"},
      {0, 255, 256, "FAIL", "FAIL"},
      {112000, 399975, 111999, "FAIL", "FAIL"},
  };
  for (const auto& f : forms) {
    const INTEGER::InfoType rec = range(f.lower, f.upper);
    INTEGER value(static_cast<int>(f.value), &rec);
    EXPECT_EQ(encode(value, aper), f.aligned) << f.lower << ".." << f.upper << " " << f.value;
    EXPECT_EQ(encode(value, uper), f.unaligned) << f.lower << ".." << f.upper << " " << f.value;
  }

  // Every width round trips and needs all of its octets.
  std::vector<std::pair<int, unsigned>> ranges = {{-128, 127}, {112000, 399975}};
  for (unsigned bits = 1; bits <= 32; ++bits) {
    unsigned full = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    ranges.emplace_back(0, full);
    if (bits < 32) ranges.emplace_back(0, full + 1);
    if (bits < 31) ranges.emplace_back(1000, 1000 + full);
  }
  for (auto [lower, upper] : ranges) {
    const INTEGER::InfoType rec = range(lower, upper);
    unsigned span = upper - static_cast<unsigned>(lower);
    for (unsigned offset : {0u, 1u, span / 2, span - 1, span}) {
      INTEGER value(static_cast<int>(static_cast<unsigned>(lower) + offset), &rec);
      for (int rule : {aper, uper}) {
        std::string text = encode(value, rule);
        INTEGER back(&rec);
        ASSERT_TRUE(decode(text, back, rule)) << lower << ".." << upper << " +" << offset << ": " << text;
        ASSERT_EQ(back.getValue(), value.getValue()) << text;
        for (std::size_t cut = 0; cut < text.size(); cut += 2)
          ASSERT_FALSE(decode(text.substr(0, cut), back, rule)) << text << " cut " << cut / 2;
      }
    }
    if (upper < 0x7FFFFFFFu && lower >= 0) {
      EXPECT_EQ(encode(INTEGER(static_cast<int>(upper + 1), &rec)), "FAIL") << upper;
    }
    if (lower != 0 || upper != 0xFFFFFFFFu) {  // -1 is 0xFFFFFFFF to a range from 0
      EXPECT_EQ(encode(INTEGER(lower - 1, &rec)), "FAIL") << lower;
    }
  }

  // The decoder does not range-check: 0..999 in 10 bits reads 1023.
  const INTEGER::InfoType upTo999 = range(0, 999);
  INTEGER v(&upTo999);
  ASSERT_TRUE(decode("03ff", v));
  EXPECT_EQ(v.getValue(), 1023);
}

TEST(PerWholeNumbers, NamedNumberIntegersCodeAsIntegers) {
  static const IntegerWithNamedNumber::NameEntry levels[] = {{0, "off"}, {9, "loud"}};
  static const IntegerWithNamedNumber::InfoType ranged = {
      {{&create<IntegerWithNamedNumber>, 2}, FixedConstraint, 0, 15}, levels, 2};
  static const IntegerWithNamedNumber::InfoType open = {
      {{&create<IntegerWithNamedNumber>, 2}, Unconstrained, 0, 0xFFFFFFFFu}, levels, 2};
  const INTEGER::InfoType plain = range(0, 15);
  for (int rule : {aper, uper}) {
    IntegerWithNamedNumber level(9, &ranged), back(&ranged);
    ASSERT_EQ(encode(level, rule), encode(INTEGER(9, &plain), rule));
    ASSERT_TRUE(decode(encode(level, rule), back, rule));
    EXPECT_EQ(back.getValue(), 9);
    EXPECT_EQ(encode(IntegerWithNamedNumber(-300, &open), rule), "02fed4");
  }
}

TEST(PerLengths, UnconstrainedForms) {
  for (auto [count, prefix] :
       std::vector<std::pair<unsigned, std::string>>{{0, "00"}, {127, "7f"}, {128, "8080"}, {16383, "bfff"}}) {
    OCTET_STRING s(count, 'a');
    std::string text = encode(s);
    EXPECT_EQ(text.substr(0, prefix.size()), prefix) << count;
    EXPECT_EQ(text.size(), prefix.size() + 2 * count);
    OCTET_STRING back;
    ASSERT_TRUE(decode(text, back));
    EXPECT_EQ(back.size(), count);
  }
  EXPECT_EQ(encode(OCTET_STRING(16384, 'a')), "FAIL");

  OCTET_STRING back;
  EXPECT_FALSE(decode("c001", back)) << "fragmentation prefix";
  EXPECT_FALSE(decode("ffff", back));
  EXPECT_FALSE(decode("80", back)) << "two-octet length cut short";
}

TEST(PerStrings, OctetStringShortFormsAndBlocks) {
  EXPECT_EQ(encode(OCTET_STRING(std::vector<char>{'\x12'})), "0112");
  EXPECT_EQ(encode(OCTET_STRING(std::vector<char>{1, 2, 3}), uper), "03010203");

  // Fixed size 2 is not aligned: it follows a BOOLEAN directly.
  static const ConstrainedObject::InfoType fixed2 = {{&create<OCTET_STRING>, 4}, FixedConstraint, 2, 2};
  static const AbstractData::InfoType* const infos[] = {&BOOLEAN::theInfo, &fixed2};
  static const int ids[] = {-1, -1};
  static const char* const names[] = {"b", "o"};
  static const SEQUENCE::InfoType seqInfo = {
      {&create<SEQUENCE>, 16}, false, infos, ids, 2, 0, 0, nullptr, nullptr, names};
  SEQUENCE seq(&seqInfo);
  seq.field<BOOLEAN>(0).setValue(true);
  seq.field<OCTET_STRING>(1).assign({'\xff', '\x01'});
  EXPECT_EQ(encode(seq), "ff8080");
  SEQUENCE back(&seqInfo);
  ASSERT_TRUE(decode("ff8080", back));
  EXPECT_EQ(back.compare(seq), 0);
  EXPECT_FALSE(decode("ff80", back));
}

TEST(PerStrings, EveryCharacterStringKind) {
  static const AbstractString::InfoType sized = {
      {{&create<IA5String>, 22}, FixedConstraint, 1, 64}, IA5StringSet, 128, 7, 7, 8};
  const struct {
    AbstractString value;
    const char *aligned, *unaligned;
  } kinds[] = {
      {IA5String("AB"), "024142", "028308"},  // 7 bits each after an aligned length
      {AbstractString(&AbstractString::NumericStringInfo, "1 9"), "0320a0", nullptr},  // indexes 2, 0, 10 in 4 bits
      {AbstractString(&AbstractString::PrintableStringInfo, "a"), "0161", nullptr},
      {AbstractString(&AbstractString::VisibleStringInfo, "~"), nullptr, "01fc"},
      {AbstractString(&AbstractString::GeneralStringInfo, "\xe9"), nullptr, "01e9"},
      {IA5String("xy", &sized), "047879", "07c790"},  // length-1 in 6 bits; aligned characters
  };
  for (const auto& k : kinds)
    for (int rule : {aper, uper}) {
      const char* expected = rule == aper ? k.aligned : k.unaligned;
      if (expected) {
        EXPECT_EQ(encode(k.value, rule), expected) << k.value;
      }
      AbstractString back(k.value.info());
      ASSERT_TRUE(decode(encode(k.value, rule), back, rule)) << k.value;
      EXPECT_EQ(back.getValue(), k.value.getValue());
    }
  EXPECT_EQ(encode(IA5String("", &sized)), "FAIL");
  EXPECT_EQ(encode(AbstractString(&AbstractString::PrintableStringInfo, "*")), "FAIL");

  EXPECT_EQ(encode(BMPString(L"\x0141"
                             L"A")),
            "0201410041");
  BMPString bmpBack;
  ASSERT_TRUE(decode("0201410041", bmpBack));
  EXPECT_EQ(bmpBack, std::wstring(L"\x0141"
                                  L"A"));

  AbstractString numeric(&AbstractString::NumericStringInfo);
  EXPECT_FALSE(decode("01f0", numeric)) << "index beyond the character set";
  IA5String shortBlock;
  EXPECT_FALSE(decode("054142", shortBlock)) << "block shorter than its count";
  EXPECT_FALSE(decode("058308", shortBlock, uper));
}

TEST(PerStrings, EveryCharacterIsCheckedAtEveryPosition) {
  for (std::size_t length = 1; length <= 40; ++length) {
    std::string clean(length, 'q');
    EXPECT_EQ(encode(IA5String(clean)), hex({static_cast<char>(length)}) + hex({clean.begin(), clean.end()}));
    for (std::size_t at = 0; at < length; ++at) {
      std::string text = clean;
      text[at] = '\x80';
      ASSERT_EQ(encode(IA5String(text)), "FAIL") << length << " at " << at;
      ASSERT_EQ(encode(IA5String(text), uper), "FAIL") << length << " at " << at;
      text[at] = '\x7f';
      ASSERT_NE(encode(IA5String(text)), "FAIL") << length << " at " << at;
    }
  }
  for (std::size_t at = 0; at < 20; ++at)
    for (char c : {'\x1f', '\x7f', ' ', '~'}) {
      std::string text(20, 'v');
      text[at] = c;
      bool inSet = c >= ' ' && c <= '~';
      EXPECT_EQ(encode(AbstractString(&AbstractString::VisibleStringInfo, text)) != "FAIL", inSet) << at;
    }
  for (char c : {'@', '*', ':', '?'})
    EXPECT_EQ(encode(AbstractString(&AbstractString::PrintableStringInfo, std::string("ab") + c)) != "FAIL",
              c == ':' || c == '?')
        << c;
  std::string everyCode;
  for (int c = 0; c < 256; ++c) everyCode += static_cast<char>(c);
  EXPECT_NE(encode(AbstractString(&AbstractString::GeneralStringInfo, everyCode)), "FAIL");
}

TEST(PerStrings, BitStringsAndObjectIdentifiers) {
  BIT_STRING bits;
  bits.set(0, true);
  bits.set(2, true);
  bits.resize(4);
  EXPECT_EQ(encode(bits), "04a0");
  BIT_STRING wide;
  wide.resize(17);
  wide.set(16, true);
  EXPECT_EQ(encode(wide), "11000080");  // above 16 bits: an aligned block
  BIT_STRING back;
  ASSERT_TRUE(decode("11000080", back));
  EXPECT_EQ(back.compare(wide), 0);
  EXPECT_FALSE(decode("1100", back));

  EXPECT_EQ(encode(OBJECT_IDENTIFIER{1, 2, 840}), "032a8648");
  OBJECT_IDENTIFIER oidBack;
  ASSERT_TRUE(decode("032a8648", oidBack));
  EXPECT_EQ(oidBack.components(), (std::vector<unsigned>{1, 2, 840}));
  EXPECT_FALSE(decode("0186", oidBack)) << "ends inside a subidentifier";
}

TEST(PerEnumerated, CodedByValueWithExtensionForm) {
  Colour c;
  c = Colour::blue;
  EXPECT_EQ(encode(c), "60");  // 0, then 6 in 0..6 as 110
  c = Colour::violet;
  EXPECT_EQ(encode(c), "95a0");  // 1, small number 21, 20 in 0..20
  Colour back;
  ASSERT_TRUE(decode("95a0", back));
  EXPECT_EQ(back.get(), Colour::violet);

  // maxEnumValue 12, value 13: bit 1, 0001110, then 13 in 0..13 as 1101.
  static const char* const names[] = {"a"};
  static const ENUMERATED::InfoType twelve = {{&create<ENUMERATED>, 10}, true, 12, names, 1, nullptr};
  ENUMERATED e(&twelve);
  e.setValue(13);
  EXPECT_EQ(encode(e), "8ed0");
  e.setValue(-1);
  EXPECT_EQ(encode(e), "FAIL");
}

TEST(PerChoice, RootExtensionAndUnknownAlternatives) {
  Alt alt;
  EXPECT_EQ(encode(alt), "FAIL") << "no selection";
  alt.select_num() = 200u;
  EXPECT_EQ(encode(alt), "20c8");  // 0, index 1 in 0..2, then aligned octet
  alt.select_text() = "hi";
  EXPECT_EQ(encode(alt), "8003026869");  // 1, small 0, open type of 3 octets
  Alt back;
  ASSERT_TRUE(decode("8003026869", back));
  EXPECT_EQ(back.currentSelection(), Alt::e_text);
  EXPECT_EQ(back.compare(alt), 0);

  // An id without an alternative object counts as no selection.
  alt.setSelection(Alt::e_num, nullptr);
  EXPECT_EQ(alt.currentSelection(), -1);
  EXPECT_EQ(encode(alt), "FAIL");

  EXPECT_FALSE(decode("8103000000", back)) << "extension alternative this build does not know";
  EXPECT_EQ(back.currentSelection(), CHOICE::unknownSelection_);
  EXPECT_FALSE(decode("60", back)) << "root index 3 of 3 alternatives";
  EXPECT_FALSE(decode("8005026869", back)) << "open type longer than the input";
  EXPECT_FALSE(decode("", back));
}

TEST(PerSequence, OptionalBitmapsAndExtensionAdditions) {
  Record r;
  r.get_alt().select_none();
  EXPECT_EQ(encode(r), "0000");
  r.set_seq(5);
  r.set_slot(3);
  EXPECT_EQ(encode(r),
            "6001050003"
            "0000");

  r.set_note("\x01");
  EXPECT_EQ(encode(r),
            "e00105000300"
            "00"
            "02"
            "80"
            "020101");  // bitmap 2 bits 01, one addition of 2 octets
  Record back;
  ASSERT_TRUE(decode(encode(r), back));
  EXPECT_EQ(back.compare(r), 0);
  EXPECT_TRUE(back.hasOptionalField(Record::o_note));
  EXPECT_FALSE(back.hasOptionalField(Record::o_colour));

  r.set_colour(Colour::green);
  ASSERT_TRUE(decode(encode(r), back));
  EXPECT_EQ(back.compare(r), 0);

  // Included then removed: no extension bit, no bitmap.
  Record solo;
  solo.get_alt().select_none();
  solo.set_colour(Colour::red);
  solo.removeOptionalField(Record::o_colour);
  EXPECT_EQ(encode(solo), "0000");

  // A value reused for another decode keeps none of the earlier additions.
  ASSERT_TRUE(decode("0000", back));
  EXPECT_FALSE(back.hasOptionalField(Record::o_note));
  EXPECT_FALSE(back.hasOptionalField(Record::o_colour));
}

TEST(PerSequence, UnknownAdditionsAreSkipped) {
  // Record with three additions present, the third unknown to this build;
  // it ends exactly at the last input octet.
  std::string frame =
      "80"
      "00"
      "05c0"
      "0160"
      "020101"
      "02abcd";
  Record back;
  ASSERT_TRUE(decode(frame, back));
  EXPECT_EQ(back.get_colour().get(), Colour::blue);
  EXPECT_EQ(back.get_note().size(), 1u);
  EXPECT_FALSE(decode(frame.substr(0, frame.size() - 2), back)) << "skip past the end";
  EXPECT_FALSE(
      decode("8000"
             "05c0"
             "0160"
             "020101"
             "7f",
             back))
      << "an unknown addition longer than the input";

  // 129 additions in the bitmap exceed the decoder limit.
  Record many;
  EXPECT_FALSE(
      decode("8000"
             "800180" +
                 std::string(40, '0'),
             many));
}

TEST(PerSequence, DecodingAgainInPlaceEqualsAFreshDecode) {
  Record first = fullRecord();
  Record second;
  second.get_alt().select_num() = 7u;
  second.get_list().push_back(INTEGER(5, &INTEGER::theInfo));

  for (int rule : {aper, uper}) {
    Record held;
    ASSERT_TRUE(decode(encode(first, rule), held, rule));
    EXPECT_EQ(held.compare(first), 0);
    ASSERT_TRUE(decode(encode(second, rule), held, rule));
    EXPECT_EQ(held.compare(second), 0);
    EXPECT_EQ(encode(held, rule), encode(second, rule));
    EXPECT_EQ(held.get_list().size(), 1u);
    EXPECT_EQ(held.extensionMap().size(), 0u);
  }
}

TEST(PerSequenceOf, CountsAndElementLimit) {
  SEQUENCE_OF<INTEGER> list;
  EXPECT_EQ(encode(list), "00");
  list.push_back(INTEGER(1, &INTEGER::theInfo));
  list.push_back(INTEGER(-1, &INTEGER::theInfo));
  EXPECT_EQ(encode(list),
            "02"
            "0101"
            "01ff");

  std::string frame128 = "8080";
  for (int i = 0; i < 128; ++i) frame128 += "0107";
  SEQUENCE_OF<INTEGER> back;
  ASSERT_TRUE(decode(frame128, back));
  EXPECT_EQ(back.size(), 128u);
  EXPECT_EQ(back[127].getValue(), 7);
  EXPECT_FALSE(decode("8081" + frame128.substr(4) + "0107", back));

  // A failing element is dropped with those after it.
  EXPECT_FALSE(
      decode("03"
             "0101"
             "0102"
             "05",
             back));
  EXPECT_EQ(back.size(), 2u);

  // A size-constrained list takes the constrained length form.
  SEQUENCE_OF<BOOLEAN, SizeConstraint<1, 4>> small;
  EXPECT_EQ(encode(small), "FAIL");
  small.push_back(BOOLEAN(true, &BOOLEAN::theInfo));
  EXPECT_EQ(encode(small), "20");  // count-1 in 2 bits, then the bit
}

TEST(PerOpenTypes, KeepTheirOctetsOrDecodeInPlace) {
  static const TypeConstrainedOpenData::InfoType ofBoolean = {{&create<TypeConstrainedOpenData>, 0}, &BOOLEAN::theInfo};
  TypeConstrainedOpenData typed(&ofBoolean);
  static_cast<BOOLEAN&>(typed.get_data()).setValue(true);
  EXPECT_EQ(encode(typed), "0180");
  TypeConstrainedOpenData typedBack(&ofBoolean);
  ASSERT_TRUE(decode("02800099", typedBack)) << "the contents end at the length, not where decoding stopped";
  EXPECT_TRUE(static_cast<BOOLEAN&>(typedBack.get_data()).getValue());
  EXPECT_FALSE(decode("0280", typedBack)) << "length beyond the input";

  OpenData raw;
  ASSERT_TRUE(decode("0180", raw));
  ASSERT_TRUE(raw.has_buf());
  EXPECT_FALSE(raw.has_data());
  EXPECT_EQ(encode(raw), "0180") << "undecoded octets go out as they came";

  PERDecoder decoder(nullptr, nullptr, nullptr, true);
  EXPECT_FALSE(decoder.revisit(raw)) << "nothing to decode into";
  raw.grab(new BOOLEAN);
  ASSERT_TRUE(decoder.revisit(raw));
  EXPECT_TRUE(static_cast<BOOLEAN&>(raw.get_data()).getValue());

  EXPECT_EQ(encode(OpenData()), "0100") << "an empty open value is one zero octet";
  Params params;
  EXPECT_FALSE(
      decode("8001"
             "7f01",
             params))
      << "an addition that claims more octets than remain";
}

TEST(PerIndependentVectors, RecordsMatchTheOtherEncoder) {
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
      {-1, 0, -1, 1, 0, 0, 1, "", false, 0, "0001ff0001ff01010100010001010000", "0001ff0001ff01010100010001010000"},
  };
  for (const Vector& v : vectors) {
    TrunkStatus ts;
    ts.set_trunk(v.trunk);
    ts.get_state().setValue(v.state);
    ts.set_slips(v.slips);
    ts.set_lossBF(v.lossBF);
    ts.set_lossCarrier(v.lossCarrier);
    ts.set_lossAIS(v.lossAIS);
    ts.set_lossRAI(v.lossRAI);
    ts.set_name(v.name);
    ts.set_clockMaster(v.clockMaster);
    ts.get_type().setValue(v.type);
    EXPECT_EQ(encode(ts, aper), v.aper);
    EXPECT_EQ(encode(ts, uper), v.uper);
    TrunkStatus fromAper, fromUper;
    ASSERT_TRUE(decode(v.aper, fromAper, aper));
    ASSERT_TRUE(decode(v.uper, fromUper, uper));
    EXPECT_EQ(fromAper.compare(ts), 0);
    EXPECT_EQ(fromUper.compare(ts), 0);
  }

  HostAddress host;
  host.set_iaddr("JN5Le+wIF");
  host.set_port(1);
  EXPECT_EQ(encode(host, aper), "094a4e354c652b7749460001");
  EXPECT_EQ(encode(host, uper), "099539acccaafbc98c0002");

  // Extension bitmaps as long as the last included addition.
  Params traceOnly;
  traceOnly.set_traceLevel(-1);
  EXPECT_EQ(encode(traceOnly), "80010201ff");
  Params vadOnly;
  vadOnly.set_vad(true);
  EXPECT_EQ(encode(vadOnly, aper), "800c040180");
  EXPECT_EQ(encode(vadOnly, uper), "800c040180");
  Params back;
  ASSERT_TRUE(decode("800c040180", back, uper));
  EXPECT_EQ(back.compare(vadOnly), 0);
}

TEST(PerRobustness, TruncationsAndClaimedCounts) {
  for (int rule : {aper, uper}) {
    Record full = fullRecord();
    std::vector<char> octets = unhex(encode(full, rule));
    for (std::size_t n = 0; n < octets.size(); ++n) {
      Record back;
      EXPECT_FALSE(
          decode(std::vector<char>(octets.begin(), octets.begin() + static_cast<std::ptrdiff_t>(n)), back, rule))
          << n << " of " << octets.size();
    }
    Record back;
    octets.push_back('\x55');
    EXPECT_TRUE(decode(octets, back, rule)) << "octets after the value are left over";
    EXPECT_EQ(back.compare(full), 0);
  }

  // Counts beyond the input are refused before storage is taken.
  OCTET_STRING octets;
  EXPECT_FALSE(
      decode("bf00"
             "0102",
             octets));
  EXPECT_LT(octets.capacity(), 1000u);
  IA5String text;
  for (int rule : {aper, uper}) {
    EXPECT_FALSE(
        decode("bf00"
               "41",
               text, rule));
    EXPECT_LT(text.capacity(), 1000u);
  }
  BIT_STRING bits;
  EXPECT_FALSE(
      decode("bf00"
             "ff",
             bits));
  EXPECT_LT(bits.bytes().capacity(), 1000u);
  static const ConstrainedObject::InfoType wide = {{&create<OCTET_STRING>, 4}, FixedConstraint, 0, 20000};
  OCTET_STRING large(&wide);
  EXPECT_FALSE(decode("4e20" + std::string(40, '0'), large)) << "20000 octets: beyond the decoder limit";
  EXPECT_LT(large.capacity(), 1000u);

  // A list that claims 100 elements and holds one makes two, not 100.
  static unsigned made;
  static const ConstrainedObject::InfoType counted = {
      {[](const void* info) { return ++made, create<INTEGER>(info); }, 2}, Unconstrained, 0, 0};
  static const SEQUENCE_OF_Base::InfoType list = {{{&create<SEQUENCE_OF_Base>, 16}, Unconstrained, 0, 0}, &counted};
  made = 0;  // counted from here, however often the test runs in this program
  SEQUENCE_OF_Base elements(&list);
  EXPECT_FALSE(
      decode("64"
             "0105",
             elements));
  EXPECT_EQ(made, 2u);
}
