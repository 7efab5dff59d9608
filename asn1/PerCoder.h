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
//
// Both coders walk a value by its ValueKind: the controller link codes every
// message this way, so no visitor dispatch sits on that path. NULL, BOOLEAN,
// INTEGER and ENUMERATED are coded on a bit cursor the caller holds in
// registers, so a field or alternative of those kinds costs no call; every
// other field costs one.
#pragma once

#include "asn1/BitCursor.h"
#include "asn1/CoderEnv.h"
#include "asn1/Types.h"

namespace ASN1 {

class PEREncoder {
public:
  PEREncoder(std::vector<char>& out, bool aligned) : out_(out), writer_(out), aligned_(aligned) {}

  // Appends the value; false when it cannot be coded (nothing is undone).
  bool encode(const AbstractData& value);

  void encodeSingleBit(bool bit) { writer_.putBit(bit); }
  void encodeMultiBit(unsigned value, unsigned bits) { writer_.putBits(value, bits); }
  void encodeBitMap(const char* bytes, unsigned bits);
  void encodeBlock(const char* octets, unsigned count);
  void encodeSmallUnsigned(unsigned value);
  bool encodeLength(unsigned length, unsigned lower, unsigned upper);
  // Writes the extension bit of an extendable constraint; true when the
  // value takes the unconstrained form.
  bool encodeConstraint(const ConstrainedObject& object, unsigned value);
  bool encodeConstrainedLength(const ConstrainedObject& object, unsigned length);
  // Open-type wrapper: the value encoded aligned on its own, then its
  // octet count and the octets (an empty or null value is one zero octet).
  bool encodeAnyType(const AbstractData* value);
  void byteAlign() { writer_.align(); }
  bool aligned() const { return aligned_; }

private:
  using Step = bool (*)(PEREncoder&, const AbstractData&);
  template <class T, bool (PEREncoder::*code)(const T&)>
  static bool step(PEREncoder& encoder, const AbstractData& value) {
    return (encoder.*code)(static_cast<const T&>(value));
  }
  template <class T, bool (PEREncoder::*code)(BitWriter::Cursor&, const T&)>
  static bool onCursor(PEREncoder& encoder, const AbstractData& value) {
    BitWriter::Cursor c = encoder.writer_.cursor();
    bool encoded = (encoder.*code)(c, static_cast<const T&>(value));
    encoder.writer_.setCursor(c);
    return encoded;
  }

  bool encodeUnconstrainedLength(unsigned length);
  // A constrained whole number, offset in 0..range (not checked).
  void encodeWholeNumber(BitWriter::Cursor& c, unsigned offset, unsigned range);
  void encodeWholeNumber(unsigned offset, unsigned range);
  bool encodeNested(const AbstractData& value);
  bool encodeField(BitWriter::Cursor& c, const AbstractData& value);
  bool encodeNull(BitWriter::Cursor& c, const Null& value);
  bool encodeBoolean(BitWriter::Cursor& c, const BOOLEAN& value);
  bool encodeInteger(BitWriter::Cursor& c, const INTEGER& value);
  void encodeUnconstrainedInteger(BitWriter::Cursor& c, int value);
  bool encodeEnumerated(BitWriter::Cursor& c, const ENUMERATED& value);
  void encodeEnumeratedAddition(unsigned value);
  bool encodeObjectIdentifier(const OBJECT_IDENTIFIER& value);
  bool encodeBitString(const BIT_STRING& value);
  bool encodeOctetString(const OCTET_STRING& value);
  bool encodeCharacterString(const AbstractString& value);
  bool encodeBMPString(const BMPString& value);
  bool encodeGeneralizedTime(const GeneralizedTime& value);
  bool encodeChoice(const CHOICE& value);
  bool encodeSequence(const SEQUENCE& value);
  bool encodeSequenceOf(const SEQUENCE_OF_Base& value);
  bool encodeOpenData(const OpenData& value);

