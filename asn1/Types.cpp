#include "asn1/Types.h"
#include "asn1/Visitor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ASN1 {

namespace {

constexpr unsigned universal(unsigned number) { return makeTag(UniversalTagClass, number); }

// Two's-complement difference, as the order of whole numbers is defined.
int wrapDifference(int a, int b) { return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b)); }

// A new object of the value's own class (its record's factory keeps a
// generated class itself) holding a copy of the value.
template <class T>
AbstractData* cloneOf(const T& value) {
  std::unique_ptr<T> copy(boost::polymorphic_downcast<T*>(value.info()->create(value.infoRecord())));
  *copy = value;
  return copy.release();
}

AbstractData* cloneOrNull(const AbstractData* value) { return value ? value->clone() : nullptr; }

// The kinds a generated class holds as members: their values are copied and
// exchanged in place (a missing source reads as the default value).
void assignMember(AbstractData& to, const AbstractData* from) {
  switch (to.kind()) {
    case ValueKind::Boolean:
      static_cast<BOOLEAN&>(to).setValue(from && static_cast<const BOOLEAN*>(from)->getValue());
      break;
    case ValueKind::Integer:
      static_cast<INTEGER&>(to).setValue(from ? static_cast<const INTEGER*>(from)->getValue() : 0);
      break;
    case ValueKind::Enumerated:
      static_cast<ENUMERATED&>(to).setValue(from ? static_cast<const ENUMERATED*>(from)->getValue() : 0);
      break;
    case ValueKind::OctetString:
      if (from)
        static_cast<OctetVector&>(static_cast<OCTET_STRING&>(to)) = static_cast<const OCTET_STRING&>(*from);
      else
        static_cast<OCTET_STRING&>(to).clear();
      break;
    case ValueKind::CharacterString:
      if (from)
        static_cast<CharacterVector&>(static_cast<AbstractString&>(to)) = static_cast<const AbstractString&>(*from);
      else
        static_cast<AbstractString&>(to).clear();
      break;
    case ValueKind::Choice:
      if (from)
        static_cast<CHOICE&>(to) = static_cast<const CHOICE&>(*from);
      else
        static_cast<CHOICE&>(to).setSelection(CHOICE::unselected_, nullptr);
      break;
    case ValueKind::Sequence:
      if (from)
        static_cast<SEQUENCE&>(to) = static_cast<const SEQUENCE&>(*from);
      else
        static_cast<SEQUENCE&>(to) = SEQUENCE(static_cast<SEQUENCE&>(to).info());
      break;
    case ValueKind::SequenceOf:
      if (from)
        static_cast<SEQUENCE_OF_Base&>(to) = static_cast<const SEQUENCE_OF_Base&>(*from);
      else
        static_cast<SEQUENCE_OF_Base&>(to).clear();
      break;
    default: break;
  }
}

void swapMember(AbstractData& a, AbstractData& b) {
  switch (a.kind()) {
    case ValueKind::Boolean: {
      bool value = static_cast<BOOLEAN&>(a).getValue();
      static_cast<BOOLEAN&>(a).setValue(static_cast<BOOLEAN&>(b).getValue());
      static_cast<BOOLEAN&>(b).setValue(value);
      break;
    }
    case ValueKind::Integer: {
      int value = static_cast<INTEGER&>(a).getValue();
      static_cast<INTEGER&>(a).setValue(static_cast<INTEGER&>(b).getValue());
      static_cast<INTEGER&>(b).setValue(value);
      break;
    }
    case ValueKind::Enumerated: {
      int value = static_cast<ENUMERATED&>(a).getValue();
      static_cast<ENUMERATED&>(a).setValue(static_cast<ENUMERATED&>(b).getValue());
      static_cast<ENUMERATED&>(b).setValue(value);
      break;
    }
    case ValueKind::OctetString:
      static_cast<OctetVector&>(static_cast<OCTET_STRING&>(a)).swap(static_cast<OCTET_STRING&>(b));
      break;
    case ValueKind::CharacterString:
      static_cast<CharacterVector&>(static_cast<AbstractString&>(a)).swap(static_cast<AbstractString&>(b));
      break;
    case ValueKind::Choice: static_cast<CHOICE&>(a).swap(static_cast<CHOICE&>(b)); break;
    case ValueKind::Sequence: static_cast<SEQUENCE&>(a).swap(static_cast<SEQUENCE&>(b)); break;
    case ValueKind::SequenceOf: static_cast<SEQUENCE_OF_Base&>(a).swap(static_cast<SEQUENCE_OF_Base&>(b)); break;
    default: break;
  }
}

}  // namespace

int lexicographic_compare_bytes(const char* first1, const char* last1, const char* first2, const char* last2) {
  for (; first1 != last1 && first2 != last2; ++first1, ++first2) {
    int a = static_cast<unsigned char>(*first1);
    int b = static_cast<unsigned char>(*first2);
    if (a != b) return a - b;
  }
  if (first1 != last1) return 1;
  if (first2 != last2) return -1;
  return 0;
}

