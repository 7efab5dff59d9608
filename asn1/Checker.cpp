#include "asn1/Checker.h"

#include <cstring>

namespace ASN1 {

namespace {

// The range test: unsigned when the lower bound is 0 or more, else signed.
bool belowLower(const INTEGER& value)
{
    int lower = value.getLowerLimit();
    if (lower >= 0)
        return value.getUnsignedValue() < static_cast<unsigned>(lower);
    return value.getValue() < lower;
}

bool aboveUpper(const INTEGER& value)
{
    if (value.getLowerLimit() >= 0)
        return value.getUnsignedValue() > value.getUpperLimit();
    return static_cast<long long>(value.getValue()) > static_cast<long long>(value.getUpperLimit());
}

bool enumeratedInRoot(const ENUMERATED& value)
{
    return value.getValue() >= 0 && static_cast<unsigned>(value.getValue()) <= value.getMaximum();
}

bool sizeBelowLower(const ConstrainedObject& value, unsigned size)
{
    return static_cast<long long>(size) < value.getLowerLimit();
}

// Index of the first character outside the record's alphabet, or the length.
std::size_t firstIllegal(const AbstractString& value)
{
    const AbstractString::InfoType* rec = value.info();
    if (rec->characterSetSize == 0 || !rec->characterSet)
        return value.size();
    for (std::size_t i = 0; i < value.size(); ++i)
        if (!std::memchr(rec->characterSet, value[i], rec->characterSetSize))
            return i;
    return value.size();
}

std::size_t firstIllegal(const BMPString& value)
{
    const BMPString::InfoType* rec = value.info();
    for (std::size_t i = 0; i < value.size(); ++i) {
        auto code = static_cast<unsigned>(value[i]);
        if (code < rec->firstChar || code > rec->lastChar)
            return i;
    }
    return value.size();
}

bool timeIsValid(const GeneralizedTime& t)
{
    return t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 24 &&
           t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.mindiff >= -720 && t.mindiff <= 720;
}

} // namespace

const AbstractData* knownAlternative(const CHOICE& choice)
{
    int id = choice.currentSelection();
    if (id < 0 || static_cast<unsigned>(id) >= choice.info()->totalChoices)
        return nullptr;
    return choice.getSelection();
}

bool AbstractData::isValid() const
{
    ValidChecker checker;
    return accept(checker);
}

bool AbstractData::isStrictlyValid() const
{
    StrictlyValidChecker checker;
    return accept(checker);
}

// ---- Valid and strictly valid ---------------------------------------------------------

bool ConstraintChecker::sizeAllowed(const ConstrainedObject& value, unsigned size, bool upperUnlessExtendable) const
{
    if (sizeBelowLower(value, size))
        return false;
    ConstraintType type = value.getConstraintType();
    bool checkUpper = strict_ || (upperUnlessExtendable ? type != ExtendableConstraint : type == FixedConstraint);
    return !checkUpper || size <= value.getUpperLimit();
}

bool ConstraintChecker::do_visit(const Null&) { return true; }
bool ConstraintChecker::do_visit(const BOOLEAN&) { return true; }

bool ConstraintChecker::do_visit(const INTEGER& value)
{
    return (!belowLower(value) && !aboveUpper(value)) || (!strict_ && value.extendable());
}

bool ConstraintChecker::do_visit(const IntegerWithNamedNumber& value)
{
    return do_visit(static_cast<const INTEGER&>(value));
}

bool ConstraintChecker::do_visit(const ENUMERATED& value)
{
    if (!strict_ && value.extendable())
        return value.getValue() >= 0;
    return enumeratedInRoot(value);
}

bool ConstraintChecker::do_visit(const OBJECT_IDENTIFIER& value) { return value.levels() > 0; }

bool ConstraintChecker::do_visit(const BIT_STRING& value) { return sizeAllowed(value, value.size(), false); }

bool ConstraintChecker::do_visit(const OCTET_STRING& value)
{
    return sizeAllowed(value, static_cast<unsigned>(value.size()), false);
}

bool ConstraintChecker::do_visit(const AbstractString& value)
{
    return sizeAllowed(value, static_cast<unsigned>(value.size()), true) && firstIllegal(value) == value.size();
}

bool ConstraintChecker::do_visit(const BMPString& value)
{
    return sizeAllowed(value, static_cast<unsigned>(value.size()), true) && firstIllegal(value) == value.size();
}

bool ConstraintChecker::do_visit(const GeneralizedTime& value) { return timeIsValid(value); }

bool ConstraintChecker::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = knownAlternative(value);
    if (!alternative)
        return false;
    if (static_cast<unsigned>(value.currentSelection()) >= value.info()->numChoices &&
        (strict_ || !value.info()->extendable))
        return false;
    return alternative->accept(*this);
}

