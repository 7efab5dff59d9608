// BER: octets of every kind of value, length and tag forms at their edges,
// explicit CHOICE wrappers, open types, and decoding of malformed input
// (lengths beyond the input or the enclosing SEQUENCE, oversized tags,
// missing mandatory fields) with storage never sized by a claimed length.
#include "asn1/BerCoder.h"
#include "asn1/modules/GWTEST.h"
#include "asn1/tests/Support.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

using namespace ASN1;
using namespace GWTEST;

namespace {

bool decodeBer(const std::string& text, AbstractData& value) { return decode(text, value, ber); }

// Encodes, checks the octets, decodes into a fresh object of the same record
// and compares.
void roundTrip(const AbstractData& value, const std::string& expected) {
  ASSERT_EQ(encode(value, ber), expected);
  EXPECT_EQ(getObjectLength(value, Ber::ownTag), expected.size() / 2);
  std::unique_ptr<AbstractData> back(value.info()->create(value.infoRecord()));
  ASSERT_TRUE(decodeBer(expected, *back)) << expected;
  EXPECT_EQ(back->compare(value), 0) << expected;
}

const INTEGER::InfoType contextTag200 = {
    {&create<INTEGER>, makeTag(ContextSpecificTagClass, 200)}, Unconstrained, 0, 0xFFFFFFFFu};
const INTEGER::InfoType contextTag65535 = {
    {&create<INTEGER>, makeTag(ContextSpecificTagClass, 65535)}, Unconstrained, 0, 0xFFFFFFFFu};

// Outer ::= CHOICE { alt Alt, flag [APPLICATION 1] BOOLEAN }: a tag table
// whose first alternative is an untagged CHOICE.
const AbstractData::InfoType* const outerInfos[] = {&Alt::theInfo, &BOOLEAN::theInfo};
const unsigned outerTags[] = {0, makeTag(ApplicationTagClass, 1)};
const char* const outerNames[] = {"alt", "flag"};
const CHOICE::InfoType outerChoice = {{&create<CHOICE>, 0}, false, outerInfos, 2, 2, outerTags, outerNames};

// Plain ::= SEQUENCE { a INTEGER, b BOOLEAN OPTIONAL, c Alt }, every field
// with its own tag.
const AbstractData::InfoType* const plainInfos[] = {&INTEGER::theInfo, &BOOLEAN::theInfo, &Alt::theInfo};
const int plainIds[] = {-1, 0, -1};
const char* const plainNames[] = {"a", "b", "c"};
const SEQUENCE::InfoType plainSequence = {{&create<SEQUENCE>, makeTag(UniversalTagClass, 16)},
                                          false,
                                          plainInfos,
                                          plainIds,
                                          3,
                                          0,
                                          1,
                                          nullptr,
                                          &SEQUENCE::defaultTag,
                                          plainNames};

Record sampleRecord() {
  Record r;
  r.set_seq(5);
  r.get_alt().select_num() = 7u;
  r.get_list().push_back(INTEGER(1, &INTEGER::theInfo));
  r.get_list().push_back(INTEGER(-1, &INTEGER::theInfo));
  r.set_colour(Colour::green);
  return r;
}

}  // namespace

