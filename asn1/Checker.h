// Constraint checks over a value tree.
//
// isValid allows what an extensible type may carry beyond its root (values
// outside an extensible range, extension alternatives, enumeration values
// beyond the root); isStrictlyValid allows the root only. InvalidTracer
// writes the path and reason of the first constraint a value breaks, each
// level prefixing its own piece (".field", "[index]", ".alternative").
#pragma once

#include "asn1/Visitor.h"

#include <ostream>
#include <sstream>
#include <string>

namespace ASN1 {

// One rule per value class, read in one of three ways: Extensions allows
// what an extensible type may carry beyond its root, Root allows the root
// only, and Trace is the tracer's reading, which reports a value below an
// extensible range and an enumeration value beyond the root even where
// Extensions allows them, and an upper size bound only when it is fixed.
class ConstraintChecker : public ConstVisitor {
public:
  enum class Reading { Extensions, Root, Trace };

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
  // `trace` gets the path and reason of the first broken rule, or null.
  ConstraintChecker(Reading reading, std::ostream* trace) : reading_(reading), trace_(trace) {}
  bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
  bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
  // The size rule; `boundedUnlessExtendable`: an upper bound that only an
  // extensible constraint lifts (strings, lists) rather than one that only
  // a fixed constraint sets (bit and octet strings).
  bool sizeAllowed(const char* what, const ConstrainedObject& value, unsigned size, bool boundedUnlessExtendable);
  // The size rule, then every character against the record's alphabet.
  template <class String>
  bool stringAllowed(const char* what, const String& value);
  // A contained value under its piece of the path: ".name", or "[index]"
  // without a name. Not `admitted`: it breaks its container's rule even
  // when valid itself (an alternative outside the root).
  bool checkPart(const AbstractData* part, const char* name, unsigned index, bool admitted = true);
  bool checkField(const SEQUENCE& seq, int index);
  // Both mark the place broken: they write the path when tracing. broken()
  // answers false; reason() answers the stream for the reason, null when
  // not tracing.
  bool broken();
  std::ostream* reason();

  Reading reading_;
  std::ostream* trace_;
  std::string path_;
};

class ValidChecker : public ConstraintChecker {
public:
  ValidChecker() : ConstraintChecker(Reading::Extensions, nullptr) {}
};

class StrictlyValidChecker : public ConstraintChecker {
public:
  StrictlyValidChecker() : ConstraintChecker(Reading::Root, nullptr) {}
};

// Collects the path and reason of the first broken constraint
// (".field[2].port The INTEGER value ..."); a visit answers false exactly
// when it wrote something.
class InvalidTracer : public ConstraintChecker {
public:
  InvalidTracer() : ConstraintChecker(Reading::Trace, &trace_) {}
  std::string text() const { return trace_.str(); }

private:
  std::ostringstream trace_;
};

// Is the encoding of a value primitive? SEQUENCE and SEQUENCE OF are
// constructed; a CHOICE answers for its alternative, an open type for its
// decoded value.
class PrimitiveChecker : public ConstVisitor {
public:
  static bool isPrimitive(const AbstractData& value);

  bool do_visit(const AbstractData& value) override;
  bool do_visit(const CHOICE& value) override;
  bool do_visit(const OpenData& value) override;
  bool do_visit(const SEQUENCE_OF_Base& value) override;

protected:
  bool preVisitExtensionRoots(const SEQUENCE& seq) override;
};

// The alternative of a choice whose id its record knows, or null: the
// only selection that can be checked, encoded or measured.
const AbstractData* knownAlternative(const CHOICE& choice);

// Writes `prefix`, the trace and a line end when `value` breaks a
// constraint; true (nothing written) when it breaks none.
bool trace_invalid(std::ostream& stream, const char* prefix, const AbstractData& value);

}  // namespace ASN1