bool ConstraintChecker::do_visit(const OpenData& value)
{
    if (value.has_data())
        return value.get_data().accept(*this);
    return value.has_buf();
}

bool ConstraintChecker::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!sizeAllowed(value, value.size(), true))
        return false;
    for (auto it = value.baseBegin(); it != value.baseEnd(); ++it)
        if (!*it || !(*it)->accept(*this))
            return false;
    return true;
}

bool ConstraintChecker::checkField(const SEQUENCE& seq, int index)
{
    const AbstractData* field = seq.getField(static_cast<unsigned>(index));
    return field && field->accept(*this);
}

bool ConstraintChecker::visitExtensionRoot(const SEQUENCE& seq, int index) { return checkField(seq, index); }
bool ConstraintChecker::visitKnownExtension(const SEQUENCE& seq, int index) { return checkField(seq, index); }

// ---- Tracer -----------------------------------------------------------------------------

bool InvalidTracer::do_visit(const Null&) { return true; }
bool InvalidTracer::do_visit(const BOOLEAN&) { return true; }

bool InvalidTracer::do_visit(const INTEGER& value)
{
    bool unsignedForm = value.getLowerLimit() >= 0;
    const char* reason = nullptr;
    long long bound = 0;
    if (belowLower(value)) {
        reason = " is smaller than lower bound ";
        bound = value.getLowerLimit();
    } else if (aboveUpper(value) && !value.extendable()) {
        reason = " is greater than upper bound ";
        bound = value.getUpperLimit();
    } else {
        return true;
    }
    trace_ << " The INTEGER value ";
    if (unsignedForm)
        trace_ << value.getUnsignedValue();
    else
        trace_ << value.getValue();
    trace_ << reason << bound;
    return false;
}

bool InvalidTracer::do_visit(const IntegerWithNamedNumber& value)
{
    return do_visit(static_cast<const INTEGER&>(value));
}

bool InvalidTracer::do_visit(const ENUMERATED& value)
{
    if (enumeratedInRoot(value))
        return true;
    trace_ << " This ENUMERATED has invalid value " << value.getValue();
    return false;
}

bool InvalidTracer::do_visit(const OBJECT_IDENTIFIER& value)
{
    if (value.levels() > 0)
        return true;
    trace_ << " This OBJECT IDENTIFIER is not assigned";
    return false;
}

bool InvalidTracer::traceSize(const char* what, const ConstrainedObject& value, unsigned size)
{
    if (sizeBelowLower(value, size)) {
        trace_ << " This " << what << " has size " << size << " smaller than its lower bound " << value.getLowerLimit();
        return false;
    }
    if (value.getConstraintType() == FixedConstraint && size > value.getUpperLimit()) {
        trace_ << " This " << what << " has size " << size << " greater than its upper bound " << value.getUpperLimit();
        return false;
    }
    return true;
}

bool InvalidTracer::do_visit(const BIT_STRING& value) { return traceSize("BIT STRING", value, value.size()); }

