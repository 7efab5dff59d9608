// ASN.1 value classes and their type records.
//
// Every value object points at one constant type record (`theInfo`) that
// describes its ASN.1 type; all behaviour lives in the runtime classes below
// and in the coders that walk a value through Visitor / ConstVisitor.
//
// Record kinds (each begins with the fields of the kind it extends; all are
// aggregates, so a record is constant static data with no start-up code):
//
//   AbstractData::InfoType          { create, tag }
//   ConstrainedObject::InfoType     { {create, tag}, type, lowerLimit, upperLimit }
//   IntegerWithNamedNumber::InfoType{ constrained..., nameEntries, entryCount }
//   AbstractString::InfoType        { constrained (size)..., characterSet, characterSetSize,
//                                     charCodeBits, unalignedBits, alignedBits }
//   BMPString::InfoType             { constrained (size)..., firstChar, lastChar,
//                                     unalignedBits, alignedBits }
//   SEQUENCE_OF_Base::InfoType      { constrained (size)..., elementInfo }
//   TypeConstrainedOpenData::InfoType { {create, tag}, containedInfo }
//   ENUMERATED::InfoType            { {create, tag}, extendable, maxEnumValue, names,
//                                     numNames, values }
//   SEQUENCE::InfoType              { {create, tag}, extendable, fieldInfos, fieldIds,
//                                     numFields, knownExtensions, numOptionals,
//                                     defaultExtensions, tags, fieldNames }
//   CHOICE::InfoType                { {create, 0}, extendable, selectionInfos, numChoices,
//                                     totalChoices, tags, selectionNames }
//
// `create` is `&ASN1::create<Class>`: it makes an object of the generated
// class on that record, so every field or alternative the runtime builds has
// its generated type and typed accessors never cast to a type it lacks.
// `tag` is ASN1::makeTag(class, number). ENUMERATED `names` hold one text per
// identifier in definition order ("name" or "name=n" as written in the
// definition); `values` holds the value of each entry, or is null when the
// values run 0, 1, 2, ... in order. SEQUENCE `fieldIds` is -1 for a mandatory
// root field, -2 for a mandatory one the generated class holds as a member,
// else the optional id (root optionals 0.., extension additions continue the
// numbering; their entries hold 0 and are not read). `tags` and
// `defaultExtensions` are null in generated modules (automatic tagging).
//
// How a generator declares a module type (header):
//
//   // Message ::= SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, pdu PDU }
//   class Message : public ASN1::SEQUENCE {
//   public:
//       static const InfoType theInfo;
//       enum FieldIndex { e_seq, e_slot, e_pdu };      // field positions
//       enum OptionalId { o_seq, o_slot };             // optional ids
//       explicit Message(const InfoType* info = &theInfo) : SEQUENCE(info) {}
//       ~Message() override;
//       const ASN1::INTEGER& get_seq() const { return field<ASN1::INTEGER>(e_seq); }
//       void set_seq(int v) { includeOptionalField(o_seq, e_seq); field<ASN1::INTEGER>(e_seq).setValue(v); }
//       ...
//   };
//
// and in the .cpp the side tables and the record, all constant:
//
//   const ASN1::AbstractData::InfoType* const Message::fieldInfos[] = {
//       &ASN1::INTEGER::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023>::theInfo,
//       &PDU::theInfo };
//   const int Message::fieldIds[] = { 0, 1, -1 };
//   const char* const Message::fieldNames[] = { "seq", "slot", "pdu" };
//   const Message::InfoType Message::theInfo = {
//       { &ASN1::create<Message>, ASN1::makeTag(ASN1::UniversalTagClass, 16) },
//       false, fieldInfos, fieldIds, 3, 0, 2, nullptr, nullptr, fieldNames };
//   Message::~Message() = default;
//
// The field pointers live in the generated class (ASN1::FieldSlots, a base
// ahead of SEQUENCE). A mandatory field among the first 64 is a member of the
// class (its id -2) when its class made with no arguments is on its record:
// BOOLEAN, NULL, INTEGER, ENUMERATED, SEQUENCE, CHOICE, SEQUENCE OF and
// unbounded IA5String and OCTET STRING. The constructor, defined next to the
// record, hands it to the SEQUENCE with adopt(), so making and freeing the
// value costs no object of its own:
//
//   class Flags : private ASN1::FieldSlots<1>, public ASN1::SEQUENCE { ... ASN1::BOOLEAN on_; };
//   Flags::Flags(const InfoType* info) : SEQUENCE(info, fieldSlots, true) { adopt(e_on, on_); }
//
// An optional BOOLEAN, NULL, INTEGER or ENUMERATED field among the first 64
// is a member too, but the field stays null until it is made: the
// constructor hands the member over with reserve(), its address waits in
// the slots past the fields' (one per field index up to the last such
// field), and making the field takes it instead of a new object:
//
//   class Message : private ASN1::FieldSlots<3, 2>, public ASN1::SEQUENCE { ... ASN1::INTEGER seq_; ... };
//   Message::Message(const InfoType* info) : SEQUENCE(info, fieldSlots, true) { reserve(e_seq, seq_); ... }
//
// A class that holds every mandatory field says so to the SEQUENCE (the
// `true` above), which then has no field of the record's to make.
//
// Such a class's copy takes its fields from the SEQUENCE's copy (its own
// members go unused), and its assignment is the SEQUENCE's, which copies
// member values in place.
//
// CHOICE and ENUMERATED types follow the same pattern (see the runtime
// tests' module, asn1/tests/schema/GWTEST.asn, generated the same way). SEQUENCE OF
// records are ASN1::SEQUENCE_OF<T>::theInfo, defined here as constant data.
#pragma once