TEST(BerEncoding, SimpleValuesByteForByte) {
  for (auto [value, expected] : std::vector<std::pair<int, const char*>>{{0, "020100"},
                                                                         {127, "02017f"},
                                                                         {128, "02020080"},
                                                                         {-1, "0201ff"},
                                                                         {-128, "020180"},
                                                                         {-129, "0202ff7f"},
                                                                         {32768, "0203008000"},
                                                                         {-8388609, "0204ff7fffff"},
                                                                         {INT_MIN, "020480000000"},
                                                                         {INT_MAX, "02047fffffff"}})
    roundTrip(INTEGER(value, &INTEGER::theInfo), expected);

  roundTrip(Null(), "0500");
  roundTrip(BOOLEAN(true, &BOOLEAN::theInfo), "0101ff");
  roundTrip(BOOLEAN(false, &BOOLEAN::theInfo), "010100");
  Colour colour;
  colour = Colour::violet;
  roundTrip(colour, "0a0114");
  roundTrip(OBJECT_IDENTIFIER({1, 2, 840}), "06032a8648");
  roundTrip(IA5String("ab"), "16026162");
  roundTrip(BMPString(L"A\x263A"), "1e040041263a");
  const std::string time = "20240102030405Z";
  roundTrip(GeneralizedTime(2024, 1, 2, 3, 4, 5, 0, 0, true),
            "180f" + hex(std::vector<char>(time.begin(), time.end())));

  BIT_STRING bits;
  roundTrip(bits, "030100");
  bits.assign({'\xa0'}, 3);
  roundTrip(bits, "030205a0");
  bits.assign({'\x12', '\x34'}, 16);
  roundTrip(bits, "0303001234");
}

TEST(BerEncoding, LengthFormsAtTheirEdges) {
  const struct {
    unsigned count;
    const char* header;
  } edges[] = {{0, "0400"},       {127, "047f"},       {128, "048180"},      {255, "0481ff"},
               {256, "04820100"}, {65535, "0482ffff"}, {65536, "0483010000"}};
  for (const auto& e : edges) {
    OCTET_STRING octets(e.count, 'x');
    std::string expected = encode(octets, ber);
    ASSERT_EQ(expected.substr(0, std::string(e.header).size()), e.header) << e.count;
    EXPECT_EQ(getObjectLength(octets, Ber::ownTag), std::string(e.header).size() / 2 + e.count);
    EXPECT_EQ(getDataLength(octets), e.count);
    OCTET_STRING back;
    ASSERT_TRUE(decodeBer(expected, back));
    EXPECT_EQ(back.compare(octets), 0) << e.count;
  }
  // Not the fewest octets, and the indefinite form, still read.
  OCTET_STRING octets;
  ASSERT_TRUE(
      decodeBer("048400000001"
                "41",
                octets));
  EXPECT_EQ(std::string(octets), "A");
  ASSERT_TRUE(decodeBer("0480", octets));
  EXPECT_TRUE(octets.empty());
  EXPECT_FALSE(
      decodeBer("04850000000001"
                "41",
                octets))
      << "five length octets";
}

TEST(BerEncoding, TagNumbersInTheHighForm) {
  roundTrip(INTEGER(5, &contextTag200), "9f81480105");
  roundTrip(INTEGER(5, &contextTag65535), "9f83ff7f0105");

  INTEGER n(0, &contextTag65535);
  EXPECT_FALSE(decodeBer("9f8480000105", n)) << "tag 65536";
  EXPECT_FALSE(
      decodeBer("9f8180808080808001"
                "0105",
                n))
      << "tag far beyond 65535";
  EXPECT_FALSE(decodeBer("9f81", n)) << "tag ends with the input";
  EXPECT_EQ(n.getValue(), 0);
}

TEST(BerEncoding, SequencesChoicesAndLists) {
  Inner inner;
  inner.set_flag(true);
  roundTrip(inner, "30038001ff");

  roundTrip(sampleRecord(),
            "3013"
            "800105"
            "a203810107"
            "a306020101"
            "0201ff"
            "840105");

  // An untagged CHOICE on its own is just its alternative's element.
  Alt alt;
  alt.select_num() = 7u;
  roundTrip(alt, "810107");

  Record nested;
  nested.get_alt().select_inner().set_name("ab");
  roundTrip(nested,
            "300d"
            "a209a2078001008102"
            "6162"
            "a300");

  Record unselected;
  EXPECT_EQ(encode(unselected, ber), "FAIL");
  Alt idWithoutObject;
  idWithoutObject.setSelection(Alt::e_num, nullptr);
  EXPECT_EQ(encode(idWithoutObject, ber), "FAIL");
  Alt idBeyondRecord;
  idBeyondRecord.setSelection(9, new Null);
  EXPECT_EQ(encode(idBeyondRecord, ber), "FAIL");
}

