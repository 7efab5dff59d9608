// The value model: construction from records, presence bits, ownership,
// comparison and cloning of the dynamic type, and the small helpers.
#include "asn1/Types.h"
#include "asn1/modules/GWTEST.h"

#include <gtest/gtest.h>

using namespace ASN1;
using namespace GWTEST;

TEST(Helpers, CountBitsAndByteOrder) {
  EXPECT_EQ(CountBits(0), 32u);
  EXPECT_EQ(CountBits(1), 0u);
  EXPECT_EQ(CountBits(2), 1u);
  EXPECT_EQ(CountBits(256), 8u);
  EXPECT_EQ(CountBits(257), 9u);
  EXPECT_EQ(CountBits(0x80000001u), 32u);

  const char a[] = {'\x01', '\x80'}, b[] = {'\x01', '\x7f'};
  EXPECT_GT(lexicographic_compare_bytes(a, a + 2, b, b + 2), 0) << "bytes compare unsigned";
  EXPECT_EQ(lexicographic_compare_bytes(a, a + 1, b, b + 2), -1);
  EXPECT_EQ(lexicographic_compare_bytes(a, a + 2, a, a + 1), 1);
  EXPECT_EQ(lexicographic_compare_bytes(a, a, b, b), 0);
}

TEST(Sequence, ConstructionAndPresence) {
  Record r;
  EXPECT_EQ(r.getField(Record::e_seq), nullptr);
  EXPECT_EQ(r.getField(Record::e_slot), nullptr);
  ASSERT_NE(r.getField(Record::e_alt), nullptr);
  EXPECT_EQ(r.get_alt().currentSelection(), -1);
  EXPECT_EQ(r.extensionMap().size(), 0u);
  EXPECT_FALSE(r.hasOptionalField(99)) << "beyond both bitmaps";

  // Fields are built as their generated classes.
  EXPECT_NE(dynamic_cast<Alt*>(r.getField(Record::e_alt)), nullptr);
  EXPECT_NE(dynamic_cast<SEQUENCE_OF<INTEGER>*>(r.getField(Record::e_list)), nullptr);
  r.set_slot(7);
  EXPECT_NE(dynamic_cast<INTEGER_0_1023*>(r.getField(Record::e_slot)), nullptr);

  // Including the first addition grows the map to one bit, the second to two.
  r.set_colour(Colour::green);
  EXPECT_EQ(r.extensionMap().size(), 1u);
  r.set_note("x");
  EXPECT_EQ(r.extensionMap().size(), 2u);

  // Removing keeps the object and its value for a later include.
  const AbstractData* colour = r.getField(Record::e_colour);
  r.removeOptionalField(Record::o_colour);
  EXPECT_FALSE(r.hasOptionalField(Record::o_colour));
  r.includeOptionalField(Record::o_colour, Record::e_colour);
  EXPECT_EQ(r.getField(Record::e_colour), colour);
  EXPECT_EQ(r.get_colour().get(), Colour::green);

  // Out-of-range bits and field indices are ignored.
  SEQUENCE::BitMap map;
  map.resize(3);
  map.set(5);
  EXPECT_FALSE(map[5]);
  EXPECT_FALSE(map.any());
  r.includeOptionalField(1, 99);
  EXPECT_FALSE(r.createField(99));
}

TEST(Sequence, CompareCopyAndClone) {
  Record a, b;
  a.set_seq(1);
  b.set_seq(1);
  EXPECT_EQ(a.compare(b), 0);

  // A field whose presence bit is clear does not count.
  b.set_slot(9);
  b.removeOptionalField(Record::o_slot);
  EXPECT_EQ(a.compare(b), 0);
  b.includeOptionalField(Record::o_slot, Record::e_slot);
  EXPECT_LT(a.compare(b), 0);
  EXPECT_GT(b.compare(a), 0);
  b.removeOptionalField(Record::o_slot);

  // Two additions differ: the first decides.
  a.set_colour(Colour::red);
  a.set_note("b");
  b.set_colour(Colour::blue);
  b.set_note("a");
  EXPECT_LT(a.compare(b), 0);

  std::unique_ptr<AbstractData> copy(a.clone());
  ASSERT_NE(dynamic_cast<Record*>(copy.get()), nullptr) << "clone keeps the generated class";
  EXPECT_EQ(copy->compare(a), 0);
  EXPECT_NE(dynamic_cast<Colour*>(static_cast<Record*>(copy.get())->getField(Record::e_colour)), nullptr);

  Record assigned;
  assigned = a;
  EXPECT_EQ(assigned.compare(a), 0);
  a.set_seq(2);
  EXPECT_NE(assigned.compare(a), 0) << "deep copy";
  Record constructed(a);
  EXPECT_EQ(constructed.compare(a), 0);
}