// Character sets of the restricted string types, in canonical order.
const char NumericStringSet[] = " 0123456789";
const char PrintableStringSet[] = " '()+,-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char VisibleStringSet[] = {
    32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,
    51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  69,
    70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,
    89,  90,  91,  92,  93,  94,  95,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107,
    108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126,
};
const char IA5StringSet[] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,
    22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,
    44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  65,
    66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,
    88,  89,  90,  91,  92,  93,  94,  95,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109,
    110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127,
};
const char GeneralStringSet[] = {
    0,
    1,
    2,
    3,
    4,
    5,
    6,
    7,
    8,
    9,
    10,
    11,
    12,
    13,
    14,
    15,
    16,
    17,
    18,
    19,
    20,
    21,
    22,
    23,
    24,
    25,
    26,
    27,
    28,
    29,
    30,
    31,
    32,
    33,
    34,
    35,
    36,
    37,
    38,
    39,
    40,
    41,
    42,
    43,
    44,
    45,
    46,
    47,
    48,
    49,
    50,
    51,
    52,
    53,
    54,
    55,
    56,
    57,
    58,
    59,
    60,
    61,
    62,
    63,
    64,
    65,
    66,
    67,
    68,
    69,
    70,
    71,
    72,
    73,
    74,
    75,
    76,
    77,
    78,
    79,
    80,
    81,
    82,
    83,
    84,
    85,
    86,
    87,
    88,
    89,
    90,
    91,
    92,
    93,
    94,
    95,
    96,
    97,
    98,
    99,
    100,
    101,
    102,
    103,
    104,
    105,
    106,
    107,
    108,
    109,
    110,
    111,
    112,
    113,
    114,
    115,
    116,
    117,
    118,
    119,
    120,
    121,
    122,
    123,
    124,
    125,
    126,
    127,
    static_cast<char>(128),
    static_cast<char>(129),
    static_cast<char>(130),
    static_cast<char>(131),
    static_cast<char>(132),
    static_cast<char>(133),
    static_cast<char>(134),
    static_cast<char>(135),
    static_cast<char>(136),
    static_cast<char>(137),
    static_cast<char>(138),
    static_cast<char>(139),
    static_cast<char>(140),
    static_cast<char>(141),
    static_cast<char>(142),
    static_cast<char>(143),
    static_cast<char>(144),
    static_cast<char>(145),
    static_cast<char>(146),
    static_cast<char>(147),
    static_cast<char>(148),
    static_cast<char>(149),
    static_cast<char>(150),
    static_cast<char>(151),
    static_cast<char>(152),
    static_cast<char>(153),
    static_cast<char>(154),
    static_cast<char>(155),
    static_cast<char>(156),
    static_cast<char>(157),
    static_cast<char>(158),
    static_cast<char>(159),
    static_cast<char>(160),
    static_cast<char>(161),
    static_cast<char>(162),
    static_cast<char>(163),
    static_cast<char>(164),
    static_cast<char>(165),
    static_cast<char>(166),
    static_cast<char>(167),
    static_cast<char>(168),
    static_cast<char>(169),
    static_cast<char>(170),
    static_cast<char>(171),
    static_cast<char>(172),
    static_cast<char>(173),
    static_cast<char>(174),
    static_cast<char>(175),
    static_cast<char>(176),
    static_cast<char>(177),
    static_cast<char>(178),
    static_cast<char>(179),
    static_cast<char>(180),
    static_cast<char>(181),
    static_cast<char>(182),
    static_cast<char>(183),
    static_cast<char>(184),
    static_cast<char>(185),
    static_cast<char>(186),
    static_cast<char>(187),
    static_cast<char>(188),
    static_cast<char>(189),
    static_cast<char>(190),
    static_cast<char>(191),
    static_cast<char>(192),
    static_cast<char>(193),
    static_cast<char>(194),
    static_cast<char>(195),
    static_cast<char>(196),
    static_cast<char>(197),
    static_cast<char>(198),
    static_cast<char>(199),
    static_cast<char>(200),
    static_cast<char>(201),
    static_cast<char>(202),
    static_cast<char>(203),
    static_cast<char>(204),
    static_cast<char>(205),
    static_cast<char>(206),
    static_cast<char>(207),
    static_cast<char>(208),
    static_cast<char>(209),
    static_cast<char>(210),
    static_cast<char>(211),
    static_cast<char>(212),
    static_cast<char>(213),
    static_cast<char>(214),
    static_cast<char>(215),
    static_cast<char>(216),
    static_cast<char>(217),
    static_cast<char>(218),
    static_cast<char>(219),
    static_cast<char>(220),
    static_cast<char>(221),
    static_cast<char>(222),
    static_cast<char>(223),
    static_cast<char>(224),
    static_cast<char>(225),
    static_cast<char>(226),
    static_cast<char>(227),
    static_cast<char>(228),
    static_cast<char>(229),
    static_cast<char>(230),
    static_cast<char>(231),
    static_cast<char>(232),
    static_cast<char>(233),
    static_cast<char>(234),
    static_cast<char>(235),
    static_cast<char>(236),
    static_cast<char>(237),
    static_cast<char>(238),
    static_cast<char>(239),
    static_cast<char>(240),
    static_cast<char>(241),
    static_cast<char>(242),
    static_cast<char>(243),
    static_cast<char>(244),
    static_cast<char>(245),
    static_cast<char>(246),
    static_cast<char>(247),
    static_cast<char>(248),
    static_cast<char>(249),
    static_cast<char>(250),
    static_cast<char>(251),
    static_cast<char>(252),
    static_cast<char>(253),
    static_cast<char>(254),
    static_cast<char>(255),
};