TEST(BerEncoding, TagTablesAndOwnTags) {
  CHOICE outer(&outerChoice);
  outer.setSelection(1, new BOOLEAN(true, &BOOLEAN::theInfo));
  roundTrip(outer, "4101ff");
  auto* alt = new Alt;
  alt->select_num() = 7u;
  outer.setSelection(0, alt);
  roundTrip(outer, "810107");
  EXPECT_FALSE(decodeBer("8a0100", outer)) << "neither listed nor known to the nested CHOICE";
  EXPECT_EQ(outer.getSelectionId(), CHOICE::unknownSelection_);

  SEQUENCE plain(&plainSequence);
  static_cast<INTEGER*>(plain.getField(0))->setValue(5);
  static_cast<Alt*>(plain.getField(2))->select_num() = 7u;
  roundTrip(plain,
            "3006"
            "020105"
            "810107");
  plain.includeOptionalField(0, 1);
  static_cast<BOOLEAN*>(plain.getField(1))->setValue(true);
  roundTrip(plain,
            "3009"
            "020105"
            "0101ff"
            "810107");
  SEQUENCE missing(&plainSequence);
  EXPECT_FALSE(
      decodeBer("3003"
                "020105",
                missing))
      << "untagged mandatory CHOICE missing";
}

TEST(BerEncoding, OpenTypes) {
  OpenData empty;
  EXPECT_EQ(encode(empty, ber), "FAIL");

  OpenData holding;
  holding.grab(new INTEGER(5, &INTEGER::theInfo));
  EXPECT_EQ(encode(holding, ber), "020105") << "an untagged open type adds no header";

  OpenData read;
  ASSERT_TRUE(decodeBer("020105", read));
  ASSERT_TRUE(read.has_buf());
  EXPECT_EQ(hex(read.get_buf()), "020105");
  read.grab(new INTEGER);
  BERDecoder decoder(nullptr, nullptr, nullptr);
  ASSERT_TRUE(decoder.do_revisit(read));
  EXPECT_EQ(static_cast<const INTEGER&>(read.get_data()).getValue(), 5);
  EXPECT_EQ(encode(read, ber), "020105");

  static const TypeConstrainedOpenData::InfoType ofInteger = {{&create<TypeConstrainedOpenData>, 0}, &INTEGER::theInfo};
  TypeConstrainedOpenData typed(&ofInteger);
  ASSERT_TRUE(decodeBer("0202fffe", typed));
  EXPECT_EQ(static_cast<const INTEGER&>(typed.get_data()).getValue(), -2);

  static const OpenData::InfoType tagged = {&create<OpenData>, makeTag(ApplicationTagClass, 3)};
  OpenData wrapped(&tagged);
  wrapped.make_buf() = {'\x05', '\x00'};
  EXPECT_EQ(encode(wrapped, ber), "63020500") << "a tagged open type is a constructed wrapper";
  OpenData back(&tagged);
  ASSERT_TRUE(decodeBer("63020500", back));
  EXPECT_EQ(hex(back.get_buf()), "0500");
}