#include "asn1/Allocator.h"

#include <boost/cast.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <ios>
#include <iosfwd>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace ASN1 {

class Visitor;
class ConstVisitor;

enum ConstraintType {
  Unconstrained = 0,
  PartiallyConstrained = 1,
  FixedConstraint = 2,
  ExtendableConstraint = 3,
};

enum TagClass : unsigned {
  UniversalTagClass = 0,
  ApplicationTagClass = 1,
  ContextSpecificTagClass = 2,
  PrivateTagClass = 3,
};

constexpr unsigned makeTag(unsigned tagClass, unsigned number) { return tagClass << 16 | number; }

// Decoder limits: largest string (bits, octets or characters) and largest
// SEQUENCE OF / extension-addition count.
constexpr unsigned MaximumStringSize = 16384;
constexpr unsigned MaximumArraySize = 128;

// Bits that hold the values 0 .. n-1 (32 for n = 0, the wrapped full range).
inline unsigned CountBits(unsigned n) {
  return n == 0 ? 32 : n == 1 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(n - 1));
}
// Unsigned byte order; a proper prefix is the smaller.
int lexicographic_compare_bytes(const char* first1, const char* last1, const char* first2, const char* last2);

// The runtime class a value object belongs to (generated classes take their
// base's): lets a coder switch on it instead of visiting.
enum class ValueKind : std::uint8_t {
  Null,
  Boolean,
  Integer,
  Enumerated,
  ObjectIdentifier,
  BitString,
  OctetString,
  CharacterString,
  BMPString,
  GeneralizedTime,
  Choice,
  Sequence,
  SequenceOf,
  Open,
  TypeConstrainedOpen,
};
constexpr unsigned valueKindCount = static_cast<unsigned>(ValueKind::TypeConstrainedOpen) + 1;

class AbstractData {
public:
  using CreateFun = AbstractData* (*)(const void* info);
  struct InfoType {
    CreateFun create;
    unsigned tag;
  };

  virtual ~AbstractData() = default;

  // Three-way order of two values of the same type, 0 when equal.
  virtual int do_compare(const AbstractData& other) const = 0;
  // Deep copy of the same dynamic type, owned by the caller.
  virtual AbstractData* do_clone() const = 0;
  virtual bool do_accept(Visitor& visitor) = 0;
  virtual bool do_accept(ConstVisitor& visitor) const = 0;

  int compare(const AbstractData& other) const { return do_compare(other); }
  AbstractData* clone() const { return do_clone(); }
  bool accept(Visitor& visitor) { return do_accept(visitor); }
  bool accept(ConstVisitor& visitor) const { return do_accept(visitor); }

  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  const void* infoRecord() const { return info_; }
  unsigned getTag() const { return info()->tag; }
  ValueKind kind() const { return kind_; }

  // Value notation: the text of the value (partial text when printing
  // fails), printing onto a stream (0 or failbit), reading back.
  std::string asValueNotation() const;
  std::ios_base::iostate print_on(std::ostream& stream) const;
  bool setFromValueNotation(const std::string& text);
  std::ios_base::iostate get_from(std::istream& stream);

  // Constraint checks (asn1/Checker.h): with the allowances of extensible
  // types, and the root only.
  bool isValid() const;
  bool isStrictlyValid() const;

protected:
  AbstractData(const void* info, ValueKind kind) : info_(info), kind_(kind) {}
  AbstractData(const AbstractData&) = default;
  // Assignment copies values; the record and the kind stay.
  AbstractData& operator=(const AbstractData&) { return *this; }

  const void* info_;

private:
  ValueKind kind_;
};

// The factory stored in records: an object of class T on the given record.
template <class T>
AbstractData* create(const void* info) {
  return new T(static_cast<const typename T::InfoType*>(info));
}

std::ostream& operator<<(std::ostream& stream, const AbstractData& value);
std::istream& operator>>(std::istream& stream, AbstractData& value);

class ConstrainedObject : public AbstractData {
public:
  struct InfoType : AbstractData::InfoType {
    ConstraintType type;
    int lowerLimit;
    unsigned upperLimit;
  };
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  ConstraintType getConstraintType() const { return info()->type; }
  int getLowerLimit() const { return info()->lowerLimit; }
  unsigned getUpperLimit() const { return info()->upperLimit; }
  bool constrained() const { return info()->type == FixedConstraint; }
  bool extendable() const { return info()->type == ExtendableConstraint; }

protected:
  using AbstractData::AbstractData;
};

