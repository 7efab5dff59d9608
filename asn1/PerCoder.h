// Packed encoding rules, basic, aligned and unaligned variants.
//
// The wire form is the one our peers use, which differs from X.691 in a few
// places: ENUMERATED is coded by value (extension values as a normally small
// number n+1 then n in 0..n), OCTET STRINGs of 1 or 2 octets are not aligned,
// open types are always encoded aligned, the extension bitmap of a SEQUENCE
// is as long as its last included addition, there is no fragmentation
// (lengths above 16383 are refused), and unconstrained lengths start on an
// octet boundary in the unaligned variant too. The decoder refuses strings
// above MaximumStringSize and lists above MaximumArraySize.
#pragma once

#include "asn1/BitCursor.h"
#include "asn1/CoderEnv.h"
#include "asn1/Visitor.h"

namespace ASN1 {

class PEREncoder : public ConstVisitor {
public:
    PEREncoder(std::vector<char>& out, bool aligned) : out_(out), writer_(out), aligned_(aligned) {}

    void encodeSingleBit(bool bit) { writer_.putBit(bit); }
    void encodeMultiBit(unsigned value, unsigned bits) { writer_.putBits(value, bits); }
    void encodeBitMap(const char* bytes, unsigned bits);
    void encodeByte(unsigned value);
    void encodeBlock(const char* octets, unsigned count);
    void encodeSmallUnsigned(unsigned value);
    bool encodeLength(unsigned length, unsigned lower, unsigned upper);
    bool encodeUnsigned(unsigned value, unsigned lower, unsigned upper);
    bool encodeConstraint(const ConstrainedObject& object, unsigned value);
    bool encodeConstrainedLength(const ConstrainedObject& object, unsigned length);
    // Open-type wrapper: the value encoded aligned on its own, then its
    // octet count and the octets (an empty or null value is one zero octet).
    bool encodeAnyType(const AbstractData* value);
    void byteAlign() { writer_.align(); }
    bool aligned() const { return aligned_; }

    bool do_visit(const AbstractData& value) override;
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
    bool do_visit(const INTEGER& value) override;
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
    bool preVisitExtensions(const SEQUENCE& seq) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    bool encodeUnconstrainedInteger(int value);

    std::vector<char>& out_;
    BitWriter writer_;
    bool aligned_;
};

class PERDecoder : public Visitor {
public:
    // Where an extension alternative ends, kept while it is decoded.
    using memento_type = const char*;

    PERDecoder(const char* first, const char* last, CoderEnv* env, bool aligned)
        : reader_(first, last), env_(env), aligned_(aligned) {}

    bool decodeSingleBit(bool& bit) { return reader_.getBit(bit); }
    bool decodeMultiBit(unsigned bits, unsigned& value);
    bool decodeBitMap(char* bytes, unsigned bits);
    bool decodeSmallUnsigned(unsigned& value);
    // 0 success, -1 failure.
    int decodeLength(unsigned lower, unsigned upper, unsigned& length);
    int decodeUnsigned(unsigned lower, unsigned upper, unsigned& value);
    int decodeConstrainedLength(const ConstrainedObject& object, unsigned& length);
    bool decodeChoicePreamle(CHOICE& choice, memento_type& memento);
    void byteAlign() { reader_.align(); }
    void setPosition(const char* p) { reader_.setPosition(p); }
    std::size_t getBitsLeft() const { return reader_.bitsRemaining(); }
    const char* getPosition() const { return reader_.position(); }
    CoderEnv* getEnv() const { return env_; }
    bool aligned() const { return aligned_; }

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
    VISIT_SEQ_RESULT preVisitExtensions(SEQUENCE& seq) override;
    VISIT_SEQ_RESULT visitKnownExtension(SEQUENCE& seq, int index, int optionalId) override;
    VISIT_SEQ_RESULT visitUnknownExtensions(SEQUENCE& seq) override;

private:
    // Reads an open type's length and checks it against the octets left;
    // `end` is where its contents end.
    bool openTypeBounds(const char*& end);

    BitReader reader_;
    CoderEnv* env_;
    bool aligned_;
};

extern const CoderRule perAlignedRule;
extern const CoderRule perUnalignedRule;

} // namespace ASN1