TEST(BerDecoding, FieldsAndTagsAsTheRecordSays) {
  Inner inner;
  EXPECT_FALSE(decodeBer("3000", inner)) << "mandatory flag missing";
  EXPECT_FALSE(
      decodeBer("3004"
                "81024142",
                inner))
      << "mandatory flag missing before name";
  ASSERT_TRUE(
      decodeBer("3007"
                "8001ff"
                "8500"
                "0500",
                inner))
      << "unknown trailing elements are skipped";
  EXPECT_TRUE(inner.get_flag().getValue());
  EXPECT_FALSE(inner.hasOptionalField(Inner::o_name));
  EXPECT_FALSE(
      decodeBer("3103"
                "8001ff",
                inner))
      << "SET where SEQUENCE is expected";
  INTEGER n;
  EXPECT_FALSE(decodeBer("040105", n)) << "without a permit a second tag is refused";

  // A new decode keeps nothing of the previous one.
  Record record;
  ASSERT_TRUE(
      decodeBer("3013"
                "800105"
                "a203810107"
                "a306020101"
                "0201ff"
                "840105",
                record));
  ASSERT_TRUE(
      decodeBer("300a"
                "a203810109"
                "a303020103",
                record));
  EXPECT_FALSE(record.hasOptionalField(Record::o_seq));
  EXPECT_FALSE(record.hasOptionalField(Record::o_colour));
  ASSERT_EQ(record.get_list().size(), 1u);
  EXPECT_EQ(record.get_list()[0].getValue(), 3);

  Alt alt;
  EXPECT_FALSE(decodeBer("840100", alt)) << "an alternative this build does not know";
  EXPECT_FALSE(decodeBer("020107", alt)) << "a universal tag names no alternative";
  ASSERT_TRUE(decodeBer("83026869", alt));
  EXPECT_EQ(alt.getSelectionId(), Alt::e_text);

  BIT_STRING bits;
  EXPECT_FALSE(decodeBer("030208ff", bits)) << "more than 7 unused bits";
  EXPECT_FALSE(decodeBer("030103", bits)) << "unused bits without octets";
  BMPString wide;
  EXPECT_FALSE(decodeBer("1e03004100", wide)) << "odd octet count";
  ASSERT_TRUE(decodeBer("1e020041", wide)) << "content ending with the input";
  OBJECT_IDENTIFIER oid;
  ASSERT_TRUE(decodeBer("06032a8648", oid));
  EXPECT_EQ(oid.levels(), 3u);
  EXPECT_FALSE(decodeBer("06022a86", oid)) << "ends inside a subidentifier";
  Colour colour;
  ASSERT_TRUE(decodeBer("0a01ff", colour));
  EXPECT_EQ(colour.getValue(), 255) << "an enumeration reads unsigned";
  Constrained_INTEGER<FixedConstraint, 0, 4294967295u> big;
  ASSERT_TRUE(decodeBer("02050080000000", big)) << "five octets keep the last 32 bits";
  EXPECT_EQ(big.getValue(), 2147483648u);
}

TEST(BerDecoding, LengthsBeyondTheInputOrTheEnclosingContent) {
  OCTET_STRING octets;
  EXPECT_FALSE(
      decodeBer("040a"
                "01020304",
                octets));
  EXPECT_FALSE(
      decodeBer("0484ffffffff"
                "41",
                octets));
  EXPECT_LT(octets.capacity(), 1000u);
  IA5String text;
  EXPECT_FALSE(
      decodeBer("1684ffffff00"
                "41",
                text));
  EXPECT_LT(text.capacity(), 1000u);
  BIT_STRING bits;
  EXPECT_FALSE(
      decodeBer("0384ffffff00"
                "00",
                bits));
  EXPECT_LT(bits.bytes().capacity(), 1000u);

  Record record;
  // Inner claims 8 octets inside a wrapper of 7.
  EXPECT_FALSE(
      decodeBer("300d"
                "a209a2088001008102"
                "6162"
                "a300",
                record));
  // The list's last element runs past the list, not past the SEQUENCE.
  EXPECT_FALSE(
      decodeBer("300b"
                "a203810109"
                "a303020201"
                "00",
                record));
  // A field whose length runs past the SEQUENCE but not past the input.
  EXPECT_FALSE(
      decodeBer("3004"
                "a2038101"
                "07",
                record));

  Record full = sampleRecord();
  std::vector<char> octetsOfFull = unhex(encode(full, ber));
  for (std::size_t n = 0; n < octetsOfFull.size(); ++n) {
    Record back;
    EXPECT_FALSE(decode(std::vector<char>(octetsOfFull.begin(), octetsOfFull.begin() + n), back, ber)) << n;
  }
  octetsOfFull.push_back('\x55');
  Record back;
  ASSERT_TRUE(decode(octetsOfFull, back, ber)) << "octets after the value are left over";
  EXPECT_EQ(back.compare(full), 0);
}