// Plain mandatory fields are members of the generated class; copies,
// assignments and swaps leave every value with fields of its own.
TEST(Sequence, MemberFieldsCopyAssignAndSwap) {
  TrunkStatus a;
  a.set_trunk(3);
  a.set_state(TrunkState::ais);
  a.set_clockMaster(true);
  a.set_name("t");
  TrunkStatus copy(a);
  EXPECT_EQ(copy.compare(a), 0);
  copy.set_trunk(4);
  EXPECT_EQ(a.get_trunk().getValue(), 3) << "a copy has fields of its own";

  // A copy's fields are its SEQUENCE's, not its members: assigning from
  // it takes the fields, and the target keeps its member objects.
  TrunkStatus assigned;
  const AbstractData* held = assigned.getField(TrunkStatus::e_trunk);
  assigned = copy;
  EXPECT_EQ(assigned.compare(copy), 0);
  EXPECT_EQ(assigned.getField(TrunkStatus::e_trunk), held);
  static_cast<SEQUENCE&>(assigned) = a;
  EXPECT_EQ(assigned.compare(a), 0) << "assignment through the base, as a clone does";

  assigned.swap(copy);
  EXPECT_EQ(assigned.get_trunk().getValue(), 4);
  EXPECT_EQ(copy.get_trunk().getValue(), 3);
  std::unique_ptr<AbstractData> clone(copy.clone());
  EXPECT_EQ(clone->compare(copy), 0);
  EXPECT_EQ(static_cast<TrunkStatus&>(*clone).get_state().get(), TrunkState::ais);
}

// An optional plain field is null until made, then the class's member kept
// for it; a copy or swap partner never shares it.
TEST(Sequence, ReservedMemberFields) {
  Record a, b;
  a.set_seq(5);
  const AbstractData* seq = a.getField(Record::e_seq);
  ASSERT_NE(seq, nullptr);
  a.removeOptionalField(Record::o_seq);
  a.set_seq(6);
  EXPECT_EQ(a.getField(Record::e_seq), seq) << "made once, kept";

  a.swap(b);
  EXPECT_TRUE(b.hasOptionalField(Record::o_seq));
  EXPECT_EQ(b.get_seq().getValue(), 6);
  EXPECT_FALSE(a.hasOptionalField(Record::o_seq));
  EXPECT_EQ(a.getField(Record::e_seq), seq) << "swapped by value, the member stays";

  Record copy(b);
  copy.set_seq(7);
  EXPECT_EQ(b.get_seq().getValue(), 6);
  Record assigned;
  assigned = copy;
  EXPECT_EQ(assigned.compare(copy), 0);
  EXPECT_EQ(assigned.getField(Record::e_slot), nullptr) << "an absent field a copy never made stays null";
}

// Mandatory SEQUENCE, CHOICE, list and string fields are members too: their
// values are copied and exchanged in place, and stay deep copies.
TEST(Sequence, NestedMemberFieldsCopyAssignAndSwap) {
  Route a;
  a.get_host().set_iaddr("10.0.0.1");
  a.get_host().set_port(5060);
  a.get_alt().select_inner().set_flag(true);
  a.get_hops().push_back(INTEGER(7, &INTEGER::theInfo));
  a.set_label("L1");
  const AbstractData* host = a.getField(Route::e_host);
  EXPECT_EQ(dynamic_cast<const HostAddress*>(host), &a.get_host()) << "the class's own member";

  Route copy(a);
  EXPECT_EQ(copy.compare(a), 0);
  copy.get_host().set_port(1);
  copy.get_alt().select_num() = 3u;
  copy.get_hops()[0] = 8;
  copy.set_label("L2");
  EXPECT_EQ(a.get_host().get_port().getValue(), 5060u) << "a copy has fields of its own";
  EXPECT_EQ(a.get_alt().currentSelection(), Alt::e_inner);
  EXPECT_EQ(a.get_hops()[0].getValue(), 7);
  EXPECT_EQ(static_cast<std::string>(a.get_label()), "L1");

  // Assigning from a copy (fields of its own) keeps the target's members.
  Route assigned;
  assigned = copy;
  EXPECT_EQ(assigned.compare(copy), 0);
  EXPECT_EQ(assigned.getField(Route::e_host), &assigned.get_host());
  assigned = a;
  EXPECT_EQ(assigned.compare(a), 0);
  a.get_alt().select_inner().set_flag(false);
  EXPECT_NE(assigned.compare(a), 0) << "the alternative is copied, not shared";

  assigned.swap(copy);
  EXPECT_EQ(assigned.get_host().get_port().getValue(), 1u);
  EXPECT_EQ(assigned.get_alt().currentSelection(), Alt::e_num);
  EXPECT_EQ(static_cast<std::string>(copy.get_label()), "L1");
  EXPECT_EQ(copy.get_hops()[0].getValue(), 7);
  std::unique_ptr<AbstractData> clone(assigned.clone());
  EXPECT_EQ(clone->compare(assigned), 0);
}