const Null::InfoType Null::theInfo = {&create<Null>, universal(5)};
const BOOLEAN::InfoType BOOLEAN::theInfo = {&create<BOOLEAN>, universal(1)};
const INTEGER::InfoType INTEGER::theInfo = {{&create<INTEGER>, universal(2)}, Unconstrained, 0, 0xFFFFFFFFu};
const OBJECT_IDENTIFIER::InfoType OBJECT_IDENTIFIER::theInfo = {&create<OBJECT_IDENTIFIER>, universal(6)};
const BIT_STRING::InfoType BIT_STRING::theInfo = {{&create<BIT_STRING>, universal(3)}, Unconstrained, 0, 0xFFFFFFFFu};
const OCTET_STRING::InfoType OCTET_STRING::theInfo = {
    {&create<OCTET_STRING>, universal(4)}, Unconstrained, 0, 0xFFFFFFFFu};
const AbstractString::InfoType AbstractString::NumericStringInfo = {
    {{&create<AbstractString>, universal(18)}, Unconstrained, 0, 0xFFFFFFFFu}, NumericStringSet, 11, 4, 4, 4};
const AbstractString::InfoType AbstractString::PrintableStringInfo = {
    {{&create<AbstractString>, universal(19)}, Unconstrained, 0, 0xFFFFFFFFu}, PrintableStringSet, 74, 7, 7, 8};
const AbstractString::InfoType AbstractString::VisibleStringInfo = {
    {{&create<AbstractString>, universal(26)}, Unconstrained, 0, 0xFFFFFFFFu}, VisibleStringSet, 95, 7, 7, 8};
const AbstractString::InfoType AbstractString::IA5StringInfo = {
    {{&create<AbstractString>, universal(22)}, Unconstrained, 0, 0xFFFFFFFFu}, IA5StringSet, 128, 7, 7, 8};
const AbstractString::InfoType AbstractString::GeneralStringInfo = {
    {{&create<AbstractString>, universal(27)}, Unconstrained, 0, 0xFFFFFFFFu}, GeneralStringSet, 256, 8, 8, 8};
const IA5String::InfoType IA5String::theInfo = {
    {{&create<IA5String>, universal(22)}, Unconstrained, 0, 0xFFFFFFFFu}, IA5StringSet, 128, 7, 7, 8};
const BMPString::InfoType BMPString::theInfo = {
    {{&create<BMPString>, universal(30)}, Unconstrained, 0, 0xFFFFFFFFu}, 0, 65535, 16, 16};
const GeneralizedTime::InfoType GeneralizedTime::theInfo = {&create<GeneralizedTime>, universal(24)};
const OpenData::InfoType OpenData::theInfo = {&create<OpenData>, 0};
const unsigned SEQUENCE::defaultTag = 0;

// ---- Null, BOOLEAN, INTEGER ------------------------------------------------

int Null::do_compare(const AbstractData&) const { return 0; }
AbstractData* Null::do_clone() const { return cloneOf(*this); }
bool Null::do_accept(Visitor& v) { return v.do_visit(*this); }
bool Null::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

int BOOLEAN::do_compare(const AbstractData& other) const {
  return static_cast<int>(value_) - static_cast<int>(static_cast<const BOOLEAN&>(other).value_);
}
AbstractData* BOOLEAN::do_clone() const { return cloneOf(*this); }
bool BOOLEAN::do_accept(Visitor& v) { return v.do_visit(*this); }
bool BOOLEAN::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

int INTEGER::do_compare(const AbstractData& other) const {
  return wrapDifference(value_, static_cast<const INTEGER&>(other).value_);
}
AbstractData* INTEGER::do_clone() const { return cloneOf(*this); }
bool INTEGER::do_accept(Visitor& v) { return v.do_visit(*this); }
bool INTEGER::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

bool IntegerWithNamedNumber::getName(std::string& name) const {
  const NameEntry* first = info()->nameEntries;
  const NameEntry* last = first + info()->entryCount;
  const NameEntry* hit =
      std::lower_bound(first, last, getValue(), [](const NameEntry& e, int v) { return e.value < v; });
  if (hit == last || hit->value != getValue()) return false;
  name = hit->name;
  return true;
}

bool IntegerWithNamedNumber::setFromName(const std::string& name) {
  for (unsigned i = 0; i < info()->entryCount; ++i)
    if (name == info()->nameEntries[i].name) {
      setValue(info()->nameEntries[i].value);
      return true;
    }
  return false;
}
bool IntegerWithNamedNumber::do_accept(Visitor& v) { return v.do_visit(*this); }
bool IntegerWithNamedNumber::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- ENUMERATED --------------------------------------------------------------

