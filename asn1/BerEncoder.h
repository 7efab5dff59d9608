// Basic encoding rules (X.690), definite lengths in the fewest octets.
//
// Tagging is automatic: field i of a SEQUENCE and alternative i of a CHOICE
// carry the context tag [i] in place of their own; a CHOICE, which has no tag
// of its own, is wrapped in a constructed header when it is tagged (as a
// field or an alternative); SEQUENCE OF elements and the outermost value
// carry their own universal tags. Every length comes from DataLengthCounter,
// so a header is written before its contents without buffering them.
#pragma once

#include "asn1/Visitor.h"

#include <vector>

namespace ASN1 {

namespace Ber {

// Tag markers while encoding: the value's own record tag, and no header.
constexpr int ownTag = -1;
constexpr int noHeader = 0;

// The tag of field `index` of a SEQUENCE record and of alternative `id` of a
// CHOICE record (context [i] unless the record lists its tags).
int fieldTag(const SEQUENCE::InfoType* rec, unsigned index);
int alternativeTag(const CHOICE::InfoType* rec, unsigned id);

// The record tag a marker stands for, for `value`.
inline int resolveTag(int tag, const AbstractData& value) {
  return tag == ownTag ? static_cast<int>(value.getTag()) : tag;
}

}  // namespace Ber

// Content octets of `value` (no identifier or length octets).
unsigned getDataLength(const AbstractData& value);
// Octets of the whole element encoded with `tag` (Ber::ownTag for the
// value's record tag); only the contents when the tag resolves to 0.
unsigned getObjectLength(const AbstractData& value, int tag);
// Content octets (1 to 4) of the minimal two's-complement form.
unsigned getIntegerDataLength(int value);

class BEREncoder : public ConstVisitor {
public:
  explicit BEREncoder(std::vector<char>& out, int tag = Ber::ownTag) : out_(out), pendingTag_(tag) {}

  // Identifier and length octets of `value` under the pending tag.
  void encodeHeader(const AbstractData& value);

  bool do_visit(const Null& value) override;
  bool do_visit(const BOOLEAN& value) override;
  bool do_visit(const INTEGER& value) override;
  bool do_visit(const IntegerWithNamedNumber& value) override;
  bool do_visit(const ENUMERATED& value) override;
  bool do_visit(const OBJECT_IDENTIFIER& value) override;
  bool do_visit(const BIT_STRING& value) override;
  bool do_visit(const OCTET_STRING& value) override;
  bool do_visit(const AbstractString& value) override;
  bool do_visit(const BMPString& value) override;
  bool do_visit(const CHOICE& value) override;
  bool do_visit(const OpenData& value) override;
  bool do_visit(const GeneralizedTime& value) override;
  bool do_visit(const SEQUENCE_OF_Base& value) override;

protected:
  bool preVisitExtensionRoots(const SEQUENCE& seq) override;
  bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
  bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
  void writeHeader(const AbstractData& value, bool constructed);
  void writeInteger(int value);
  bool encodeField(const SEQUENCE& seq, int index);

  std::vector<char>& out_;
  int pendingTag_;
};

// Counts the content octets of a value as BEREncoder writes them.
class DataLengthCounter : public ConstVisitor {
public:
  unsigned length() const { return length_; }

  bool do_visit(const Null& value) override;
  bool do_visit(const BOOLEAN& value) override;
  bool do_visit(const INTEGER& value) override;
  bool do_visit(const IntegerWithNamedNumber& value) override;
  bool do_visit(const ENUMERATED& value) override;
  bool do_visit(const OBJECT_IDENTIFIER& value) override;
  bool do_visit(const BIT_STRING& value) override;
  bool do_visit(const OCTET_STRING& value) override;
  bool do_visit(const AbstractString& value) override;
  bool do_visit(const BMPString& value) override;
  bool do_visit(const CHOICE& value) override;
  bool do_visit(const OpenData& value) override;
  bool do_visit(const GeneralizedTime& value) override;
  bool do_visit(const SEQUENCE_OF_Base& value) override;

protected:
  bool preVisitExtensionRoots(const SEQUENCE& seq) override;
  bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
  bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
  bool countField(const SEQUENCE& seq, int index);

  unsigned length_ = 0;
};

}  // namespace ASN1
