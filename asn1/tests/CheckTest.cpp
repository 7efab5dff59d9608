// Validity checks at and beyond every constraint kind, the difference
// between valid (extensions allowed) and strictly valid (root only), and the
// tracer's path and reason texts byte for byte.
#include "asn1/Checker.h"
#include "asn1/modules/GWTEST.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace ASN1;
using namespace GWTEST;

namespace {

// The trace line of a value ("" when it breaks no constraint).
std::string traced(const AbstractData& value) {
  std::ostringstream out;
  bool valid = trace_invalid(out, "", value);
  EXPECT_EQ(valid, out.str().empty());
  return out.str();
}

struct Verdict {
  bool valid;
  bool strict;
  std::string trace;
};

void expectVerdict(const AbstractData& value, const Verdict& v) {
  EXPECT_EQ(value.isValid(), v.valid);
  EXPECT_EQ(value.isStrictlyValid(), v.strict);
  EXPECT_EQ(traced(value), v.trace.empty() ? "" : v.trace + "\n");
}

constexpr unsigned universal(unsigned n) { return makeTag(UniversalTagClass, n); }

const AbstractString::InfoType ia5Size1to4 = {
    {{&create<IA5String>, universal(22)}, FixedConstraint, 1, 4}, IA5StringSet, 128, 7, 7, 8};
const AbstractString::InfoType ia5Size1to4Extendable = {
    {{&create<IA5String>, universal(22)}, ExtendableConstraint, 1, 4}, IA5StringSet, 128, 7, 7, 8};
const OCTET_STRING::InfoType octets2to3 = {{&create<OCTET_STRING>, universal(4)}, FixedConstraint, 2, 3};
const OCTET_STRING::InfoType octets2to3Extendable = {{&create<OCTET_STRING>, universal(4)}, ExtendableConstraint, 2, 3};
const BIT_STRING::InfoType bits8 = {{&create<BIT_STRING>, universal(3)}, FixedConstraint, 8, 8};
const BMPString::InfoType printableBmp = {
    {{&create<BMPString>, universal(30)}, Unconstrained, 0, 0xFFFFFFFFu}, 32, 126, 16, 16};

using Signed8 = Constrained_INTEGER<FixedConstraint, -128, 127>;
using Bitrate = Constrained_INTEGER<FixedConstraint, 112000, 399975>;
using Full32 = Constrained_INTEGER<FixedConstraint, 0, 4294967295u>;
using Extendable10 = Constrained_INTEGER<ExtendableConstraint, 0, 10>;
using Hosts = SEQUENCE_OF<HostAddress, SizeConstraint<1, 2>>;

HostAddress host(unsigned port) {
  HostAddress h;
  h.set_iaddr("10.0.0.1");
  h.set_port(port);
  return h;
}

}  // namespace

TEST(Checkers, IntegersAtAndBeyondTheirBounds) {
  Signed8 s8;
  for (int v : {-128, -5, 127}) {
    s8.setValue(v);
    expectVerdict(s8, {true, true, ""});
  }
  s8.setValue(200);
  expectVerdict(s8, {false, false, " The INTEGER value 200 is greater than upper bound 127"});
  s8.setValue(-129);
  expectVerdict(s8, {false, false, " The INTEGER value -129 is smaller than lower bound -128"});

  Bitrate rate;
  rate.setValue(112000u);
  expectVerdict(rate, {true, true, ""});
  rate.setValue(111999u);
  expectVerdict(rate, {false, false, " The INTEGER value 111999 is smaller than lower bound 112000"});
  rate.setValue(-1);
  expectVerdict(rate, {false, false, " The INTEGER value 4294967295 is greater than upper bound 399975"});

  Full32 full;
  full.setValue(0xFFFFFFFFu);
  expectVerdict(full, {true, true, ""});
  expectVerdict(INTEGER(-2147483647 - 1, &INTEGER::theInfo), {true, true, ""});

  // Beyond an extensible range: valid, not strictly, and not traced.
  Extendable10 ext;
  ext.setValue(11u);
  expectVerdict(ext, {true, false, ""});
  // Below it: valid, yet traced.
  static const INTEGER::InfoType extendableFromMinus5 = {
      {&create<INTEGER>, universal(2)}, ExtendableConstraint, -5, 10};
  expectVerdict(INTEGER(-6, &extendableFromMinus5),
                {true, false, " The INTEGER value -6 is smaller than lower bound -5"});

  HostAddress h = host(70000);
  expectVerdict(h, {false, false, ".port The INTEGER value 70000 is greater than upper bound 65535"});
}