const char* ENUMERATED::getName() const {
  const InfoType* rec = info();
  if (!rec->values) return value_ >= 0 && static_cast<unsigned>(value_) < rec->numNames ? rec->names[value_] : nullptr;
  for (unsigned i = 0; i < rec->numNames; ++i)
    if (rec->values[i] == value_) return rec->names[i];
  return nullptr;
}

bool ENUMERATED::setFromName(const std::string& name) {
  const InfoType* rec = info();
  for (unsigned i = 0; i < rec->numNames; ++i)
    if (name == rec->names[i]) {
      value_ = rec->values ? rec->values[i] : static_cast<int>(i);
      return true;
    }
  value_ = static_cast<int>(rec->maxEnumValue + 1);
  return false;
}

int ENUMERATED::do_compare(const AbstractData& other) const {
  return wrapDifference(value_, static_cast<const ENUMERATED&>(other).value_);
}
AbstractData* ENUMERATED::do_clone() const { return cloneOf(*this); }
bool ENUMERATED::do_accept(Visitor& v) { return v.do_visit(*this); }
bool ENUMERATED::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- OBJECT IDENTIFIER ---------------------------------------------------------

namespace {

void appendBase128(std::vector<char>& out, unsigned value) {
  char groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value);
  while (n > 1) out.push_back(static_cast<char>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

}  // namespace

void OBJECT_IDENTIFIER::encodeCommon(std::vector<char>& out) const {
  out.clear();
  if (components_.size() < 2) return;
  appendBase128(out, components_[0] * 40 + components_[1]);
  for (std::size_t i = 2; i < components_.size(); ++i) appendBase128(out, components_[i]);
}

bool OBJECT_IDENTIFIER::decodeCommon(const char* octets, unsigned count) {
  components_.clear();
  unsigned i = 0;
  while (i < count) {
    unsigned value = 0;
    unsigned char octet;
    do {
      if (i == count) return false;
      octet = static_cast<unsigned char>(octets[i++]);
      value = value << 7 | (octet & 0x7F);
    } while (octet & 0x80);
    if (components_.empty()) {
      unsigned first = value < 40 ? 0 : value < 80 ? 1 : 2;
      components_.push_back(first);
      components_.push_back(value - first * 40);
    } else {
      components_.push_back(value);
    }
  }
  return true;
}

int OBJECT_IDENTIFIER::do_compare(const AbstractData& other) const {
  const auto& theirs = static_cast<const OBJECT_IDENTIFIER&>(other).components_;
  std::size_t common = std::min(components_.size(), theirs.size());
  for (std::size_t i = 0; i < common; ++i)
    if (components_[i] != theirs[i]) return static_cast<int>(components_[i] - theirs[i]);
  return static_cast<int>(components_.size()) - static_cast<int>(theirs.size());
}
AbstractData* OBJECT_IDENTIFIER::do_clone() const { return cloneOf(*this); }
bool OBJECT_IDENTIFIER::do_accept(Visitor& v) { return v.do_visit(*this); }
bool OBJECT_IDENTIFIER::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- BIT STRING ----------------------------------------------------------------

bool BIT_STRING::operator[](unsigned bit) const { return bit < totalBits_ && (bytes_[bit / 8] >> (7 - bit % 8) & 1); }

void BIT_STRING::set(unsigned bit, bool value) {
  if (bit >= totalBits_) resize(bit + 1);
  char mask = static_cast<char>(0x80 >> (bit % 8));
  if (value)
    bytes_[bit / 8] |= mask;
  else
    bytes_[bit / 8] &= static_cast<char>(~mask);
}

void BIT_STRING::resize(unsigned bits) {
  totalBits_ = bits;
  bytes_.resize((static_cast<std::size_t>(bits) + 7) / 8);
}

void BIT_STRING::assign(const std::vector<char>& bytes, unsigned bits) {
  bytes_ = bytes;
  resize(bits);
}

int BIT_STRING::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const BIT_STRING&>(other);
  std::size_t common = std::min(bytes_.size(), that.bytes_.size());
  for (std::size_t i = 0; i < common; ++i) {
    unsigned mine = static_cast<unsigned char>(bytes_[i]);
    unsigned theirs = static_cast<unsigned char>(that.bytes_[i]);
    unsigned differ = mine ^ theirs;
    if (differ) return static_cast<int>(mine & differ) - static_cast<int>(theirs & differ);
  }
  return static_cast<int>(totalBits_ - that.totalBits_);
}
AbstractData* BIT_STRING::do_clone() const { return cloneOf(*this); }
bool BIT_STRING::do_accept(Visitor& v) { return v.do_visit(*this); }
bool BIT_STRING::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- OCTET STRING and character strings -------------------------------------------

int OCTET_STRING::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const OCTET_STRING&>(other);
  return lexicographic_compare_bytes(data(), data() + size(), that.data(), that.data() + that.size());
}
AbstractData* OCTET_STRING::do_clone() const { return cloneOf(*this); }
bool OCTET_STRING::do_accept(Visitor& v) { return v.do_visit(*this); }
bool OCTET_STRING::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