class Null : public AbstractData, public detail::Allocator<Null> {
public:
  using InfoType = AbstractData::InfoType;
  static const InfoType theInfo;
  explicit Null(const InfoType* info = &theInfo) : AbstractData(info, ValueKind::Null) {}
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

class BOOLEAN : public AbstractData, public detail::Allocator<BOOLEAN> {
public:
  using InfoType = AbstractData::InfoType;
  static const InfoType theInfo;
  explicit BOOLEAN(const InfoType* info = &theInfo) : AbstractData(info, ValueKind::Boolean) {}
  BOOLEAN(bool value, const InfoType* info) : AbstractData(info, ValueKind::Boolean), value_(value) {}
  bool getValue() const { return value_; }
  void setValue(bool value) { value_ = value; }
  BOOLEAN& operator=(bool value) {
    value_ = value;
    return *this;
  }
  operator bool() const { return value_; }
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  bool value_ = false;
};

class INTEGER : public ConstrainedObject, public detail::Allocator<INTEGER> {
public:
  using InfoType = ConstrainedObject::InfoType;
  static const InfoType theInfo;
  explicit INTEGER(const InfoType* info = &theInfo) : ConstrainedObject(info, ValueKind::Integer) {}
  INTEGER(int value, const InfoType* info) : ConstrainedObject(info, ValueKind::Integer), value_(value) {}
  int getValue() const { return value_; }
  unsigned getUnsignedValue() const { return static_cast<unsigned>(value_); }
  void setValue(int value) { value_ = value; }
  void setValue(unsigned value) { value_ = static_cast<int>(value); }
  INTEGER& operator=(int value) {
    value_ = value;
    return *this;
  }
  INTEGER& operator=(unsigned value) {
    value_ = static_cast<int>(value);
    return *this;
  }
  // Printed and read as unsigned when constrained with a lower bound >= 0.
  bool isUnsigned() const { return info()->type != Unconstrained && info()->lowerLimit >= 0; }
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  int value_ = 0;
};

// INTEGER (lower..upper) on its own shared record.
template <ConstraintType type, int lower, unsigned upper>
class Constrained_INTEGER : public INTEGER {
public:
  using value_type = std::conditional_t<(lower < 0), int, unsigned>;
  static const InfoType theInfo;
  explicit Constrained_INTEGER(const InfoType* info = &theInfo) : INTEGER(info) {}
  value_type getValue() const { return static_cast<value_type>(INTEGER::getValue()); }
  Constrained_INTEGER& operator=(value_type value) {
    setValue(value);
    return *this;
  }
};

template <ConstraintType type, int lower, unsigned upper>
const typename Constrained_INTEGER<type, lower, upper>::InfoType Constrained_INTEGER<type, lower, upper>::theInfo = {
    {&create<Constrained_INTEGER<type, lower, upper>>, makeTag(UniversalTagClass, 2)}, type, lower, upper};

class IntegerWithNamedNumber : public INTEGER {
public:
  struct NameEntry {
    int value;
    const char* name;
  };
  struct InfoType : ConstrainedObject::InfoType {
    const NameEntry* nameEntries;  // sorted by value
    unsigned entryCount;
  };
  explicit IntegerWithNamedNumber(const InfoType* info) : INTEGER(info) {}
  IntegerWithNamedNumber(int value, const InfoType* info) : INTEGER(value, info) {}
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  bool getName(std::string& name) const;
  bool setFromName(const std::string& name);
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

class ENUMERATED : public AbstractData, public detail::Allocator<ENUMERATED> {
public:
  struct InfoType : AbstractData::InfoType {
    bool extendable;
    unsigned maxEnumValue;  // largest value of the root
    const char* const* names;
    unsigned numNames;
    const int* values;  // null: entry i has value i
  };
  explicit ENUMERATED(const InfoType* info) : AbstractData(info, ValueKind::Enumerated) {}
  ENUMERATED(const ENUMERATED&) = default;
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  int getValue() const { return value_; }
  void setValue(int value) { value_ = value; }
  ENUMERATED& operator=(const ENUMERATED& other) {
    value_ = other.value_;
    return *this;
  }
  ENUMERATED& operator=(int value) {
    value_ = value;
    return *this;
  }
  bool extendable() const { return info()->extendable; }
  unsigned getMaximum() const { return info()->maxEnumValue; }
  // The stored text of the current value ("name" or "name=n"); null when
  // the value has no entry.
  const char* getName() const;
  // Exact match against every stored text; unknown: value maximum + 1, false.
  bool setFromName(const std::string& name);
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  int value_ = 0;
};

class OBJECT_IDENTIFIER : public AbstractData, public detail::Allocator<OBJECT_IDENTIFIER> {
public:
  using InfoType = AbstractData::InfoType;
  static const InfoType theInfo;
  explicit OBJECT_IDENTIFIER(const InfoType* info = &theInfo) : AbstractData(info, ValueKind::ObjectIdentifier) {}
  OBJECT_IDENTIFIER(std::initializer_list<unsigned> arcs, const InfoType* info = &theInfo)
      : AbstractData(info, ValueKind::ObjectIdentifier), components_(arcs) {}
  unsigned levels() const { return static_cast<unsigned>(components_.size()); }
  unsigned operator[](unsigned i) const { return components_[i]; }
  std::vector<unsigned>& components() { return components_; }
  const std::vector<unsigned>& components() const { return components_; }
  // Content octets shared by the PER and BER coders.
  void encodeCommon(std::vector<char>& out) const;
  bool decodeCommon(const char* octets, unsigned count);
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  std::vector<unsigned> components_;
};

class BIT_STRING : public ConstrainedObject, public detail::Allocator<BIT_STRING> {
public:
  using InfoType = ConstrainedObject::InfoType;
  static const InfoType theInfo;
  explicit BIT_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info, ValueKind::BitString) {}
  unsigned size() const { return totalBits_; }
  bool operator[](unsigned bit) const;
  void set(unsigned bit, bool value);  // grows the string as needed
  void resize(unsigned bits);
  std::vector<char>& bytes() { return bytes_; }
  const std::vector<char>& bytes() const { return bytes_; }
  // Bytes and bit count together (bits <= 8 * bytes.size()).
  void assign(const std::vector<char>& bytes, unsigned bits);
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  unsigned totalBits_ = 0;
  std::vector<char> bytes_;
};

using OctetVector = std::vector<char, detail::PoolAllocator<char>>;

class OCTET_STRING : public ConstrainedObject, public OctetVector, public detail::Allocator<OCTET_STRING> {
public:
  using InfoType = ConstrainedObject::InfoType;
  using detail::Allocator<OCTET_STRING>::operator new;
  using detail::Allocator<OCTET_STRING>::operator delete;
  static const InfoType theInfo;
  explicit OCTET_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info, ValueKind::OctetString) {}
  OCTET_STRING(unsigned count, char fill, const InfoType* info = &theInfo)
      : ConstrainedObject(info, ValueKind::OctetString), OctetVector(count, fill) {}
  OCTET_STRING(const std::vector<char>& octets, const InfoType* info = &theInfo)
      : ConstrainedObject(info, ValueKind::OctetString), OctetVector(octets.begin(), octets.end()) {}
  OCTET_STRING& operator=(const std::vector<char>& octets) {
    assign(octets.begin(), octets.end());
    return *this;
  }
  OCTET_STRING& operator=(const std::string& octets) {
    assign(octets.begin(), octets.end());
    return *this;
  }
  void setValue(const char* octets, std::size_t count) { assign(octets, octets + count); }
  operator std::string() const { return std::string(data(), size()); }
  std::vector<char> toVector() const { return std::vector<char>(begin(), end()); }
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

// Character sets in canonical order (PER codes an index into them when the
// character codes do not fit the per-character bit width).
extern const char NumericStringSet[];
extern const char PrintableStringSet[];
extern const char VisibleStringSet[];
extern const char IA5StringSet[];
extern const char GeneralStringSet[];

// Characters of a string value, stored in the pool like the value objects,
// so a decoded text past the short-string room costs no heap call.
using CharacterVector = std::basic_string<char, std::char_traits<char>, detail::PoolAllocator<char>>;

class AbstractString : public ConstrainedObject, public CharacterVector, public detail::Allocator<AbstractString> {
public:
  struct InfoType : ConstrainedObject::InfoType {
    const char* characterSet;
    unsigned characterSetSize;
    unsigned charCodeBits;
    unsigned unalignedBits;
    unsigned alignedBits;
  };
  using detail::Allocator<AbstractString>::operator new;
  using detail::Allocator<AbstractString>::operator delete;
  using AbstractData::compare;
  static const InfoType NumericStringInfo;
  static const InfoType PrintableStringInfo;
  static const InfoType VisibleStringInfo;
  static const InfoType IA5StringInfo;
  static const InfoType GeneralStringInfo;

