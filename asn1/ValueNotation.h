// ASN.1 value notation: the text of values in log lines and state files.
//
// The writer's layout is fixed (state files depend on it byte for byte): a
// SEQUENCE is "{", one "name value" line per written field at indent + 2,
// fields separated by ",", then "}" at the current indent; a SEQUENCE OF is
// the same with bare values; a CHOICE is "name : value". No line feed
// follows the value. The reader accepts what the writer prints.
#pragma once

#include "asn1/CoderEnv.h"
#include "asn1/Visitor.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace ASN1 {

class AVNEncoder : public ConstVisitor {
public:
  explicit AVNEncoder(std::ostream& stream) : stream_(&stream) {}

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
  bool afterVisitSequence(const SEQUENCE& seq) override;

private:
  bool good() const { return stream_->rdstate() == std::ios_base::goodbit; }
  bool writeField(const SEQUENCE& seq, int index);

  std::ostream* stream_;
  int indent_ = 0;
  std::vector<bool> separators_;
};

class AVNDecoder : public Visitor {
public:
  explicit AVNDecoder(std::istream& stream) : stream_(&stream) {}

  bool do_visit(Null& value) override;
  bool do_visit(BOOLEAN& value) override;
  bool do_visit(INTEGER& value) override;
  bool do_visit(IntegerWithNamedNumber& value) override;
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
  VISIT_SEQ_RESULT readField(SEQUENCE& seq, int index, int optionalId);
  bool readLetters(std::string& word);
  bool readNameToken(std::string& token);

  std::istream* stream_;
  std::vector<std::string> names_;
};

// Reads a double-quoted text (line feeds kept).
bool get_string(std::istream& stream, std::string& text);
// Reads a quoted digit string with its B or H mark into bytes; `bits` gets
// the bit count the digits give.
bool get_value_from(std::istream& stream, std::vector<char>& bytes, unsigned& bits);
// Digits (blanks and line feeds ignored) to bytes in base 2 or 16.
bool get_from_string(const std::string& digits, std::vector<char>& bytes, unsigned& bits, int base);
// Index of the first of the first `count` names equal to `text`.
bool get_id(const char* const* names, unsigned count, const std::string& text, unsigned& index);
bool is_space_or_newline(char c);

extern const CoderRule avnRule;

}  // namespace ASN1