TEST(Choice, SelectionLifecycle) {
  Alt alt;
  EXPECT_EQ(alt.currentSelection(), CHOICE::unselected_);
  EXPECT_EQ(alt.getSelectionName(), nullptr);
  alt.select_num() = 5u;
  EXPECT_STREQ(alt.getSelectionName(), "num");
  EXPECT_FALSE(alt.isExtensionSelection());

  EXPECT_FALSE(alt.setID(57)) << "id beyond the alternatives";
  EXPECT_EQ(alt.currentSelection(), CHOICE::unknownSelection_);
  EXPECT_EQ(alt.getSelection(), nullptr);
  // An extension alternative without a record: known by name, not selectable.
  static const AbstractData::InfoType* const infos[] = {&Null::theInfo, nullptr};
  static const char* const names[] = {"known", "unknown"};
  static const CHOICE::InfoType partlyKnown = {{&create<CHOICE>, 0}, true, infos, 1, 2, nullptr, names};
  CHOICE partly(&partlyKnown);
  EXPECT_FALSE(partly.setID(1));
  EXPECT_EQ(partly.currentSelection(), CHOICE::unknownSelection_);

  Alt a, b;
  a.select_num() = 5u;
  b.select_num() = 6u;
  EXPECT_LT(a.compare(b), 0);
  b.select_text() = "x";
  EXPECT_LT(a.compare(b), 0) << "different ids compare by id";
  Alt empty1, empty2;
  EXPECT_EQ(empty1.compare(empty2), 0);
  empty2.setSelection(Alt::e_num, nullptr);
  EXPECT_EQ(empty1.compare(empty2), 0) << "an id without alternative is no selection";

  std::unique_ptr<AbstractData> copy(b.clone());
  ASSERT_NE(dynamic_cast<Alt*>(copy.get()), nullptr);
  EXPECT_EQ(copy->compare(b), 0);
  a = b;
  EXPECT_EQ(a.currentSelection(), Alt::e_text);
  EXPECT_NE(a.getSelection(), b.getSelection());
}

TEST(Enumerated, NamesByValue) {
  Colour c;
  c = Colour::green;
  EXPECT_STREQ(c.getName(), "green=5");
  c = Colour::violet;
  EXPECT_STREQ(c.getName(), "violet=20");
  c.setValue(3);
  EXPECT_EQ(c.getName(), nullptr);

  EXPECT_TRUE(c.setFromName("blue"));
  EXPECT_EQ(c.getValue(), 6);
  EXPECT_TRUE(c.setFromName("violet=20"));
  EXPECT_EQ(c.getValue(), 20);
  EXPECT_FALSE(c.setFromName("green"));
  EXPECT_EQ(c.getValue(), 7) << "unknown name: maximum + 1";

  TrunkState s;
  s.setValue(TrunkState::disabled);
  EXPECT_STREQ(s.getName(), "disabled");
  s.setValue(-1);
  EXPECT_EQ(s.getName(), nullptr);

  Colour copy(c);
  EXPECT_EQ(copy.compare(c), 0);
}

TEST(Integers, NamedNumbersAndWrapAroundOrder) {
  static const IntegerWithNamedNumber::NameEntry entries[] = {{-5, "low"}, {0, "zero"}, {40, "high"}};
  static const IntegerWithNamedNumber::InfoType info = {
      {{&create<IntegerWithNamedNumber>, 2}, Unconstrained, 0, 0xFFFFFFFFu}, entries, 3};
  IntegerWithNamedNumber n(40, &info);
  std::string name;
  ASSERT_TRUE(n.getName(name));
  EXPECT_EQ(name, "high");
  n.setValue(1);
  EXPECT_FALSE(n.getName(name));
  EXPECT_TRUE(n.setFromName("low"));
  EXPECT_EQ(n.getValue(), -5);
  EXPECT_FALSE(n.setFromName("none"));
  EXPECT_EQ(n.getValue(), -5);

  INTEGER a(1, &INTEGER::theInfo), b(2, &INTEGER::theInfo);
  EXPECT_LT(a.compare(b), 0);
  std::unique_ptr<AbstractData> copy(n.clone());
  EXPECT_NE(dynamic_cast<IntegerWithNamedNumber*>(copy.get()), nullptr);
}

