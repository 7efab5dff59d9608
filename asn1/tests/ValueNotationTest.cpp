// Value notation: the writer's layout byte for byte, the reader's accepted
// text, round trips, and failures that leave shared streams usable.
#include "asn1/ValueNotation.h"
#include "asn1/modules/GWTEST.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace ASN1;
using namespace GWTEST;

namespace {

Record sample() {
  Record r;
  r.set_seq(17);
  r.get_alt().select_inner().set_flag(true);
  r.get_list().push_back(INTEGER(1, &INTEGER::theInfo));
  r.get_list().push_back(INTEGER(-2, &INTEGER::theInfo));
  r.set_colour(Colour::green);
  return r;
}

}  // namespace

TEST(ValueNotationWriter, NestedLayout) {
  EXPECT_EQ(sample().asValueNotation(),
            "{\n"
            "  seq 17,\n"
            "  alt inner : {\n"
            "    flag TRUE\n"
            "  },\n"
            "  list {\n"
            "    1,\n"
            "    -2\n"
            "  },\n"
            "  colour green=5\n"
            "}");

  Inner empty;
  empty.removeOptionalField(Inner::o_name);
  EXPECT_EQ(empty.asValueNotation(), "{\n  flag FALSE\n}");
  SEQUENCE_OF<INTEGER> none;
  EXPECT_EQ(none.asValueNotation(), "{\n}");

  static const SEQUENCE::InfoType bare = {
      {&create<SEQUENCE>, 16}, false, nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr};
  SEQUENCE nothing(&bare);
  EXPECT_EQ(nothing.asValueNotation(), "{\n}");
}

TEST(ValueNotationWriter, ScalarForms) {
  EXPECT_EQ(Null().asValueNotation(), "NULL");
  EXPECT_EQ(INTEGER(-5, &INTEGER::theInfo).asValueNotation(), "-5");
  Constrained_INTEGER<FixedConstraint, 0, 0xFFFFFFFFu> big;
  big = 4294967295u;
  EXPECT_EQ(big.asValueNotation(), "4294967295");
  Colour c;
  c.setValue(3);
  EXPECT_EQ(c.asValueNotation(), "3") << "a value with no name prints its number";

  OBJECT_IDENTIFIER oid{1, 2, 3};
  EXPECT_EQ(oid.asValueNotation(), "{ 1 2 3 }");
  EXPECT_EQ(OBJECT_IDENTIFIER().asValueNotation(), "{ }");

  BIT_STRING bits;
  bits.set(0, true);
  bits.set(2, true);
  bits.resize(4);
  EXPECT_EQ(bits.asValueNotation(), "'1010'B");

  std::ostringstream out;
  out << OCTET_STRING(std::vector<char>{0, 0x7f, '\x80'}) << ' ' << 42 << std::setw(4) << 7;
  EXPECT_EQ(out.str(), "'00 7f 80'H 42   7") << "format flags and fill restored";
  EXPECT_EQ(OCTET_STRING().asValueNotation(), "''H");

  EXPECT_EQ(IA5String("a \"b").asValueNotation(), "\"a \"b\"") << "nothing escaped";
  EXPECT_EQ(BMPString(L"Az").asValueNotation(), "\"Az\"");
  EXPECT_EQ(BMPString(L"\x0141").asValueNotation(), "{{ 0, 0, 1, 65}}");
  EXPECT_EQ(GeneralizedTime(2024, 1, 2, 3, 4, 5, 0, 0, true).asValueNotation(), "\"20240102030405Z\"");
}

TEST(ValueNotationWriter, FailuresKeepPartialTextAndStreamsUsable) {
  Record r;
  r.set_seq(1);
  EXPECT_EQ(r.asValueNotation(), "{\n  seq 1,\n  alt ");
  std::ostringstream probe;
  EXPECT_EQ(r.print_on(probe), std::ios_base::failbit);

  std::ostringstream log;
  log << r << "|next";
  EXPECT_TRUE(log.good()) << "a shared stream never stays failed";
  EXPECT_EQ(log.str(), "{\n  seq 1,\n  alt |next");

  std::ostringstream bad;
  bad.setstate(std::ios_base::failbit);
  bad << sample();
  EXPECT_EQ(bad.str(), "");

  OpenData nothing;
  EXPECT_EQ(nothing.print_on(probe), std::ios_base::failbit);
  OpenData raw;
  raw.make_buf() = {'\x0a', '\xff'};
  EXPECT_EQ(raw.asValueNotation(), "'0a ff'H");
}

TEST(ValueNotationReader, RoundTripsWhatTheWriterPrints) {
  Record r = sample();
  r.set_note("\x01\xfe");
  Record back;
  ASSERT_TRUE(back.setFromValueNotation(r.asValueNotation()));
  EXPECT_EQ(back.compare(r), 0);
  EXPECT_FALSE(back.hasOptionalField(Record::o_slot)) << "absent optional stays absent";

  TrunkStatus ts;
  ts.set_name("line 1\nline 2");
  ts.set_state(TrunkState::rai);
  TrunkStatus tsBack;
  ASSERT_TRUE(tsBack.setFromValueNotation(ts.asValueNotation()));
  EXPECT_EQ(tsBack.compare(ts), 0);

  Colour c, cBack;
  c = Colour::violet;
  ASSERT_TRUE(cBack.setFromValueNotation(c.asValueNotation()));
  EXPECT_EQ(cBack.get(), Colour::violet);

  std::istringstream two("{ 1, 2 } rest");
  SEQUENCE_OF<INTEGER> list;
  two >> list;
  ASSERT_TRUE(two.good());
  EXPECT_EQ(list.size(), 2u);
  std::string rest;
  two >> rest;
  EXPECT_EQ(rest, "rest");
}