TEST(Checkers, EnumerationsSizesAlphabetsAndTimes) {
  Colour colour;  // extensible, root maximum 6
  colour.setValue(6);
  expectVerdict(colour, {true, true, ""});
  colour.setValue(7);
  expectVerdict(colour, {true, false, " This ENUMERATED has invalid value 7"});
  colour.setValue(-1);
  expectVerdict(colour, {false, false, " This ENUMERATED has invalid value -1"});
  TrunkState state;  // not extensible, maximum 6
  state.setValue(7);
  expectVerdict(state, {false, false, " This ENUMERATED has invalid value 7"});

  IA5String text(&ia5Size1to4);
  text = "abcd";
  expectVerdict(text, {true, true, ""});
  text = "";
  expectVerdict(text, {false, false, " This AbstractString has size 0 smaller than its lower bound 1"});
  text = "abcde";
  expectVerdict(text, {false, false, " This AbstractString has size 5 greater than its upper bound 4"});
  IA5String longer(&ia5Size1to4Extendable);
  longer = "abcde";
  expectVerdict(longer, {true, false, ""});
  IA5String high("a\xc8");
  expectVerdict(high, {false, false, " The character '\xc8' is not valid for the string"});
  AbstractString printable(&AbstractString::PrintableStringInfo, "a@b");
  expectVerdict(printable, {false, false, " The character '@' is not valid for the string"});

  OCTET_STRING octets(1, 'x', &octets2to3);
  expectVerdict(octets, {false, false, " This OCTET STRING has size 1 smaller than its lower bound 2"});
  octets.assign(4, 'x');
  expectVerdict(octets, {false, false, " This OCTET STRING has size 4 greater than its upper bound 3"});
  OCTET_STRING extOctets(4, 'x', &octets2to3Extendable);
  expectVerdict(extOctets, {true, false, ""});

  BIT_STRING bits(&bits8);
  bits.resize(8);
  expectVerdict(bits, {true, true, ""});
  bits.resize(9);
  expectVerdict(bits, {false, false, " This BIT STRING has size 9 greater than its upper bound 8"});

  BMPString wide(L"ok\n", &printableBmp);
  expectVerdict(wide, {false, false, " The character '10' is not valid for the string"});

  expectVerdict(OBJECT_IDENTIFIER(), {false, false, " This OBJECT IDENTIFIER is not assigned"});
  expectVerdict(OBJECT_IDENTIFIER({1}), {true, true, ""});

  GeneralizedTime time(2024, 1, 31, 24, 59, 59, 999, -720, false);
  expectVerdict(time, {true, true, ""});
  time.month = 13;
  expectVerdict(time, {false, false, " This GeneralizedTime is not valid"});
  time.month = 12;
  time.mindiff = 721;
  expectVerdict(time, {false, false, " This GeneralizedTime is not valid"});
}

TEST(Checkers, ChoicesOpenTypesAndPaths) {
  Alt alt;
  expectVerdict(alt, {false, false, " This CHOICE is not selected"});
  alt.setSelection(Alt::e_num, nullptr);
  expectVerdict(alt, {false, false, " This CHOICE is not selected"});
  alt.setID(Alt::e_text + 1);  // an extension alternative this build does not know
  expectVerdict(alt, {false, false, " This selection is not understood by this decoder"});
  alt.setSelection(9, new Null);
  expectVerdict(alt, {false, false, " This selection is not understood by this decoder"});
  alt.select_text() = "extension";
  expectVerdict(alt, {true, false, ""});
  alt.select_num().setValue(256u);
  expectVerdict(alt, {false, false, ".num The INTEGER value 256 is greater than upper bound 255"});

  OpenData open;
  expectVerdict(open, {false, false, " This Open Type does not contain any valid data"});
  open.make_buf();
  expectVerdict(open, {true, true, ""});
  auto* contained = new Signed8;
  contained->setValue(300);
  open.grab(contained);
  expectVerdict(open, {false, false, " The INTEGER value 300 is greater than upper bound 127"});

  // Paths through fields, alternatives and elements; absent fields are not checked.
  Record record;
  record.get_alt().select_inner().set_name("a\xc8");
  record.set_slot(2000);
  expectVerdict(record, {false, false, ".slot The INTEGER value 2000 is greater than upper bound 1023"});
  record.set_slot(1023);
  expectVerdict(record, {false, false, ".alt.inner.name The character '\xc8' is not valid for the string"});
  record.get_alt().select_inner().removeOptionalField(Inner::o_name);
  expectVerdict(record, {true, true, ""});
  record.set_colour(Colour::violet);
  expectVerdict(record, {true, false, ".colour This ENUMERATED has invalid value 20"});

  Hosts hosts;
  expectVerdict(hosts, {false, false, " This SEQUENCE OF has size 0 smaller than its lower bound 1"});
  hosts.push_back(host(1));
  hosts.push_back(host(70000));
  expectVerdict(hosts, {false, false, "[1].port The INTEGER value 70000 is greater than upper bound 65535"});
  hosts.push_back(host(2));
  expectVerdict(hosts, {false, false, " This SEQUENCE OF has size 3 greater than its upper bound 2"});

  std::ostringstream out;
  EXPECT_FALSE(trace_invalid(out, "hosts:", hosts));
  EXPECT_EQ(out.str(), "hosts: This SEQUENCE OF has size 3 greater than its upper bound 2\n");
}
