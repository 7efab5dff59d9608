#include "asn1/Checker.h"

#include <cstring>

namespace ASN1 {

namespace {

// The range test: unsigned when the lower bound is 0 or more, else signed.
bool belowLower(const INTEGER& value) {
  int lower = value.getLowerLimit();
  if (lower >= 0) return value.getUnsignedValue() < static_cast<unsigned>(lower);
  return value.getValue() < lower;
}

bool aboveUpper(const INTEGER& value) {
  if (value.getLowerLimit() >= 0) return value.getUnsignedValue() > value.getUpperLimit();
  return static_cast<long long>(value.getValue()) > static_cast<long long>(value.getUpperLimit());
}

// Index of the first character outside the record's alphabet, or the length.
std::size_t firstIllegal(const AbstractString& value) {
  const AbstractString::InfoType* rec = value.info();
  if (rec->characterSetSize == 0 || !rec->characterSet) return value.size();
  for (std::size_t i = 0; i < value.size(); ++i)
    if (!std::memchr(rec->characterSet, value[i], rec->characterSetSize)) return i;
  return value.size();
}

std::size_t firstIllegal(const BMPString& value) {
  const BMPString::InfoType* rec = value.info();
  for (std::size_t i = 0; i < value.size(); ++i) {
    auto code = static_cast<unsigned>(value[i]);
    if (code < rec->firstChar || code > rec->lastChar) return i;
  }
  return value.size();
}

// A character as the trace shows it: itself, or a wide one's code.
char shown(char c) { return c; }
unsigned shown(wchar_t c) { return static_cast<unsigned>(c); }

bool timeIsValid(const GeneralizedTime& t) {
  return t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 24 &&
         t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.mindiff >= -720 && t.mindiff <= 720;
}

}  // namespace

const AbstractData* knownAlternative(const CHOICE& choice) {
  int id = choice.currentSelection();
  if (id < 0 || static_cast<unsigned>(id) >= choice.info()->totalChoices) return nullptr;
  return choice.getSelection();
}

bool AbstractData::isValid() const {
  ValidChecker checker;
  return accept(checker);
}

bool AbstractData::isStrictlyValid() const {
  StrictlyValidChecker checker;
  return accept(checker);
}

// ---- The rules -------------------------------------------------------------------------

bool ConstraintChecker::broken() {
  if (trace_) *trace_ << path_;
  return false;
}

std::ostream* ConstraintChecker::reason() {
  broken();
  return trace_;
}

bool ConstraintChecker::sizeAllowed(const char* what, const ConstrainedObject& value, unsigned size,
                                    bool boundedUnlessExtendable) {
  if (static_cast<long long>(size) < value.getLowerLimit()) {
    if (std::ostream* out = reason())
      *out << " This " << what << " has size " << size << " smaller than its lower bound " << value.getLowerLimit();
    return false;
  }
  ConstraintType type = value.getConstraintType();
  bool bounded = type == FixedConstraint || reading_ == Reading::Root ||
                 (reading_ == Reading::Extensions && boundedUnlessExtendable && type != ExtendableConstraint);
  if (bounded && size > value.getUpperLimit()) {
    if (std::ostream* out = reason())
      *out << " This " << what << " has size " << size << " greater than its upper bound " << value.getUpperLimit();
    return false;
  }
  return true;
}

bool ConstraintChecker::do_visit(const Null&) { return true; }
bool ConstraintChecker::do_visit(const BOOLEAN&) { return true; }

bool ConstraintChecker::do_visit(const INTEGER& value) {
  bool extensible = value.extendable() && reading_ != Reading::Root;
  const char* why = nullptr;
  long long bound = 0;
  if (belowLower(value) && !(extensible && reading_ == Reading::Extensions)) {
    why = " is smaller than lower bound ";
    bound = value.getLowerLimit();
  } else if (aboveUpper(value) && !extensible) {
    why = " is greater than upper bound ";
    bound = value.getUpperLimit();
  } else {
    return true;
  }
  if (std::ostream* out = reason()) {
    *out << " The INTEGER value ";
    if (value.getLowerLimit() >= 0)
      *out << value.getUnsignedValue();
    else
      *out << value.getValue();
    *out << why << bound;
  }
  return false;
}

bool ConstraintChecker::do_visit(const IntegerWithNamedNumber& value) {
  return do_visit(static_cast<const INTEGER&>(value));
}

bool ConstraintChecker::do_visit(const ENUMERATED& value) {
  bool beyondRoot = static_cast<unsigned>(value.getValue()) > value.getMaximum();
  if (value.getValue() >= 0 && (!beyondRoot || (reading_ == Reading::Extensions && value.extendable()))) return true;
  if (std::ostream* out = reason()) *out << " This ENUMERATED has invalid value " << value.getValue();
  return false;
}

bool ConstraintChecker::do_visit(const OBJECT_IDENTIFIER& value) {
  if (value.levels() > 0) return true;
  if (std::ostream* out = reason()) *out << " This OBJECT IDENTIFIER is not assigned";
  return false;
}

bool ConstraintChecker::do_visit(const BIT_STRING& value) {
  return sizeAllowed("BIT STRING", value, value.size(), false);
}

bool ConstraintChecker::do_visit(const OCTET_STRING& value) {
  return sizeAllowed("OCTET STRING", value, static_cast<unsigned>(value.size()), false);
}

template <class String>
bool ConstraintChecker::stringAllowed(const char* what, const String& value) {
  if (!sizeAllowed(what, value, static_cast<unsigned>(value.size()), true)) return false;
  std::size_t bad = firstIllegal(value);
  if (bad == value.size()) return true;
  if (std::ostream* out = reason()) *out << " The character '" << shown(value[bad]) << "' is not valid for the string";
  return false;
}

bool ConstraintChecker::do_visit(const AbstractString& value) { return stringAllowed("AbstractString", value); }
bool ConstraintChecker::do_visit(const BMPString& value) { return stringAllowed("BMPString", value); }

bool ConstraintChecker::do_visit(const GeneralizedTime& value) {
  if (timeIsValid(value)) return true;
  if (std::ostream* out = reason()) *out << " This GeneralizedTime is not valid";
  return false;
}

bool ConstraintChecker::do_visit(const CHOICE& value) {
  int id = value.currentSelection();
  if (id == CHOICE::unknownSelection_ || (id >= 0 && static_cast<unsigned>(id) >= value.info()->totalChoices)) {
    if (std::ostream* out = reason()) *out << " This selection is not understood by this decoder";
    return false;
  }
  if (id < 0) {
    if (std::ostream* out = reason()) *out << " This CHOICE is not selected";
    return false;
  }
  bool outsideRoot =
      static_cast<unsigned>(id) >= value.info()->numChoices && (reading_ == Reading::Root || !value.info()->extendable);
  return checkPart(value.getSelection(), value.info()->selectionNames[id], 0, !outsideRoot);
}

bool ConstraintChecker::do_visit(const OpenData& value) {
  if (value.has_data()) return value.get_data().accept(*this);
  if (value.has_buf()) return true;
  if (std::ostream* out = reason()) *out << " This Open Type does not contain any valid data";
  return false;
}

bool ConstraintChecker::checkPart(const AbstractData* part, const char* name, unsigned index, bool admitted) {
  std::size_t depth = path_.size();
  if (trace_ && name)
    path_.append(".").append(name);
  else if (trace_)
    path_.append("[").append(std::to_string(index)).append("]");
  bool valid = part ? part->accept(*this) && (admitted || broken()) : broken();
  path_.resize(depth);
  return valid;
}

bool ConstraintChecker::do_visit(const SEQUENCE_OF_Base& value) {
  if (!sizeAllowed("SEQUENCE OF", value, value.size(), true)) return false;
  for (unsigned i = 0; i < value.size(); ++i)
    if (!checkPart(value.elementAt(i), nullptr, i)) return false;
  return true;
}

bool ConstraintChecker::checkField(const SEQUENCE& seq, int index) {
  auto i = static_cast<unsigned>(index);
  return checkPart(seq.getField(i), seq.info()->fieldNames[i], i);
}

bool ConstraintChecker::visitExtensionRoot(const SEQUENCE& seq, int index) { return checkField(seq, index); }
bool ConstraintChecker::visitKnownExtension(const SEQUENCE& seq, int index) { return checkField(seq, index); }

bool trace_invalid(std::ostream& stream, const char* prefix, const AbstractData& value) {
  InvalidTracer tracer;
  if (value.accept(tracer)) return true;
  stream << prefix << tracer.text() << std::endl;
  return false;
}

// ---- Primitive or constructed ------------------------------------------------------------

bool PrimitiveChecker::isPrimitive(const AbstractData& value) {
  PrimitiveChecker checker;
  return value.accept(checker);
}

bool PrimitiveChecker::do_visit(const AbstractData&) { return true; }

bool PrimitiveChecker::do_visit(const CHOICE& value) {
  const AbstractData* alternative = value.currentSelection() >= 0 ? value.getSelection() : nullptr;
  return !alternative || isPrimitive(*alternative);
}

bool PrimitiveChecker::do_visit(const OpenData& value) {
  // Raw octets hold a whole element: constructed.
  return value.has_data() && isPrimitive(value.get_data());
}

bool PrimitiveChecker::do_visit(const SEQUENCE_OF_Base&) { return false; }
bool PrimitiveChecker::preVisitExtensionRoots(const SEQUENCE&) { return false; }

}  // namespace ASN1
