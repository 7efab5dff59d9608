// Basic encoding rules, reading (definite lengths only; see BerEncoder.h for
// the tagging).
//
// Hostile input is refused before anything is allocated: every length is
// checked against the octets left in the input and in the innermost
// enclosing SEQUENCE or SEQUENCE OF, more than four length octets and tag
// numbers above 65535 fail, and a SEQUENCE must carry every mandatory field.
// A value decoded into an object that held an earlier decode keeps nothing
// of it that the input does not give again (presence bits, list elements,
// the selected alternative).
#pragma once

#include "asn1/CoderEnv.h"
#include "asn1/Visitor.h"

#include <vector>

namespace ASN1 {

class BERDecoder : public Visitor {
public:
  BERDecoder(const char* first, const char* last, CoderEnv* env) : env_(env), position_(first), end_(last) {}

  // Identifier and length octets: tag word (class << 16 | number),
  // primitive flag and content length. The length 0x80 (indefinite) reads
  // as an empty content.
  bool decodeHeader(unsigned& tag, bool& primitive, unsigned& length);
  // The same for `value`: the tag must be its record tag unless a context
  // tag replaces it (the tag permit, used up by this header).
  bool decodeHeader(AbstractData& value, unsigned& length);
  // Copies up to `count` octets; the count copied.
  unsigned decodeBlock(char* out, unsigned count);
  // Reads a CHOICE's explicit header (when tagged) and its alternative's
  // header, selects the alternative and leaves the position at the
  // alternative's header; `choiceEnd` is where the alternative ends.
  bool decodeChoicePreamle(CHOICE& choice, const char*& choiceEnd);

  const char* getPosition() const { return position_; }
  CoderEnv* getEnv() const { return env_; }

  bool do_visit(Null& value) override;
  bool do_visit(BOOLEAN& value) override;
  bool do_visit(INTEGER& value) override;
  bool do_visit(ENUMERATED& value) override;
  bool do_visit(OBJECT_IDENTIFIER& value) override;
  bool do_visit(OCTET_STRING& value) override;
  bool do_visit(BIT_STRING& value) override;
  bool do_visit(AbstractString& value) override;
  bool do_visit(BMPString& value) override;
  bool do_visit(CHOICE& value) override;
  bool do_visit(SEQUENCE_OF_Base& value) override;
  bool do_visit(OpenData& value) override;
  bool do_revisit(OpenData& value) override;
  bool do_visit(TypeConstrainedOpenData& value) override;
  bool do_visit(GeneralizedTime& value) override;

protected:
  VISIT_SEQ_RESULT preVisitExtensionRoots(SEQUENCE& seq) override;
  VISIT_SEQ_RESULT visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) override;
  VISIT_SEQ_RESULT visitKnownExtension(SEQUENCE& seq, int index, int optionalId) override;
  VISIT_SEQ_RESULT visitUnknownExtensions(SEQUENCE& seq) override;

private:
  // Where the content being read must end: the input's end or the
  // innermost enclosing content's.
  const char* limit() const { return ends_.empty() ? end_ : ends_.back(); }
  // Decodes a contained value; on failure the stack of enclosing ends is
  // put back as it was.
  bool decodeNested(AbstractData& value);
  VISIT_SEQ_RESULT decodeField(SEQUENCE& seq, int index, int optionalId);
  // An INTEGER (sign-extended from its first octet) or an ENUMERATED
  // (unsigned) of at least one content octet.
  template <class Number>
  bool decodeNumber(Number& value, bool signExtended);
  // Is there a header of the open type's own (a context tag or a record
  // tag), as opposed to the contained value's header alone?
  bool wrapped(const OpenData& value) const { return tagPermit_ > 0 || value.getTag() != 0; }

  CoderEnv* env_;
  const char* position_;
  const char* end_;
  std::vector<const char*> ends_;
  int tagPermit_ = 0;
};

}  // namespace ASN1