TEST(Strings, BitStringOrderAndObjectIdentifierOctets) {
  BIT_STRING one, zero;
  one.set(0, true);
  zero.set(0, false);
  EXPECT_GT(one.compare(zero), 0);
  EXPECT_LT(zero.compare(one), 0);
  BIT_STRING eight, seven;
  eight.resize(8);
  seven.resize(7);
  EXPECT_NE(eight.compare(seven), 0);

  OBJECT_IDENTIFIER single{1};
  std::vector<char> octets{'x'};
  single.encodeCommon(octets);
  EXPECT_TRUE(octets.empty());
  OBJECT_IDENTIFIER oid{1, 2, 840};
  oid.encodeCommon(octets);
  EXPECT_EQ(octets, (std::vector<char>{'\x2a', '\x86', '\x48'}));
  OBJECT_IDENTIFIER back;
  ASSERT_TRUE(back.decodeCommon("\x2a", 1));
  EXPECT_EQ(back.components(), (std::vector<unsigned>{1, 2}));
  EXPECT_FALSE(back.decodeCommon("\x86", 1));
  EXPECT_TRUE(back.decodeCommon("", 0));
  EXPECT_EQ(back.levels(), 0u);

  OCTET_STRING x(std::vector<char>{'a', 'b'}), y(std::vector<char>{'a'});
  EXPECT_GT(x.compare(y), 0);
  IA5String s1("ab"), s2("b");
  EXPECT_LT(s1.compare(s2), 0);
}

TEST(Time, TextAndUtcConversion) {
  GeneralizedTime t(2024, 1, 2, 3, 4, 5, 0, 0, true);
  EXPECT_EQ(t.get(), "20240102030405Z");
  GeneralizedTime offset(2024, 1, 2, 3, 4, 5, 250, 90, false);
  EXPECT_EQ(offset.get(), "20240102030405.250+0130");
  GeneralizedTime back(offset.get());
  EXPECT_EQ(back.millisec, 250);
  EXPECT_EQ(back.mindiff, 90);
  EXPECT_EQ(back.compare(offset), 0);

  GeneralizedTime west(2024, 1, 2, 3, 4, 5, 0, -30, false);
  EXPECT_EQ(west.get(), "20240102030405-0030") << "a negative offset keeps its sign";
  EXPECT_EQ(GeneralizedTime(west.get()).mindiff, -30);

  GeneralizedTime epoch;
  epoch.set_time_t(86400 + 3600);
  EXPECT_EQ(epoch.get(), "19700102010000");
  EXPECT_EQ(epoch.get_time_t(), 86400 + 3600);

  // Past 2038: a 32-bit time_t wraps there.
  GeneralizedTime leap(2040, 2, 29, 12, 34, 56, 0, 0, true);
  EXPECT_EQ(leap.get_time_t(), std::time_t(2214131696LL));
  GeneralizedTime later;
  later.set_time_t(std::time_t(2214131696LL));
  EXPECT_EQ(later.get(), "20400229123456");
}

TEST(SequenceOf, ResizeInsertEraseAndOrder) {
  SEQUENCE_OF<IA5String> list;
  list.resize(3);
  EXPECT_EQ(list.size(), 3u);
  list[1] = "mid";
  list.resize(2);
  EXPECT_EQ(list[1], "mid");
  list.resize(0);
  EXPECT_TRUE(list.empty());

  IA5String a("a");
  list.push_back(a);
  list.insert(list.baseEnd(), 2, IA5String("z"));
  EXPECT_EQ(list.size(), 3u);
  list.erase(list.begin());
  EXPECT_EQ(list[0], "z");

  SEQUENCE_OF<IA5String> other(list);
  EXPECT_EQ(other.compare(list), 0);
  other.push_back(a);
  EXPECT_GT(other.compare(list), 0);
  std::string joined;
  for (const IA5String& s : other) joined += s;
  EXPECT_EQ(joined, "zza");

  std::unique_ptr<AbstractData> copy(other.clone());
  EXPECT_NE(dynamic_cast<SEQUENCE_OF<IA5String>*>(copy.get()), nullptr);
  EXPECT_EQ(copy->compare(other), 0);
}

TEST(OpenTypes, OwnershipAndOrder) {
  OpenData a, b;
  EXPECT_EQ(a.compare(b), 0);
  a.grab(new INTEGER(3, &INTEGER::theInfo));
  EXPECT_GT(a.compare(b), 0);
  EXPECT_LT(b.compare(a), 0);
  b.make_buf() = {'\x01'};
  OpenData c;
  c.make_buf() = {'\x02'};
  EXPECT_LT(b.compare(c), 0);
  OpenData copy(a);
  EXPECT_EQ(copy.compare(a), 0);

  static const TypeConstrainedOpenData::InfoType typed = {{&create<TypeConstrainedOpenData>, 0}, &BOOLEAN::theInfo};
  TypeConstrainedOpenData t(&typed);
  ASSERT_TRUE(t.has_data());
  EXPECT_NE(dynamic_cast<BOOLEAN*>(&t.get_data()), nullptr);
}