bool InvalidTracer::do_visit(const OCTET_STRING& value)
{
    return traceSize("OCTET STRING", value, static_cast<unsigned>(value.size()));
}

bool InvalidTracer::do_visit(const AbstractString& value)
{
    if (!traceSize("AbstractString", value, static_cast<unsigned>(value.size())))
        return false;
    std::size_t bad = firstIllegal(value);
    if (bad == value.size())
        return true;
    trace_ << " The character '" << value[bad] << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(const BMPString& value)
{
    if (!traceSize("BMPString", value, static_cast<unsigned>(value.size())))
        return false;
    std::size_t bad = firstIllegal(value);
    if (bad == value.size())
        return true;
    trace_ << " The character '" << static_cast<unsigned>(value[bad]) << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(const GeneralizedTime& value)
{
    if (timeIsValid(value))
        return true;
    trace_ << " This GeneralizedTime is not valid";
    return false;
}

bool InvalidTracer::do_visit(const CHOICE& value)
{
    int id = value.currentSelection();
    if (id == CHOICE::unknownSelection_ || (id >= 0 && static_cast<unsigned>(id) >= value.info()->totalChoices)) {
        trace_ << " This selection is not understood by this decoder";
        return false;
    }
    if (id < 0) {
        trace_ << " This CHOICE is not selected";
        return false;
    }
    InvalidTracer alternative;
    bool outsideRoot = static_cast<unsigned>(id) >= value.info()->numChoices && !value.info()->extendable;
    if (value.getSelection()->accept(alternative) && !outsideRoot)
        return true;
    trace_ << '.' << value.info()->selectionNames[id] << alternative.text();
    return false;
}

bool InvalidTracer::do_visit(const OpenData& value)
{
    if (value.has_data())
        return value.get_data().accept(*this);
    if (value.has_buf())
        return true;
    trace_ << " This Open Type does not contain any valid data";
    return false;
}

bool InvalidTracer::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!traceSize("SEQUENCE OF", value, value.size()))
        return false;
    for (unsigned i = 0; i < value.size(); ++i) {
        InvalidTracer element;
        const AbstractData* e = value.elementAt(i);
        if (e && e->accept(element))
            continue;
        trace_ << '[' << i << ']' << element.text();
        return false;
    }
    return true;
}

bool InvalidTracer::traceField(const SEQUENCE& seq, int index)
{
    InvalidTracer field;
    const AbstractData* f = seq.getField(static_cast<unsigned>(index));
    if (f && f->accept(field))
        return true;
    trace_ << '.' << seq.info()->fieldNames[index] << field.text();
    return false;
}

bool InvalidTracer::visitExtensionRoot(const SEQUENCE& seq, int index) { return traceField(seq, index); }
bool InvalidTracer::visitKnownExtension(const SEQUENCE& seq, int index) { return traceField(seq, index); }

bool trace_invalid(std::ostream& stream, const char* prefix, const AbstractData& value)
{
    InvalidTracer tracer;
    if (value.accept(tracer))
        return true;
    stream << prefix << tracer.text() << std::endl;
    return false;
}

// ---- Primitive or constructed ------------------------------------------------------------

bool PrimitiveChecker::isPrimitive(const AbstractData& value)
{
    PrimitiveChecker checker;
    return value.accept(checker);
}

bool PrimitiveChecker::do_visit(const AbstractData&) { return true; }

bool PrimitiveChecker::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = value.currentSelection() >= 0 ? value.getSelection() : nullptr;
    return !alternative || isPrimitive(*alternative);
}

bool PrimitiveChecker::do_visit(const OpenData& value)
{
    // Raw octets hold a whole element: constructed.
    return value.has_data() && isPrimitive(value.get_data());
}

bool PrimitiveChecker::do_visit(const SEQUENCE_OF_Base&) { return false; }
bool PrimitiveChecker::preVisitExtensionRoots(const SEQUENCE&) { return false; }

} // namespace ASN1