TEST(ValueNotationReader, AcceptedAndRefusedText) {
  BIT_STRING bits;
  ASSERT_TRUE(bits.setFromValueNotation("'1 0 1 0'B"));
  EXPECT_EQ(bits.size(), 4u);
  EXPECT_EQ(bits.bytes(), std::vector<char>{'\xa0'});
  ASSERT_TRUE(bits.setFromValueNotation("'A'H"));
  EXPECT_EQ(bits.size(), 4u);
  EXPECT_EQ(bits.bytes(), std::vector<char>{'\xa0'});
  EXPECT_FALSE(bits.setFromValueNotation("'102'B"));
  EXPECT_FALSE(bits.setFromValueNotation("'10'X"));

  OCTET_STRING octets;
  ASSERT_TRUE(octets.setFromValueNotation("'0a f\nf'H"));
  EXPECT_EQ(octets.toVector(), (std::vector<char>{'\x0a', '\xff'}));
  EXPECT_FALSE(octets.setFromValueNotation("'0g'H"));
  EXPECT_FALSE(octets.setFromValueNotation("'-1'H"));

  Alt alt;
  EXPECT_FALSE(alt.setFromValueNotation("num: 5")) << "a blank must precede the colon";
  ASSERT_TRUE(alt.setFromValueNotation("num : 5"));
  EXPECT_EQ(alt.currentSelection(), Alt::e_num);
  EXPECT_FALSE(alt.setFromValueNotation("nothing : 5"));

  OBJECT_IDENTIFIER oid;
  ASSERT_TRUE(oid.setFromValueNotation("{ 1 2 840 }"));
  EXPECT_EQ(oid.components(), (std::vector<unsigned>{1, 2, 840}));
  ASSERT_TRUE(oid.setFromValueNotation("{ iso(1) member-body(2) 840 }"));
  EXPECT_EQ(oid.components(), (std::vector<unsigned>{1, 2, 840}));
  ASSERT_TRUE(oid.setFromValueNotation("{ iso (1) 2 }"));
  EXPECT_EQ(oid.components(), (std::vector<unsigned>{1, 2}));
  EXPECT_FALSE(oid.setFromValueNotation("{ 1x }"));

  BOOLEAN b;
  EXPECT_TRUE(b.setFromValueNotation("T R U E"));
  EXPECT_TRUE(b.getValue());
  EXPECT_FALSE(b.setFromValueNotation("yes"));
  Null n;
  EXPECT_FALSE(n.setFromValueNotation("NIL"));

  Colour c;
  EXPECT_FALSE(c.setFromValueNotation("green"));
  EXPECT_TRUE(c.setFromValueNotation("green=5"));
}

TEST(ValueNotationReader, SequenceFieldOrder) {
  // A missing trailing mandatory field is not noticed; the rest keeps its state.
  Inner inner;
  inner.set_flag(true);
  ASSERT_TRUE(inner.setFromValueNotation("{ name \"x\" }") == false);
  ASSERT_TRUE(inner.setFromValueNotation("{ flag FALSE }"));
  EXPECT_FALSE(inner.get_flag().getValue());
  EXPECT_TRUE(inner.setFromValueNotation("{}"));

  HostAddress host;
  host.field<INTEGER>(HostAddress::e_port).setValue(99);
  ASSERT_TRUE(host.setFromValueNotation("{ iaddr \"a\" }"));
  EXPECT_EQ(host.field<INTEGER>(HostAddress::e_port).getValue(), 99);

  EXPECT_FALSE(host.setFromValueNotation("{ iaddr \"a\", bogus 1 }")) << "unknown field name";
  EXPECT_FALSE(host.setFromValueNotation("{ port 1, iaddr \"a\" }")) << "fields out of order";
  EXPECT_TRUE(host.setFromValueNotation("{ iaddr \"a\", port 1 , }")) << "comma before a closing brace";

  Record r;
  EXPECT_TRUE(r.setFromValueNotation("{ alt none : NULL, list { }, note 'ff'H }"));
  EXPECT_TRUE(r.hasOptionalField(Record::o_note));
  EXPECT_FALSE(r.setFromValueNotation("{ alt none : NULL, list { 1 2 } }"));
  EXPECT_FALSE(r.setFromValueNotation("{ alt none : NULL, list { 1, "));
}

TEST(CoderEnvironment, RulesByNumber) {
  Record r = sample();
  std::vector<char> text;
  CoderEnv avn(CoderEnv::avn);
  ASSERT_GT(avn.encode(r, text), 0);
  EXPECT_EQ(std::string(text.begin(), text.end()), r.asValueNotation());
  Record back;
  ASSERT_TRUE(avn.decode(text.data(), text.data() + text.size(), back));
  EXPECT_EQ(back.compare(r), 0);

  std::vector<char> out{'k'};
  CoderEnv unknown(7);
  EXPECT_EQ(unknown.encode(r, out), -1);
  EXPECT_FALSE(unknown.decode(out.data(), out.data() + 1, back));

  CoderEnv per;
  Record unprintable;
  EXPECT_EQ(per.encode(unprintable, out), -1) << "a choice without selection";
  EXPECT_EQ(out, std::vector<char>{'k'}) << "nothing appended on failure";
  std::vector<char> octets;
  ASSERT_TRUE(encode(r, per, std::back_inserter(octets)));
  ASSERT_TRUE(decode(octets.data(), octets.data() + octets.size(), per, back));
  EXPECT_EQ(back.compare(r), 0);

  EXPECT_EQ(per.find("LGCP"), nullptr);
}