  explicit AbstractString(const InfoType* info) : ConstrainedObject(info, ValueKind::CharacterString) {}
  AbstractString(const InfoType* info, const std::string& text)
      : ConstrainedObject(info, ValueKind::CharacterString), CharacterVector(text.data(), text.size()) {}
  AbstractString(const InfoType* info, const char* text)
      : ConstrainedObject(info, ValueKind::CharacterString), CharacterVector(text) {}
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  // Out of line: inlined into a caller with a constant text, GCC 12 takes
  // the copy for an overlapping one (-Wrestrict).
  AbstractString& operator=(const std::string& text);
  AbstractString& operator=(const char* text);
  std::string getValue() const { return std::string(data(), size()); }
  operator std::string() const { return getValue(); }
  void setValue(const std::string& text) { *this = text; }
  bool operator==(const std::string& text) const {
    return size() == text.size() && !text.compare(0, size(), data(), size());
  }
  bool operator!=(const std::string& text) const { return !(*this == text); }
  bool operator==(const char* text) const { return CharacterVector::compare(text) == 0; }
  bool operator!=(const char* text) const { return !(*this == text); }
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

class IA5String : public AbstractString {
public:
  static const InfoType theInfo;
  explicit IA5String(const InfoType* info = &theInfo) : AbstractString(info) {}
  IA5String(const std::string& text, const InfoType* info = &theInfo) : AbstractString(info, text) {}
  IA5String(const char* text, const InfoType* info = &theInfo) : AbstractString(info, text) {}
  using AbstractString::operator=;
};

class BMPString : public ConstrainedObject, public std::wstring, public detail::Allocator<BMPString> {
public:
  struct InfoType : ConstrainedObject::InfoType {
    unsigned firstChar;
    unsigned lastChar;
    unsigned unalignedBits;
    unsigned alignedBits;
  };
  using detail::Allocator<BMPString>::operator new;
  using detail::Allocator<BMPString>::operator delete;
  using AbstractData::compare;
  static const InfoType theInfo;
  explicit BMPString(const InfoType* info = &theInfo) : ConstrainedObject(info, ValueKind::BMPString) {}
  BMPString(const std::wstring& text, const InfoType* info = &theInfo)
      : ConstrainedObject(info, ValueKind::BMPString), std::wstring(text) {}
  BMPString(const wchar_t* text, const InfoType* info = &theInfo)
      : ConstrainedObject(info, ValueKind::BMPString), std::wstring(text) {}
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  BMPString& operator=(const std::wstring& text) {
    std::wstring::assign(text);
    return *this;
  }
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

class GeneralizedTime : public AbstractData, public detail::Allocator<GeneralizedTime> {
public:
  using InfoType = AbstractData::InfoType;
  static const InfoType theInfo;
  explicit GeneralizedTime(const InfoType* info = &theInfo) : AbstractData(info, ValueKind::GeneralizedTime) {}
  explicit GeneralizedTime(const std::string& text, const InfoType* info = &theInfo);
  GeneralizedTime(int year, int month, int day, int hour, int minute, int second, int millisec, int mindiff, bool utc,
                  const InfoType* info = &theInfo);
  GeneralizedTime(const GeneralizedTime&) = default;
  // "YYYYMMDDhhmmss[.fff][Z|+hhmm]"
  std::string get() const;
  void set(const std::string& text);
  std::time_t get_time_t() const;     // UTC
  void set_time_t(std::time_t time);  // UTC
  void swap(GeneralizedTime& other);
  GeneralizedTime& operator=(const GeneralizedTime& other);

  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisec = 0;
  int mindiff = 0;  // minutes east of UTC
  bool utc = false;

  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

class CHOICE : public AbstractData, public detail::Allocator<CHOICE> {
public:
  struct InfoType : AbstractData::InfoType {
    bool extendable;
    const AbstractData::InfoType* const* selectionInfos;  // an entry may be null
    unsigned numChoices;                                  // root alternatives
    unsigned totalChoices;                                // root plus known extension alternatives
    const unsigned* tags;
    const char* const* selectionNames;
  };
  enum { unselected_ = -1, unknownSelection_ = -2 };