AbstractString& AbstractString::operator=(const std::string& text) {
  CharacterVector::assign(text.data(), text.size());
  return *this;
}

AbstractString& AbstractString::operator=(const char* text) {
  CharacterVector::assign(text, std::strlen(text));
  return *this;
}

int AbstractString::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const AbstractString&>(other);
  std::size_t common = std::min(size(), that.size());
  for (std::size_t i = 0; i < common; ++i) {
    int a = static_cast<unsigned char>((*this)[i]);
    int b = static_cast<unsigned char>(that[i]);
    if (a != b) return a - b;
  }
  return static_cast<int>(size()) - static_cast<int>(that.size());
}
AbstractData* AbstractString::do_clone() const { return cloneOf(*this); }
bool AbstractString::do_accept(Visitor& v) { return v.do_visit(*this); }
bool AbstractString::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

int BMPString::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const BMPString&>(other);
  std::size_t common = std::min(size(), that.size());
  for (std::size_t i = 0; i < common; ++i)
    if ((*this)[i] != that[i]) return static_cast<int>((*this)[i]) - static_cast<int>(that[i]);
  return static_cast<int>(size()) - static_cast<int>(that.size());
}
AbstractData* BMPString::do_clone() const { return cloneOf(*this); }
bool BMPString::do_accept(Visitor& v) { return v.do_visit(*this); }
bool BMPString::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- GeneralizedTime -------------------------------------------------------------

GeneralizedTime::GeneralizedTime(const std::string& text, const InfoType* info)
    : AbstractData(info, ValueKind::GeneralizedTime) {
  set(text);
}

GeneralizedTime::GeneralizedTime(int year_, int month_, int day_, int hour_, int minute_, int second_, int millisec_,
                                 int mindiff_, bool utc_, const InfoType* info)
    : AbstractData(info, ValueKind::GeneralizedTime),
      year(year_),
      month(month_),
      day(day_),
      hour(hour_),
      minute(minute_),
      second(second_),
      millisec(millisec_),
      mindiff(mindiff_),
      utc(utc_) {}

std::string GeneralizedTime::get() const {
  char text[64];
  int n = std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
  std::string result(text, static_cast<std::size_t>(std::max(n, 0)));
  if (millisec != 0) {
    std::snprintf(text, sizeof text, ".%03d", millisec);
    result += text;
  }
  if (utc) {
    result += 'Z';
  } else if (mindiff != 0) {
    // The sign stands for the whole offset, so -00:30 stays negative.
    long magnitude = mindiff < 0 ? -static_cast<long>(mindiff) : mindiff;
    std::snprintf(text, sizeof text, "%c%02ld%02ld", mindiff < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    result += text;
  }
  return result;
}

void GeneralizedTime::set(const std::string& text) {
  std::sscanf(text.c_str(), "%4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute, &second);
  if (text.size() > 14 && text[14] == '.') {
    int ms = 0;
    std::size_t i = 15;
    for (int digits = 0; digits < 3; ++digits, ++i)
      ms = ms * 10 + (i < text.size() && text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : 0);
    millisec = ms;
  }
  if (!text.empty() && text.back() == 'Z') {
    utc = true;
  } else if (text.size() >= 5 && (text[text.size() - 5] == '+' || text[text.size() - 5] == '-')) {
    int hh = 0, mm = 0;
    if (std::sscanf(text.c_str() + text.size() - 4, "%2d%2d", &hh, &mm) == 2)
      mindiff = (text[text.size() - 5] == '-' ? -1 : 1) * (hh * 60 + mm);
  }
}

std::time_t GeneralizedTime::get_time_t() const {
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  return timegm(&broken);
}

void GeneralizedTime::set_time_t(std::time_t time) {
  std::tm broken{};
  gmtime_r(&time, &broken);
  year = broken.tm_year + 1900;
  month = broken.tm_mon + 1;
  day = broken.tm_mday;
  hour = broken.tm_hour;
  minute = broken.tm_min;
  second = broken.tm_sec;
}

void GeneralizedTime::swap(GeneralizedTime& other) {
  std::swap(year, other.year);
  std::swap(month, other.month);
  std::swap(day, other.day);
  std::swap(hour, other.hour);
  std::swap(minute, other.minute);
  std::swap(second, other.second);
  std::swap(millisec, other.millisec);
  std::swap(mindiff, other.mindiff);
  std::swap(utc, other.utc);
}

GeneralizedTime& GeneralizedTime::operator=(const GeneralizedTime& other) {
  GeneralizedTime copy(other);
  swap(copy);
  return *this;
}

int GeneralizedTime::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const GeneralizedTime&>(other);
  const int mine[] = {year, month, day, hour, minute, second, millisec, mindiff};
  const int theirs[] = {that.year,   that.month,  that.day,      that.hour,
                        that.minute, that.second, that.millisec, that.mindiff};
  for (int i = 0; i < 8; ++i)
    if (mine[i] != theirs[i]) return wrapDifference(mine[i], theirs[i]);
  return static_cast<int>(utc) - static_cast<int>(that.utc);
}
AbstractData* GeneralizedTime::do_clone() const { return cloneOf(*this); }
bool GeneralizedTime::do_accept(Visitor& v) { return v.do_visit(*this); }
bool GeneralizedTime::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- CHOICE ------------------------------------------------------------------------

CHOICE::CHOICE(const CHOICE& other)
    : AbstractData(other), selection_(cloneOrNull(other.selection_)), selectionId_(other.selectionId_) {}

CHOICE& CHOICE::operator=(const CHOICE& other) {
  CHOICE copy(other);
  swap(copy);
  return *this;
}

const char* CHOICE::getSelectionName() const {
  int id = currentSelection();
  return id >= 0 && static_cast<unsigned>(id) < info()->totalChoices ? info()->selectionNames[id] : nullptr;
}

AbstractData* CHOICE::setSelection(int id, AbstractData* selection) {
  delete selection_;
  selection_ = selection;
  selectionId_ = id;
  return selection_;
}

bool CHOICE::createSelection() {
  const InfoType* rec = info();
  if (selectionId_ >= 0 && static_cast<unsigned>(selectionId_) < rec->totalChoices &&
      rec->selectionInfos[selectionId_]) {
    const AbstractData::InfoType* alt = rec->selectionInfos[selectionId_];
    AbstractData* fresh = alt->create(alt);
    delete selection_;
    selection_ = fresh;
    return true;
  }
  selectionId_ = unknownSelection_;
  delete selection_;
  selection_ = nullptr;
  return false;
}

bool CHOICE::setID(int id) {
  selectionId_ = id;
  return createSelection();
}

void CHOICE::swap(CHOICE& other) {
  std::swap(selection_, other.selection_);
  std::swap(selectionId_, other.selectionId_);
}

int CHOICE::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const CHOICE&>(other);
  int mine = currentSelection();
  int theirs = that.currentSelection();
  if (mine == theirs && mine >= 0) return selection_->do_compare(*that.selection_);
  return mine - theirs;
}
AbstractData* CHOICE::do_clone() const { return cloneOf(*this); }
bool CHOICE::do_accept(Visitor& v) { return v.do_visit(*this); }
bool CHOICE::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- SEQUENCE ------------------------------------------------------------------------