  std::vector<char>& out_;
  BitWriter writer_;
  bool aligned_;
};

class PERDecoder {
public:
  // Where an extension alternative ends, kept while it is decoded.
  using memento_type = const char*;

  PERDecoder(const char* first, const char* last, CoderEnv* env, bool aligned)
      : reader_(first, last), env_(env), aligned_(aligned) {}
  // A decoder over first..last inside a buffer that starts at `buffer`.
  PERDecoder(const char* first, const char* last, const char* buffer, CoderEnv* env, bool aligned)
      : reader_(first, last, buffer), env_(env), aligned_(aligned) {}

  // Fills the value in place (fields, alternatives and elements it holds
  // are reused); false on input that does not decode.
  bool decode(AbstractData& value);
  // Decodes an open value's `data` from its `buf` (both must exist).
  bool revisit(OpenData& value);

  bool decodeSingleBit(bool& bit) { return reader_.getBit(bit); }
  bool decodeMultiBit(unsigned bits, unsigned& value) { return reader_.getBits(bits, value); }
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
  bool aligned() const { return aligned_; }

private:
  using Step = bool (*)(PERDecoder&, AbstractData&);
  template <class T, bool (PERDecoder::*code)(T&)>
  static bool step(PERDecoder& decoder, AbstractData& value) {
    return (decoder.*code)(static_cast<T&>(value));
  }
  template <class T, bool (PERDecoder::*code)(BitReader::Cursor&, T&)>
  static bool onCursor(PERDecoder& decoder, AbstractData& value) {
    BitReader::Cursor c = decoder.reader_.cursor();
    bool decoded = (decoder.*code)(c, static_cast<T&>(value));
    decoder.reader_.setCursor(c);
    return decoded;
  }

  bool decodeWholeNumber(BitReader::Cursor& c, unsigned range, unsigned& offset) const;
  bool decodeWholeNumber(unsigned range, unsigned& offset);
  bool decodeNested(AbstractData& value);
  bool decodeField(BitReader::Cursor& c, AbstractData& value);
  bool decodeNull(BitReader::Cursor& c, Null& value);
  bool decodeBoolean(BitReader::Cursor& c, BOOLEAN& value);
  bool decodeInteger(BitReader::Cursor& c, INTEGER& value);
  bool decodeUnconstrainedInteger(BitReader::Cursor& c, int& value);
  bool decodeLongUnconstrainedInteger(int& value);
  bool decodeEnumerated(BitReader::Cursor& c, ENUMERATED& value);
  bool decodeEnumeratedAddition(ENUMERATED& value);
  bool decodeObjectIdentifier(OBJECT_IDENTIFIER& value);
  bool decodeBitString(BIT_STRING& value);
  bool decodeOctetString(OCTET_STRING& value);
  bool decodeCharacterString(AbstractString& value);
  bool decodeBMPString(BMPString& value);
  bool decodeGeneralizedTime(GeneralizedTime& value);
  bool decodeChoice(CHOICE& value);
  bool decodeSequence(SEQUENCE& value);
  bool decodeExtensionAdditions(SEQUENCE& value);
  bool decodeSequenceOf(SEQUENCE_OF_Base& value);
  bool decodeOpenData(OpenData& value);
  bool decodeTypeConstrainedOpenData(TypeConstrainedOpenData& value);
  // Decodes a value that sits in an open type ending at `end` (aligned,
  // within those octets), then moves to `end`.
  bool decodeWithin(AbstractData& value, const char* end);
  // The octet-aligned form of every unconstrained length.
  bool decodeUnconstrainedLength(unsigned& length);
  // An unconstrained length and that many octets; null when either is missing or too long.
  const char* takeCountedOctets(unsigned& count);
  // Reads an open type's length and checks it against the octets left;
  // `end` is where its contents end.
  bool openTypeBounds(const char*& end);

  BitReader reader_;
  CoderEnv* env_;
  bool aligned_;
};

extern const CoderRule perAlignedRule;
extern const CoderRule perUnalignedRule;

}  // namespace ASN1