  // Takes ownership of `selection`. In line, as the destructor: every
  // generated class that holds a CHOICE makes and frees one.
  explicit CHOICE(const InfoType* info, int id = unselected_, AbstractData* selection = nullptr)
      : AbstractData(info, ValueKind::Choice), selection_(selection), selectionId_(id) {}
  CHOICE(const CHOICE& other);
  CHOICE& operator=(const CHOICE& other);
  ~CHOICE() override { delete selection_; }
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }

  // The selected index, or -1 when nothing usable is selected (an id with
  // no alternative object counts as no selection).
  int currentSelection() const {
    if (selection_) return selectionId_;
    return selectionId_ == unknownSelection_ ? unknownSelection_ : unselected_;
  }
  int getSelectionId() const { return selectionId_; }
  bool isSelected() const { return selection_ != nullptr && selectionId_ >= 0; }
  AbstractData* getSelection() { return selection_; }
  const AbstractData* getSelection() const { return selection_; }
  const char* getSelectionName() const;
  bool isExtensionSelection() const { return selectionId_ >= static_cast<int>(info()->numChoices); }

  // Replaces (deleting) the held alternative; takes ownership; returns it.
  AbstractData* setSelection(int id, AbstractData* selection);
  // A new alternative for the current id from its record; false (id -2,
  // nothing held) when the id has no record.
  bool createSelection();
  // Selects `id` with a fresh default alternative.
  bool setID(int id);
  void swap(CHOICE& other);

  // Typed access for generated classes: the alternative `id`, selected
  // with a fresh value unless it already is.
  template <class T>
  T& select(int id) {
    if (selectionId_ != id || !selection_) setID(id);
    return *boost::polymorphic_downcast<T*>(selection_);
  }
  // The alternative `id` as T. Decoded input decides what is selected, so
  // when another alternative (or none) is, the answer is a default value of
  // T that belongs to no message: a caller that did not check the id reads
  // harmless defaults instead of an object of the wrong type.
  template <class T>
  const T& selection(int id) const {
    if (selectionId_ == id)
      if (const T* held = dynamic_cast<const T*>(selection_)) return *held;
    return standIn<T>();
  }

  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  // One per alternative class, made on first use. Not const: reading an
  // absent optional field of a SEQUENCE builds it.
  template <class T>
  static const T& standIn() {
    static T value;
    return value;
  }

  AbstractData* selection_ = nullptr;
  int selectionId_ = unselected_;
};

class SEQUENCE : public AbstractData, public detail::Allocator<SEQUENCE> {
public:
  struct InfoType : AbstractData::InfoType {
    bool extendable;
    const AbstractData::InfoType* const* fieldInfos;
    const int* fieldIds;
    unsigned numFields;        // root fields
    unsigned knownExtensions;  // extension additions this build knows
    unsigned numOptionals;     // optional root fields
    const char* defaultExtensions;
    const unsigned* tags;
    const char* const* fieldNames;
  };
  // Marker for `tags`: every field keeps its own record's tag.
  static const unsigned defaultTag;