SEQUENCE::BitMap::BitMap(const BitMap& other) { *this = other; }

SEQUENCE::BitMap& SEQUENCE::BitMap::operator=(const BitMap& other) {
  if (this != &other) {
    resize(0);
    resize(other.bitCount_);
    std::copy(other.data(), other.data() + (bitCount_ + 7) / 8, data());
  }
  return *this;
}

void SEQUENCE::BitMap::grow(unsigned bytes) {
  std::unique_ptr<char[]> grown(new char[bytes]());
  std::copy(data(), data() + bytesFor(bitCount_), grown.get());
  heap_ = std::move(grown);
  capacity_ = bytes;
}

void SEQUENCE::BitMap::resizeOutOfLine(unsigned bits) { resize(bits); }

void SEQUENCE::BitMap::set(unsigned bit) {
  if (bit < bitCount_) data()[bit / 8] |= static_cast<char>(0x80 >> (bit % 8));
}

void SEQUENCE::BitMap::clear(unsigned bit) {
  if (bit < bitCount_) data()[bit / 8] &= static_cast<char>(~(0x80 >> (bit % 8)));
}

bool SEQUENCE::BitMap::any() const {
  const char* bytes = data();
  return std::any_of(bytes, bytes + (bitCount_ + 7) / 8, [](char c) { return c != 0; });
}

void SEQUENCE::BitMap::swap(BitMap& other) {
  std::swap(bitCount_, other.bitCount_);
  std::swap(capacity_, other.capacity_);
  std::swap(inline_, other.inline_);
  heap_.swap(other.heap_);
}

SEQUENCE::SEQUENCE(const InfoType* info)
    : AbstractData(info, ValueKind::Sequence),
      fields_(info->numFields + info->knownExtensions),
      optionalMap_(info->numOptionals) {
  makeFields();
}

SEQUENCE::SEQUENCE(const InfoType* info, AbstractData** slots, bool classHoldsFields)
    : AbstractData(info, ValueKind::Sequence),
      fields_(info->numFields + info->knownExtensions, slots),
      optionalMap_(info->numOptionals) {
  if (!classHoldsFields || info->defaultExtensions) makeFields();
}

void SEQUENCE::makeFields() {
  const InfoType* info = this->info();
  try {
    const AbstractData::InfoType* const* records = info->fieldInfos;
    const int* ids = info->fieldIds;
    for (unsigned i = 0; i < info->numFields; ++i)
      if (ids[i] == -1 && records[i])  // made here; a member field (-2) is the class's
        fields_[i] = records[i]->create(records[i]);
    if (info->defaultExtensions) {
      extensionMap_.resize(info->knownExtensions);
      for (unsigned k = 0; k < info->knownExtensions; ++k)
        if (info->defaultExtensions[k / 8] >> (7 - k % 8) & 1) {
          extensionMap_.set(k);
          createField(info->numFields + k);
        }
    }
  } catch (...) {
    deleteFields();
    throw;
  }
}

