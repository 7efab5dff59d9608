#include "asn1/Visitor.h"

namespace ASN1 {

bool Visitor::do_visit(IntegerWithNamedNumber& value) { return do_visit(static_cast<INTEGER&>(value)); }

Visitor::VISIT_SEQ_RESULT Visitor::preVisitExtensionRoots(SEQUENCE&) { return CONTINUE; }
Visitor::VISIT_SEQ_RESULT Visitor::visitExtensionRoot(SEQUENCE&, int, int) { return FAIL; }
Visitor::VISIT_SEQ_RESULT Visitor::preVisitExtensions(SEQUENCE&) { return CONTINUE; }
Visitor::VISIT_SEQ_RESULT Visitor::visitKnownExtension(SEQUENCE&, int, int) { return FAIL; }
Visitor::VISIT_SEQ_RESULT Visitor::visitUnknownExtensions(SEQUENCE&) { return STOP; }

bool Visitor::visit(SEQUENCE& seq) {
  const SEQUENCE::InfoType* rec = seq.info();
  VISIT_SEQ_RESULT preamble = preVisitExtensionRoots(seq);
  if (preamble == FAIL || preamble == STOP) return preamble != FAIL;
  for (unsigned i = 0; i < rec->numFields; ++i) {
    VISIT_SEQ_RESULT r = visitExtensionRoot(seq, static_cast<int>(i), rec->fieldIds[i]);
    if (r == FAIL || r == STOP) return r != FAIL;
  }
  if (preamble != CONTINUE) return true;
  VISIT_SEQ_RESULT r = preVisitExtensions(seq);
  if (r != CONTINUE) return r != FAIL;
  for (unsigned i = rec->numFields; i < seq.fieldCount(); ++i) {
    r = visitKnownExtension(seq, static_cast<int>(i), seq.optionalIdOf(i));
    if (r != CONTINUE) return r != FAIL;
  }
  return visitUnknownExtensions(seq) != FAIL;
}

bool ConstVisitor::do_visit(const AbstractData&) { return true; }
bool ConstVisitor::do_visit(const Null& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BOOLEAN& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const INTEGER& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const IntegerWithNamedNumber& value) {
  return do_visit(static_cast<const AbstractData&>(value));
}
bool ConstVisitor::do_visit(const ENUMERATED& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OBJECT_IDENTIFIER& value) {
  return do_visit(static_cast<const AbstractData&>(value));
}
bool ConstVisitor::do_visit(const BIT_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OCTET_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const AbstractString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BMPString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const CHOICE& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OpenData& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const GeneralizedTime& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const SEQUENCE_OF_Base& value) { return do_visit(static_cast<const AbstractData&>(value)); }

bool ConstVisitor::preVisitExtensionRoots(const SEQUENCE& seq) {
  return do_visit(static_cast<const AbstractData&>(seq));
}
bool ConstVisitor::visitExtensionRoot(const SEQUENCE&, int) { return false; }
bool ConstVisitor::preVisitExtensions(const SEQUENCE&) { return true; }
bool ConstVisitor::visitKnownExtension(const SEQUENCE&, int) { return false; }
bool ConstVisitor::afterVisitSequence(const SEQUENCE&) { return true; }

bool ConstVisitor::visit(const SEQUENCE& seq) {
  const SEQUENCE::InfoType* rec = seq.info();
  if (!preVisitExtensionRoots(seq)) return false;
  for (unsigned i = 0; i < rec->numFields; ++i) {
    int id = rec->fieldIds[i];
    if (id >= 0 && !seq.hasOptionalField(static_cast<unsigned>(id))) continue;
    if (!visitExtensionRoot(seq, static_cast<int>(i))) return false;
  }
  if (seq.extensionMap().size() == 0) return afterVisitSequence(seq);
  if (!preVisitExtensions(seq)) return false;
  for (unsigned i = rec->numFields; i < seq.fieldCount(); ++i)
    if (seq.hasOptionalField(static_cast<unsigned>(seq.optionalIdOf(i))) &&
        !visitKnownExtension(seq, static_cast<int>(i)))
      return false;
  return afterVisitSequence(seq);
}

}  // namespace ASN1