  // Presence bits, numbered from the most significant bit of byte 0. Up
  // to 128 bits live inside the map (every decoded extension bitmap).
  class BitMap {
  public:
    BitMap() = default;
    // A fresh map's own bytes are already clear.
    explicit BitMap(unsigned bits) {
      if (bytesFor(bits) <= inlineBytes)
        bitCount_ = bits;
      else
        resizeOutOfLine(bits);
    }
    BitMap(const BitMap& other);
    BitMap& operator=(const BitMap& other);
    unsigned size() const { return bitCount_; }
    void resize(unsigned bits) {
      unsigned oldBytes = bytesFor(bitCount_);
      unsigned newBytes = bytesFor(bits);
      if (newBytes > capacity_) grow(newBytes);
      char* bytes = data();
      if (newBytes > oldBytes) std::memset(bytes + oldBytes, 0, newBytes - oldBytes);
      bitCount_ = bits;
      if (bits % 8)  // bits past the count read as 0, also after growing again
        bytes[newBytes - 1] &= static_cast<char>(0xFF00 >> (bits % 8));
    }
    bool operator[](unsigned bit) const { return bit < bitCount_ && (data()[bit / 8] >> (7 - bit % 8) & 1); }
    void set(unsigned bit);
    void clear(unsigned bit);
    void clear() { resize(0); }
    bool any() const;
    // The first `count` bits (1..56), the first in the top place.
    std::uint64_t leading(unsigned count) const {
      std::uint64_t word;
      std::memcpy(&word, data(), sizeof word);  // a map always has eight octets of room
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      word = __builtin_bswap64(word);
#endif
      return word >> (64 - count);
    }
    char* data() { return heap_ ? heap_.get() : inline_; }
    const char* data() const { return heap_ ? heap_.get() : inline_; }
    void swap(BitMap& other);

  private:
    static unsigned bytesFor(unsigned bits) { return bits / 8 + (bits % 8 != 0); }
    void grow(unsigned bytes);
    // A map made with more bits than fit inside: its constructor stays small.
    [[gnu::noinline]] void resizeOutOfLine(unsigned bits);

    static constexpr unsigned inlineBytes = 16;
    unsigned bitCount_ = 0;
    unsigned capacity_ = inlineBytes;
    char inline_[inlineBytes] = {};
    std::unique_ptr<char[]> heap_;
  };
  // The field pointers: in the generated class (see FieldSlots), else in
  // one pooled block sized once from the record; all null at first.
  class FieldArray {
  public:
    FieldArray() = default;
    explicit FieldArray(unsigned count)
        : items_(count ? static_cast<AbstractData**>(detail::poolAllocate(count * sizeof(AbstractData*))) : nullptr),
          count_(count) {
      std::fill_n(items_, count, nullptr);
    }
    // Slots a generated class holds, null already.
    FieldArray(unsigned count, AbstractData** slots) : items_(slots), count_(count), owned_(false) {}
    FieldArray(const FieldArray&) = delete;
    FieldArray& operator=(const FieldArray&) = delete;
    ~FieldArray() {
      if (owned_) detail::poolRelease(items_, count_ * sizeof(AbstractData*));
    }
    unsigned size() const { return count_; }
    AbstractData*& operator[](unsigned i) { return items_[i]; }
    AbstractData* operator[](unsigned i) const { return items_[i]; }
    AbstractData** begin() { return items_; }
    const AbstractData* const* begin() const { return items_; }
    AbstractData** end() { return items_ + count_; }
    // Slots in a class stay there: their pointers are exchanged instead.
    void swap(FieldArray& other) {
      if (owned_ && other.owned_) {
        std::swap(items_, other.items_);
        std::swap(count_, other.count_);
        return;
      }
      for (unsigned i = 0; i < count_ && i < other.count_; ++i) std::swap(items_[i], other.items_[i]);
    }

  private:
    AbstractData** items_ = nullptr;
    unsigned count_ = 0;
    bool owned_ = true;
  };

  explicit SEQUENCE(const InfoType* info);
  SEQUENCE(const SEQUENCE& other);
  // Field by field; a member field keeps its object and takes the value.
  SEQUENCE& operator=(const SEQUENCE& other);
  ~SEQUENCE() override;
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }

  bool hasOptionalField(unsigned optionalId) const {
    unsigned roots = info()->numOptionals;
    return optionalId < roots ? optionalMap_[optionalId] : extensionMap_[optionalId - roots];
  }
  // Marks the field present, creating it from its record when null.
  void includeOptionalField(unsigned optionalId, unsigned index);
  // Clears the bit only; the object is kept for a later include.
  void removeOptionalField(unsigned optionalId);
  // Two values of the same record: member fields exchange their values.
  void swap(SEQUENCE& other);

  unsigned fieldCount() const { return fields_.size(); }
  AbstractData* getField(unsigned index) { return fields_[index]; }
  const AbstractData* getField(unsigned index) const { return fields_[index]; }
  // The field pointers, where they stay for the value's life (for a coder's
  // loop, which then need not find them again after each field).
  AbstractData* const* fieldPointers() { return fields_.begin(); }
  const AbstractData* const* fieldPointers() const { return fields_.begin(); }
  // Builds field `index` from its record when null; false when it has none.
  bool createField(unsigned index) { return index < fields_.size() && (fields_[index] || makeField(index)); }
  // Makes null field `index` from the member the class keeps for it, with
  // no call (for a decoder's loop); false when the class keeps none.
  bool takeKeptMember(unsigned index) {
    if (index >= 64 || !(reserved_ >> index & 1)) return false;
    adopt(index, *fields_.end()[index]);
    return true;
  }
  // Is field `index` part of the value (mandatory, or its bit set)?
  bool isPresent(unsigned index) const;
  // Optional id of field `index` (-1 for a mandatory root field).
  int optionalIdOf(unsigned index) const;
  BitMap& optionalMap() { return optionalMap_; }
  const BitMap& optionalMap() const { return optionalMap_; }
  BitMap& extensionMap() { return extensionMap_; }
  const BitMap& extensionMap() const { return extensionMap_; }