SEQUENCE::SEQUENCE(const SEQUENCE& other) : AbstractData(other) { copyFields(other); }

SEQUENCE& SEQUENCE::operator=(const SEQUENCE& other) {
  if (this == &other) return *this;
  // Copies first, so a failed one leaves this value as it was.
  const unsigned count = fields_.size();
  const unsigned theirs = std::min(count, other.fields_.size());
  FieldArray copies(count);
  try {
    for (unsigned i = 0; i < theirs; ++i)
      if (!adopted(i)) copies[i] = cloneOrNull(other.fields_[i]);
  } catch (...) {
    for (unsigned i = 0; i < count; ++i)
      if (!adopted(i)) delete copies[i];
    throw;
  }
  for (unsigned i = 0; i < count; ++i) {
    if (!adopted(i)) continue;
    assignMember(*fields_[i], i < theirs ? other.fields_[i] : nullptr);
    copies[i] = fields_[i];
    fields_[i] = nullptr;
  }
  deleteFields();
  fields_.swap(copies);
  optionalMap_ = other.optionalMap_;
  extensionMap_ = other.extensionMap_;
  return *this;
}

SEQUENCE::~SEQUENCE() {
  // Only the fields that are not members of the class, found by their bits.
  const unsigned count = fields_.size();
  std::uint64_t own = count >= 64 ? ~adopted_ : ~adopted_ & ((std::uint64_t{1} << count) - 1);
  for (; own; own &= own - 1) delete fields_[static_cast<unsigned>(__builtin_ctzll(own))];
  for (unsigned i = 64; i < count; ++i) delete fields_[i];
}

void SEQUENCE::deleteFields() {
  for (unsigned i = 0; i < fields_.size(); ++i) {
    if (!adopted(i)) delete fields_[i];
    fields_[i] = nullptr;
  }
}

void SEQUENCE::copyFields(const SEQUENCE& other) {
  FieldArray copies(other.fields_.size());
  try {
    for (unsigned i = 0; i < copies.size(); ++i) copies[i] = cloneOrNull(other.fields_[i]);
  } catch (...) {
    for (AbstractData* f : copies) delete f;
    throw;
  }
  deleteFields();
  fields_.swap(copies);
  optionalMap_ = other.optionalMap_;
  extensionMap_ = other.extensionMap_;
}

bool SEQUENCE::makeField(unsigned index) {
  if (takeKeptMember(index)) return true;
  const AbstractData::InfoType* rec = info()->fieldInfos[index];
  if (!rec) return false;
  fields_[index] = rec->create(rec);
  return true;
}

void SEQUENCE::includeOptionalField(unsigned optionalId, unsigned index) {
  if (index >= fields_.size() || optionalIdOf(index) != static_cast<int>(optionalId)) return;
  unsigned roots = info()->numOptionals;
  if (optionalId < roots) {
    optionalMap_.set(optionalId);
  } else {
    unsigned bit = optionalId - roots;
    if (bit >= extensionMap_.size()) extensionMap_.resize(bit + 1);
    extensionMap_.set(bit);
  }
  createField(index);
}

void SEQUENCE::removeOptionalField(unsigned optionalId) {
  unsigned roots = info()->numOptionals;
  if (optionalId < roots)
    optionalMap_.clear(optionalId);
  else
    extensionMap_.clear(optionalId - roots);
}

int SEQUENCE::optionalIdOf(unsigned index) const {
  const InfoType* rec = info();
  if (index < rec->numFields) return rec->fieldIds[index];
  return static_cast<int>(rec->numOptionals + (index - rec->numFields));
}

bool SEQUENCE::isPresent(unsigned index) const {
  if (index >= fields_.size() || !fields_[index]) return false;
  int id = optionalIdOf(index);
  return id < 0 || hasOptionalField(static_cast<unsigned>(id));
}

void SEQUENCE::swap(SEQUENCE& other) {
  if ((adopted_ | other.adopted_) == 0) {
    fields_.swap(other.fields_);
  } else {
    for (unsigned i = 0; i < fields_.size() && i < other.fields_.size(); ++i) {
      if (!adopted(i) && !other.adopted(i))
        std::swap(fields_[i], other.fields_[i]);
      else if (createField(i) && other.createField(i))
        swapMember(*fields_[i], *other.fields_[i]);
    }
  }
  optionalMap_.swap(other.optionalMap_);
  extensionMap_.swap(other.extensionMap_);
}

int SEQUENCE::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const SEQUENCE&>(other);
  for (unsigned i = 0; i < fields_.size() && i < that.fields_.size(); ++i) {
    bool mine = isPresent(i);
    bool theirs = that.isPresent(i);
    if (mine != theirs) return mine ? 1 : -1;
    if (!mine) continue;
    if (int r = fields_[i]->do_compare(*that.fields_[i])) return r;
  }
  return 0;
}
AbstractData* SEQUENCE::do_clone() const { return cloneOf(*this); }
bool SEQUENCE::do_accept(Visitor& v) { return v.visit(*this); }
bool SEQUENCE::do_accept(ConstVisitor& v) const { return v.visit(*this); }

