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

// Checks with the extension allowances (strict false) or without them.
class ConstraintChecker : public ConstVisitor {
public:
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
    explicit ConstraintChecker(bool strict) : strict_(strict) {}
    bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    bool sizeAllowed(const ConstrainedObject& value, unsigned size, bool upperUnlessExtendable) const;
    bool checkField(const SEQUENCE& seq, int index);

    bool strict_;
};

class ValidChecker : public ConstraintChecker {
public:
    ValidChecker() : ConstraintChecker(false) {}
};

class StrictlyValidChecker : public ConstraintChecker {
public:
    StrictlyValidChecker() : ConstraintChecker(true) {}
};

// Collects the trace text of the first broken constraint; a visit answers
// false exactly when it wrote something.
class InvalidTracer : public ConstVisitor {
public:
    std::string text() const { return trace_.str(); }

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
    bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    bool traceSize(const char* what, const ConstrainedObject& value, unsigned size);
    bool traceField(const SEQUENCE& seq, int index);

    std::stringstream trace_;
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

} // namespace ASN1