  // Typed field access for generated accessors; a null field (absent
  // optional) is first made from its record, so a reference is always valid.
  template <class T>
  T& field(unsigned index) {
    createField(index);
    return *boost::polymorphic_downcast<T*>(fields_[index]);
  }
  template <class T>
  const T& field(unsigned index) const {
    const_cast<SEQUENCE*>(this)->createField(index);
    return *boost::polymorphic_downcast<const T*>(fields_[index]);
  }

  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

protected:
  // A value whose field pointers live in `slots` (one per field the record
  // knows, all null), which the generated class holds; `classHoldsFields` when the
  // class holds every mandatory field itself, so the record makes none.
  SEQUENCE(const InfoType* info, AbstractData** slots, bool classHoldsFields = false);
  // Takes a member of the generated class as field `index` (below 64).
  void adopt(unsigned index, AbstractData& member) {
    fields_[index] = &member;
    adopted_ |= std::uint64_t{1} << index;
  }
  // Keeps a member of the generated class for optional field `index`
  // (below 64), taken when the field is made.
  void reserve(unsigned index, AbstractData& member) {
    fields_.end()[index] = &member;
    reserved_ |= std::uint64_t{1} << index;
  }

private:
  bool adopted(unsigned index) const { return index < 64 && (adopted_ >> index & 1); }
  // The mandatory fields its record makes, and the default additions.
  void makeFields();
  bool makeField(unsigned index);
  void deleteFields();
  void copyFields(const SEQUENCE& other);

  FieldArray fields_;
  std::uint64_t adopted_ = 0;   // fields that are members of the generated class
  std::uint64_t reserved_ = 0;  // optional fields with a member kept for them
  BitMap optionalMap_;
  BitMap extensionMap_;
};

// Storage for the field pointers of a generated SEQUENCE, then `kept`
// slots for the addresses of the members kept for optional fields, a base of
// its class ahead of SEQUENCE so that it exists before the SEQUENCE fills it.
// Only the field pointers start null: a kept slot is read only once
// reserve() wrote it. A copy takes none of it: the SEQUENCE copies its own
// fields.
template <unsigned fields, unsigned kept = 0>
struct FieldSlots {
  FieldSlots() { clear(std::make_index_sequence<fields>()); }
  FieldSlots(const FieldSlots&) : FieldSlots() {}
  FieldSlots& operator=(const FieldSlots&) { return *this; }
  AbstractData* fieldSlots[fields + kept];

private:
  // One store per pointer, in line (a cleared block of this size would be a
  // string instruction, slow to start).
  template <std::size_t... i>
  void clear(std::index_sequence<i...>) {
    ((fieldSlots[i] = nullptr), ...);
  }
};

// Size constraint parameter of SEQUENCE_OF.
struct EmptyConstraint {
  static constexpr ConstraintType type = Unconstrained;
  static constexpr int lower = 0;
  static constexpr unsigned upper = 0xFFFFFFFFu;
};
template <int lo, unsigned hi, ConstraintType kind = FixedConstraint>
struct SizeConstraint {
  static constexpr ConstraintType type = kind;
  static constexpr int lower = lo;
  static constexpr unsigned upper = hi;
};

class SEQUENCE_OF_Base : public ConstrainedObject, public detail::Allocator<SEQUENCE_OF_Base> {
public:
  struct InfoType : ConstrainedObject::InfoType {
    const AbstractData::InfoType* elementInfo;
  };
  using Container = std::vector<AbstractData*, detail::PoolAllocator<AbstractData*>>;
  using iterator = Container::iterator;
  using const_iterator = Container::const_iterator;

  explicit SEQUENCE_OF_Base(const InfoType* info) : ConstrainedObject(info, ValueKind::SequenceOf) {}
  SEQUENCE_OF_Base(const SEQUENCE_OF_Base& other);
  SEQUENCE_OF_Base& operator=(const SEQUENCE_OF_Base& other);
  ~SEQUENCE_OF_Base() override;
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }

  unsigned size() const { return static_cast<unsigned>(container_.size()); }
  bool empty() const { return container_.empty(); }
  // Growing makes new elements from the element record; shrinking deletes.
  void resize(unsigned count);
  // Room for `count` element pointers (no element is made).
  void reserve(unsigned count) { container_.reserve(count); }
  void clear();
  // Appends an element, taking ownership.
  void append(AbstractData* element) { container_.push_back(element); }
  iterator insert(iterator position, unsigned count, const AbstractData& value);
  iterator insert(iterator position, const_iterator first, const_iterator last);
  iterator erase(iterator first, iterator last);
  iterator erase(iterator position) { return erase(position, position + 1); }
  void swap(SEQUENCE_OF_Base& other) { container_.swap(other.container_); }
  AbstractData* elementAt(unsigned i) { return container_[i]; }
  const AbstractData* elementAt(unsigned i) const { return container_[i]; }
  iterator baseBegin() { return container_.begin(); }
  iterator baseEnd() { return container_.end(); }
  const_iterator baseBegin() const { return container_.begin(); }
  const_iterator baseEnd() const { return container_.end(); }

  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

private:
  Container container_;
};

// Typed view of SEQUENCE OF T over SEQUENCE_OF_Base.
template <class T, class Constraint = EmptyConstraint>
class SEQUENCE_OF : public SEQUENCE_OF_Base {
  template <class Base, class Elem>
  class Iter {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::remove_const_t<Elem>;
    using difference_type = std::ptrdiff_t;
    using pointer = Elem*;
    using reference = Elem&;
    Iter() = default;
    explicit Iter(Base it) : it_(it) {}
    reference operator*() const { return *boost::polymorphic_downcast<Elem*>(*it_); }
    pointer operator->() const { return boost::polymorphic_downcast<Elem*>(*it_); }
    Iter& operator++() {
      ++it_;
      return *this;
    }
    Iter operator++(int) {
      Iter t(*this);
      ++it_;
      return t;
    }
    Iter& operator--() {
      --it_;
      return *this;
    }
    Iter& operator+=(difference_type n) {
      it_ += n;
      return *this;
    }
    Iter operator+(difference_type n) const { return Iter(it_ + n); }
    difference_type operator-(const Iter& o) const { return it_ - o.it_; }
    bool operator==(const Iter& o) const { return it_ == o.it_; }
    bool operator!=(const Iter& o) const { return it_ != o.it_; }
    Base base() const { return it_; }

  private:
    Base it_{};
  };

public:
  using value_type = T;
  using iterator = Iter<SEQUENCE_OF_Base::iterator, T>;
  using const_iterator = Iter<SEQUENCE_OF_Base::const_iterator, const T>;
  static const InfoType theInfo;

  explicit SEQUENCE_OF(const InfoType* info = &theInfo) : SEQUENCE_OF_Base(info) {}
  iterator begin() { return iterator(baseBegin()); }
  iterator end() { return iterator(baseEnd()); }
  const_iterator begin() const { return const_iterator(baseBegin()); }
  const_iterator end() const { return const_iterator(baseEnd()); }
  T& operator[](unsigned i) { return *boost::polymorphic_downcast<T*>(elementAt(i)); }
  const T& operator[](unsigned i) const { return *boost::polymorphic_downcast<const T*>(elementAt(i)); }
  // Appends a clone of `value`.
  void push_back(const T& value) { append(value.clone()); }
  iterator erase(iterator position) { return iterator(SEQUENCE_OF_Base::erase(position.base())); }
  iterator erase(iterator first, iterator last) { return iterator(SEQUENCE_OF_Base::erase(first.base(), last.base())); }
};

template <class T, class Constraint>
const typename SEQUENCE_OF<T, Constraint>::InfoType SEQUENCE_OF<T, Constraint>::theInfo = {
    {{&create<SEQUENCE_OF<T, Constraint>>, makeTag(UniversalTagClass, 16)},
     Constraint::type,
     Constraint::lower,
     Constraint::upper},
    &T::theInfo};

// SET OF T: a SEQUENCE OF with the SET tag.
template <class T, class Constraint = EmptyConstraint>
class SET_OF : public SEQUENCE_OF<T, Constraint> {
public:
  using InfoType = SEQUENCE_OF_Base::InfoType;
  static const InfoType theInfo;
  explicit SET_OF(const InfoType* info = &theInfo) : SEQUENCE_OF<T, Constraint>(info) {}
};

template <class T, class Constraint>
const typename SET_OF<T, Constraint>::InfoType SET_OF<T, Constraint>::theInfo = {
    {{&create<SET_OF<T, Constraint>>, makeTag(UniversalTagClass, 17)},
     Constraint::type,
     Constraint::lower,
     Constraint::upper},
    &T::theInfo};

// An open type: a decoded value, or the still-encoded octets, or both.
class OpenData : public AbstractData, public detail::Allocator<OpenData> {
public:
  using InfoType = AbstractData::InfoType;
  static const InfoType theInfo;
  explicit OpenData(const void* info = &theInfo) : AbstractData(info, ValueKind::Open) {}
  OpenData(const OpenData& other);
  OpenData& operator=(const OpenData& other);
  ~OpenData() override;
  bool has_data() const { return data_ != nullptr; }
  bool has_buf() const { return buf_ != nullptr; }
  AbstractData& get_data() { return *data_; }
  const AbstractData& get_data() const { return *data_; }
  std::vector<char>& get_buf() { return *buf_; }
  const std::vector<char>& get_buf() const { return *buf_; }
  void grab(AbstractData* data);  // takes ownership
  std::vector<char>& make_buf();  // creates the buffer when absent
  void swap(OpenData& other);
  int do_compare(const AbstractData& other) const override;
  AbstractData* do_clone() const override;
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;

protected:
  OpenData(const void* info, ValueKind kind) : AbstractData(info, kind) {}

private:
  AbstractData* data_ = nullptr;
  std::vector<char>* buf_ = nullptr;
};

class TypeConstrainedOpenData : public OpenData {
public:
  struct InfoType : AbstractData::InfoType {
    const AbstractData::InfoType* containedInfo;
  };
  explicit TypeConstrainedOpenData(const InfoType* info);
  const InfoType* info() const { return static_cast<const InfoType*>(info_); }
  bool do_accept(Visitor& visitor) override;
  bool do_accept(ConstVisitor& visitor) const override;
};

}  // namespace ASN1