// ---- SEQUENCE OF ------------------------------------------------------------------------

SEQUENCE_OF_Base::SEQUENCE_OF_Base(const SEQUENCE_OF_Base& other) : ConstrainedObject(other) {
  insert(container_.end(), other.container_.begin(), other.container_.end());
}

SEQUENCE_OF_Base& SEQUENCE_OF_Base::operator=(const SEQUENCE_OF_Base& other) {
  SEQUENCE_OF_Base copy(other);
  swap(copy);
  return *this;
}

SEQUENCE_OF_Base::~SEQUENCE_OF_Base() { clear(); }

void SEQUENCE_OF_Base::resize(unsigned count) {
  if (count < container_.size()) {
    erase(container_.begin() + count, container_.end());
    return;
  }
  container_.reserve(count);
  const AbstractData::InfoType* rec = info()->elementInfo;
  while (container_.size() < count) container_.push_back(rec->create(rec));
}

void SEQUENCE_OF_Base::clear() { erase(container_.begin(), container_.end()); }

SEQUENCE_OF_Base::iterator SEQUENCE_OF_Base::insert(iterator position, unsigned count, const AbstractData& value) {
  Container copies;
  copies.reserve(count);
  try {
    while (copies.size() < count) copies.push_back(value.clone());
  } catch (...) {
    for (AbstractData* e : copies) delete e;
    throw;
  }
  return container_.insert(position, copies.begin(), copies.end());
}

SEQUENCE_OF_Base::iterator SEQUENCE_OF_Base::insert(iterator position, const_iterator first, const_iterator last) {
  Container copies;
  copies.reserve(static_cast<std::size_t>(last - first));
  try {
    for (; first != last; ++first) copies.push_back((*first)->clone());
  } catch (...) {
    for (AbstractData* e : copies) delete e;
    throw;
  }
  return container_.insert(position, copies.begin(), copies.end());
}

SEQUENCE_OF_Base::iterator SEQUENCE_OF_Base::erase(iterator first, iterator last) {
  for (iterator it = first; it != last; ++it) delete *it;
  return container_.erase(first, last);
}

int SEQUENCE_OF_Base::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const SEQUENCE_OF_Base&>(other);
  std::size_t common = std::min(container_.size(), that.container_.size());
  for (std::size_t i = 0; i < common; ++i)
    if (int r = container_[i]->do_compare(*that.container_[i])) return r;
  return static_cast<int>(container_.size()) - static_cast<int>(that.container_.size());
}
AbstractData* SEQUENCE_OF_Base::do_clone() const { return cloneOf(*this); }
bool SEQUENCE_OF_Base::do_accept(Visitor& v) { return v.do_visit(*this); }
bool SEQUENCE_OF_Base::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

// ---- Open types ------------------------------------------------------------------------

OpenData::OpenData(const OpenData& other)
    : AbstractData(other),
      data_(cloneOrNull(other.data_)),
      buf_(other.buf_ ? new std::vector<char>(*other.buf_) : nullptr) {}

OpenData& OpenData::operator=(const OpenData& other) {
  OpenData copy(other);
  swap(copy);
  return *this;
}

OpenData::~OpenData() {
  delete data_;
  delete buf_;
}

void OpenData::grab(AbstractData* data) {
  delete data_;
  data_ = data;
}

std::vector<char>& OpenData::make_buf() {
  if (!buf_) buf_ = new std::vector<char>;
  return *buf_;
}

void OpenData::swap(OpenData& other) {
  std::swap(data_, other.data_);
  std::swap(buf_, other.buf_);
}

int OpenData::do_compare(const AbstractData& other) const {
  const auto& that = static_cast<const OpenData&>(other);
  if (data_ && that.data_) return data_->do_compare(*that.data_);
  if (buf_ && that.buf_)
    return lexicographic_compare_bytes(buf_->data(), buf_->data() + buf_->size(), that.buf_->data(),
                                       that.buf_->data() + that.buf_->size());
  if (!data_ && !buf_ && !that.data_ && !that.buf_) return 0;
  return data_ ? 1 : -1;
}
AbstractData* OpenData::do_clone() const { return cloneOf(*this); }
bool OpenData::do_accept(Visitor& v) { return v.do_visit(*this); }
bool OpenData::do_accept(ConstVisitor& v) const { return v.do_visit(*this); }

TypeConstrainedOpenData::TypeConstrainedOpenData(const InfoType* info)
    : OpenData(info, ValueKind::TypeConstrainedOpen) {
  if (const AbstractData::InfoType* contained = info->containedInfo) grab(contained->create(contained));
}
bool TypeConstrainedOpenData::do_accept(Visitor& v) { return v.do_visit(*this); }
bool TypeConstrainedOpenData::do_accept(ConstVisitor& v) const {
  return v.do_visit(static_cast<const OpenData&>(*this));
}

}  // namespace ASN1
