// The two walks over a value: Visitor changes it (decoders, readers),
// ConstVisitor reads it (encoders, writers, checkers). SEQUENCE is not
// visited as a whole: its do_accept runs visit(SEQUENCE&), which calls the
// per-field operations below in record order.
#pragma once

#include "asn1/Types.h"

namespace ASN1 {

class Visitor {
public:
  // Result codes of the SEQUENCE operations.
  enum VISIT_SEQ_RESULT { FAIL = 0, STOP = 1, NO_EXTENSION = 2, CONTINUE = 3 };

  virtual ~Visitor() = default;

  virtual bool do_visit(Null& value) = 0;
  virtual bool do_visit(BOOLEAN& value) = 0;
  virtual bool do_visit(INTEGER& value) = 0;
  virtual bool do_visit(IntegerWithNamedNumber& value);
  virtual bool do_visit(ENUMERATED& value) = 0;
  virtual bool do_visit(OBJECT_IDENTIFIER& value) = 0;
  virtual bool do_visit(OCTET_STRING& value) = 0;
  virtual bool do_visit(BIT_STRING& value) = 0;
  virtual bool do_visit(AbstractString& value) = 0;
  virtual bool do_visit(BMPString& value) = 0;
  virtual bool do_visit(CHOICE& value) = 0;
  virtual bool do_visit(SEQUENCE_OF_Base& value) = 0;
  virtual bool do_visit(OpenData& value) = 0;
  virtual bool do_revisit(OpenData& value) = 0;
  virtual bool do_visit(TypeConstrainedOpenData& value) = 0;
  virtual bool do_visit(GeneralizedTime& value) = 0;

  // The generic walk over a SEQUENCE.
  bool visit(SEQUENCE& seq);

protected:
  virtual VISIT_SEQ_RESULT preVisitExtensionRoots(SEQUENCE& seq);
  virtual VISIT_SEQ_RESULT visitExtensionRoot(SEQUENCE& seq, int index, int optionalId);
  virtual VISIT_SEQ_RESULT preVisitExtensions(SEQUENCE& seq);
  virtual VISIT_SEQ_RESULT visitKnownExtension(SEQUENCE& seq, int index, int optionalId);
  virtual VISIT_SEQ_RESULT visitUnknownExtensions(SEQUENCE& seq);
};

class ConstVisitor {
public:
  virtual ~ConstVisitor() = default;

  virtual bool do_visit(const AbstractData& value);
  virtual bool do_visit(const Null& value);
  virtual bool do_visit(const BOOLEAN& value);
  virtual bool do_visit(const INTEGER& value);
  virtual bool do_visit(const IntegerWithNamedNumber& value);
  virtual bool do_visit(const ENUMERATED& value);
  virtual bool do_visit(const OBJECT_IDENTIFIER& value);
  virtual bool do_visit(const BIT_STRING& value);
  virtual bool do_visit(const OCTET_STRING& value);
  virtual bool do_visit(const AbstractString& value);
  virtual bool do_visit(const BMPString& value);
  virtual bool do_visit(const CHOICE& value);
  virtual bool do_visit(const OpenData& value);
  virtual bool do_visit(const GeneralizedTime& value);
  virtual bool do_visit(const SEQUENCE_OF_Base& value);

  // The generic walk over a SEQUENCE.
  bool visit(const SEQUENCE& seq);

protected:
  virtual bool preVisitExtensionRoots(const SEQUENCE& seq);
  virtual bool visitExtensionRoot(const SEQUENCE& seq, int index);
  virtual bool preVisitExtensions(const SEQUENCE& seq);
  virtual bool visitKnownExtension(const SEQUENCE& seq, int index);
  virtual bool afterVisitSequence(const SEQUENCE& seq);
};

}  // namespace ASN1
