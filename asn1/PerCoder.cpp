#include "asn1/PerCoder.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

namespace {

constexpr unsigned unconstrainedUpper = 0x7FFFFFFF;
constexpr unsigned maxLength = 16383;  // no fragmentation

bool isUnconstrained(ConstraintType type) { return type == Unconstrained || type == PartiallyConstrained; }

// Bits that hold the numbers 0 .. range.
unsigned bitsFor(unsigned range) { return range == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(range)); }

// Is `value` inside lower..upper, signed when the lower bound is negative?
bool inRange(const ConstrainedObject& object, unsigned value) {
  int lower = object.getLowerLimit();
  unsigned upper = object.getUpperLimit();
  if (lower < 0) return static_cast<int>(value) >= lower && static_cast<int>(value) <= static_cast<int>(upper);
  return value >= static_cast<unsigned>(lower) && value <= upper;
}

// Highest set bit among the known extension additions, or -1.
int lastKnownExtension(const SEQUENCE& seq) {
  const SEQUENCE::BitMap& map = seq.extensionMap();
  unsigned known = std::min(map.size(), seq.info()->knownExtensions);
  for (unsigned i = known; i-- > 0;)
    if (map[i]) return static_cast<int>(i);
  return -1;
}

// Bits per character of a string and whether the characters start aligned.
struct StringLayout {
  unsigned bits;
  bool block;  // 8-bit characters as one aligned block
  bool alignFirst;
};

StringLayout stringLayout(const ConstrainedObject& object, unsigned alignedBits, unsigned unalignedBits, bool aligned,
                          unsigned alignAbove) {
  unsigned b = aligned ? alignedBits : unalignedBits;
  bool wide = isUnconstrained(object.getConstraintType()) ||
              static_cast<std::uint64_t>(object.getUpperLimit()) * b > alignAbove;
  return {b, wide && b == 8, wide && aligned};
}

bool usesOwnCode(const AbstractString::InfoType* rec, unsigned bits) {
  return rec->charCodeBits > 4 && rec->charCodeBits <= bits;
}

// Position of c in the record's character set, or -1.
int charIndex(const AbstractString::InfoType* rec, unsigned char c) {
  const auto* set = reinterpret_cast<const unsigned char*>(rec->characterSet);
  unsigned offset = static_cast<unsigned>(c - set[0]);
  if (offset < rec->characterSetSize && set[offset] == c)  // contiguous sets
    return static_cast<int>(offset);
  for (unsigned i = 0; i < rec->characterSetSize; ++i)
    if (set[i] == c) return static_cast<int>(i);
  return -1;
}

// Are all characters below 2^k (k = 1..8)? Eight at a time: no octet may
// have a bit at k or above.
bool allBelowPowerOfTwo(const CharacterVector& text, unsigned limit) {
  const std::uint64_t high = 0x0101010101010101u * (0xFFu & ~(limit - 1));
  std::uint64_t seen = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    seen |= word;
  }
  for (; i < text.size(); ++i) seen |= static_cast<unsigned char>(text[i]);
  return (seen & high) == 0;
}

// Are all characters of the text in the record's set? Sets are in ascending
// order, so one whose ends lie size - 1 apart is a single range, and one
// starting at 0 with a power-of-two size (IA5String, GeneralString) a bit test.
bool inCharacterSet(const AbstractString::InfoType* rec, const CharacterVector& text) {
  const auto* set = reinterpret_cast<const unsigned char*>(rec->characterSet);
  unsigned size = rec->characterSetSize;
  if (size > 0 && set[size - 1] - set[0] == static_cast<int>(size) - 1) {
    if (set[0] == 0 && (size & (size - 1)) == 0) return allBelowPowerOfTwo(text, size);
    bool outside = false;
    for (unsigned char c : text) outside |= static_cast<unsigned>(c - set[0]) >= size;
    return !outside;
  }
  return std::all_of(text.begin(), text.end(),
                     [rec](char c) { return charIndex(rec, static_cast<unsigned char>(c)) >= 0; });
}

[[gnu::always_inline]] inline bool encodeValue(const AbstractData& value, std::vector<char>& out, bool aligned) {
  PEREncoder encoder(out, aligned);
  return encoder.encode(value);
}

[[gnu::always_inline]] inline bool decodeValue(const char* first, const char* last, AbstractData& value, CoderEnv* env,
                                               bool aligned) {
  if (last - first >= 8) {
    PERDecoder decoder(first, last, env, aligned);
    return decoder.decode(value);
  }
  // A short message is read from a buffer of eight, so every read near its
  // end is one word load (the octets in front are never used).
  char padded[8] = {};
  std::size_t count = static_cast<std::size_t>(last - first);
  char* to = padded + sizeof padded - count;
  // Two overlapping fixed-size copies: no call for a few octets.
  if (count >= 4) {
    std::memcpy(to, first, 4);
    std::memcpy(to + count - 4, first + count - 4, 4);
  } else if (count >= 2) {
    std::memcpy(to, first, 2);
    std::memcpy(to + count - 2, first + count - 2, 2);
  } else if (count == 1) {
    *to = *first;
  }
  PERDecoder decoder(to, padded + sizeof padded, padded, env, aligned);
  return decoder.decode(value);
}

}  // namespace

const CoderRule perAlignedRule = {
    [](const AbstractData& value, std::vector<char>& out) { return encodeValue(value, out, true); },
    [](const char* first, const char* last, AbstractData& value, CoderEnv* env) {
      return decodeValue(first, last, value, env, true);
    }};
const CoderRule perUnalignedRule = {
    [](const AbstractData& value, std::vector<char>& out) { return encodeValue(value, out, false); },
    [](const char* first, const char* last, AbstractData& value, CoderEnv* env) {
      return decodeValue(first, last, value, env, false);
    }};

// ---- Encoder primitives ------------------------------------------------------------

void PEREncoder::encodeBitMap(const char* bytes, unsigned bits) {
  unsigned whole = bits / 8;
  for (unsigned i = 0; i < whole; ++i) writer_.putBits(static_cast<unsigned char>(bytes[i]), 8);
  if (unsigned rest = bits % 8) writer_.putBits(static_cast<unsigned char>(bytes[whole]) >> (8 - rest), rest);
}

void PEREncoder::encodeBlock(const char* octets, unsigned count) {
  if (count > 0) writer_.putOctets(octets, count);
}

void PEREncoder::encodeSmallUnsigned(unsigned value) {
  if (value <= 63) {
    writer_.putBits(value, 7);  // a 0 bit and six bits of value
    return;
  }
  writer_.putBit(true);
  unsigned octets = value < 0x100 ? 1 : value < 0x10000 ? 2 : value <= 0xFFFFFF ? 3 : 4;
  encodeUnconstrainedLength(octets);
  writer_.putBits(value, 8 * octets);
}

bool PEREncoder::encodeUnconstrainedLength(unsigned length) {
  writer_.align();
  if (length < 128)
    writer_.putBits(length, 8);
  else if (length <= maxLength)
    writer_.putBits(0x8000 | length, 16);
  else
    return false;
  return true;
}

// A range of 256 or more in the aligned variant: one or two aligned octets,
// or, above 65536, an octet count and that many aligned octets.
inline void PEREncoder::encodeWholeNumber(BitWriter::Cursor& c, unsigned offset, unsigned range) {
  unsigned bits = bitsFor(range);
  if (aligned_ && range > 254) {
    if (bits > 16) {
      unsigned octets = offset == 0 ? 1 : (bitsFor(offset) + 7) / 8;
      writer_.putBits(c, octets - 1, bitsFor((bits + 7) / 8 - 1));
      bits = 8 * octets;
    } else {
      bits = bits > 8 ? 16 : 8;
    }
    BitWriter::align(c);
  }
  writer_.putBits(c, offset, bits);
}

void PEREncoder::encodeWholeNumber(unsigned offset, unsigned range) {
  BitWriter::Cursor c = writer_.cursor();
  encodeWholeNumber(c, offset, range);
  writer_.setCursor(c);
}

bool PEREncoder::encodeLength(unsigned length, unsigned lower, unsigned upper) {
  if (length < lower || length > upper) return false;
  if (upper > 65535 && (aligned_ || upper == unconstrainedUpper)) return encodeUnconstrainedLength(length);
  encodeWholeNumber(length - lower, upper - lower);
  return true;
}

bool PEREncoder::encodeConstraint(const ConstrainedObject& object, unsigned value) {
  switch (object.getConstraintType()) {
    case ExtendableConstraint: {
      bool outside = !inRange(object, value);
      writer_.putBit(outside);
      return outside;
    }
    case FixedConstraint: return false;
    default: return true;
  }
}

bool PEREncoder::encodeConstrainedLength(const ConstrainedObject& object, unsigned length) {
  if (encodeConstraint(object, length)) return encodeUnconstrainedLength(length);
  return encodeLength(length, static_cast<unsigned>(object.getLowerLimit()), object.getUpperLimit());
}

bool PEREncoder::encodeAnyType(const AbstractData* value) {
  // Encoded in place behind a two-octet length slot that shrinks to one
  // octet for short contents: no buffer of its own.
  writer_.align();
  writer_.detach();
  std::size_t slot = out_.size();
  out_.insert(out_.end(), 2, 0);
  bool encoded = true;
  if (value) {
    PEREncoder inner(out_, true);
    encoded = inner.encode(*value);
  }
  std::size_t count = out_.size() - slot - 2;
  if (count == 0) {
    out_.push_back(0);
    count = 1;
  }
  if (count < 128) {
    out_[slot] = static_cast<char>(count);
    out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(slot) + 1);
  } else {
    out_[slot] = static_cast<char>(0x80 | count >> 8);
    out_[slot + 1] = static_cast<char>(count & 0xFF);
  }
  writer_.attach();
  return encoded && count <= maxLength;
}

// ---- Encoder, per kind --------------------------------------------------------------

bool PEREncoder::encode(const AbstractData& value) {
  // One coder per kind, in the enumeration's order: a field costs one call.
  static const Step steps[] = {
      &onCursor<Null, &PEREncoder::encodeNull>,
      &onCursor<BOOLEAN, &PEREncoder::encodeBoolean>,
      &onCursor<INTEGER, &PEREncoder::encodeInteger>,
      &onCursor<ENUMERATED, &PEREncoder::encodeEnumerated>,
      &step<OBJECT_IDENTIFIER, &PEREncoder::encodeObjectIdentifier>,
      &step<BIT_STRING, &PEREncoder::encodeBitString>,
      &step<OCTET_STRING, &PEREncoder::encodeOctetString>,
      &step<AbstractString, &PEREncoder::encodeCharacterString>,
      &step<BMPString, &PEREncoder::encodeBMPString>,
      &step<GeneralizedTime, &PEREncoder::encodeGeneralizedTime>,
      &step<CHOICE, &PEREncoder::encodeChoice>,
      &step<SEQUENCE, &PEREncoder::encodeSequence>,
      &step<SEQUENCE_OF_Base, &PEREncoder::encodeSequenceOf>,
      &step<OpenData, &PEREncoder::encodeOpenData>,  // Open
      &step<OpenData, &PEREncoder::encodeOpenData>,  // TypeConstrainedOpen
  };
  static_assert(sizeof steps / sizeof steps[0] == valueKindCount, "one coder per kind");
  return steps[static_cast<unsigned>(value.kind())](*this, value);
}

inline bool PEREncoder::encodeNull(BitWriter::Cursor&, const Null&) { return true; }

inline bool PEREncoder::encodeBoolean(BitWriter::Cursor& c, const BOOLEAN& value) {
  writer_.putBit(c, value.getValue());
  return true;
}

inline void PEREncoder::encodeUnconstrainedInteger(BitWriter::Cursor& c, int value) {
  unsigned magnitude = static_cast<unsigned>(value);
  // Minimal two's complement: the significant bits of v (of -v - 1 when
  // negative) and a sign bit, in whole octets (at least one).
  unsigned significant = value < 0 ? ~magnitude : magnitude;
  unsigned octets = (40 - static_cast<unsigned>(__builtin_clz(significant | 1))) / 8;
  // The length octet and the content in one write.
  std::uint64_t content = std::uint64_t{magnitude} << (64 - 8 * octets) >> 8;
  writer_.putOctetWord(c, std::uint64_t{octets} << 56 | content, octets + 1);
}

inline bool PEREncoder::encodeInteger(BitWriter::Cursor& c, const INTEGER& value) {
  const INTEGER::InfoType* rec = value.info();
  bool unconstrained = isUnconstrained(rec->type);
  if (!unconstrained) {
    // Inside lower..upper exactly when the offset is at most the range,
    // signed bounds or not.
    unsigned lower = static_cast<unsigned>(rec->lowerLimit);
    unsigned range = rec->upperLimit - lower;
    unsigned offset = value.getUnsignedValue() - lower;
    if (rec->type == ExtendableConstraint) {
      unconstrained = offset > range;
      writer_.putBit(c, unconstrained);
    }
    if (!unconstrained) {
      if (offset > range) return false;
      encodeWholeNumber(c, offset, range);
      return true;
    }
  }
  encodeUnconstrainedInteger(c, value.getValue());
  return true;
}

inline bool PEREncoder::encodeEnumerated(BitWriter::Cursor& c, const ENUMERATED& value) {
  const ENUMERATED::InfoType* rec = value.info();
  auto v = static_cast<unsigned>(value.getValue());
  if (rec->extendable) {
    bool extension = static_cast<int>(v) >= 0 && v > rec->maxEnumValue;
    writer_.putBit(c, extension);
    if (extension) {
      writer_.setCursor(c);
      encodeEnumeratedAddition(v);
      c = writer_.cursor();
      return true;
    }
  }
  if (v > rec->maxEnumValue) return false;
  encodeWholeNumber(c, v, rec->maxEnumValue);
  return true;
}

bool PEREncoder::encodeObjectIdentifier(const OBJECT_IDENTIFIER& value) {
  std::vector<char> content;
  value.encodeCommon(content);
  if (!encodeLength(static_cast<unsigned>(content.size()), 0, 255)) return false;
  encodeBlock(content.data(), static_cast<unsigned>(content.size()));
  return true;
}

bool PEREncoder::encodeBitString(const BIT_STRING& value) {
  unsigned bits = value.size();
  if (!encodeConstrainedLength(value, bits)) return false;
  if (aligned_ && bits > 16)
    encodeBlock(value.bytes().data(), (bits + 7) / 8);
  else
    encodeBitMap(value.bytes().data(), bits);
  return true;
}

bool PEREncoder::encodeOctetString(const OCTET_STRING& value) {
  unsigned count = static_cast<unsigned>(value.size());
  if (!encodeConstrainedLength(value, count)) return false;
  if (count == 1 || count == 2) {
    for (char c : value) writer_.putBits(static_cast<unsigned char>(c), 8);
  } else {
    encodeBlock(value.data(), count);
  }
  return true;
}

bool PEREncoder::encodeCharacterString(const AbstractString& value) {
  const AbstractString::InfoType* rec = value.info();
  unsigned count = static_cast<unsigned>(value.size());
  if (!encodeConstrainedLength(value, count)) return false;
  StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
  bool ownCode = usesOwnCode(rec, layout.bits);
  const char* text = value.data();
  // IA5String in 7 bits: the characters are checked as they are packed.
  if (ownCode && layout.bits == 7 && !layout.alignFirst && rec->characterSet[0] == 0 && rec->characterSetSize == 128)
    return writer_.putFields<7>(text, count);
  if (!inCharacterSet(rec, value)) return false;
  if (layout.block && ownCode) {
    encodeBlock(text, count);
    return true;
  }
  if (layout.alignFirst) writer_.align();
  if (!ownCode) {
    for (unsigned i = 0; i < count; ++i)
      writer_.putBits(static_cast<unsigned>(charIndex(rec, static_cast<unsigned char>(text[i]))), layout.bits);
    return true;
  }
  switch (layout.bits) {
    case 7: writer_.putFields<7>(text, count); break;
    case 8: writer_.putFields<8>(text, count); break;
    default:
      for (unsigned i = 0; i < count; ++i) writer_.putBits(static_cast<unsigned char>(text[i]), layout.bits);
  }
  return true;
}

bool PEREncoder::encodeBMPString(const BMPString& value) {
  const BMPString::InfoType* rec = value.info();
  if (!encodeConstrainedLength(value, static_cast<unsigned>(value.size()))) return false;
  StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
  if (layout.alignFirst || layout.block) writer_.align();
  for (wchar_t c : value) {
    auto code = static_cast<unsigned>(c);
    if (code < rec->firstChar || code > rec->lastChar) return false;
    writer_.putBits(code - rec->firstChar, layout.bits);
  }
  return true;
}

bool PEREncoder::encodeGeneralizedTime(const GeneralizedTime& value) {
  std::string text = value.get();
  if (!encodeUnconstrainedLength(static_cast<unsigned>(text.size()))) return false;
  encodeBlock(text.data(), static_cast<unsigned>(text.size()));
  return true;
}

// An addition: its index as a normally small number, then the index again
// in 0..index.
void PEREncoder::encodeEnumeratedAddition(unsigned v) {
  encodeSmallUnsigned(v + 1);
  encodeWholeNumber(v, v);
}

// The kinds that nest, called straight; the rest through the table.
inline bool PEREncoder::encodeNested(const AbstractData& value) {
  switch (value.kind()) {
    case ValueKind::Sequence: return encodeSequence(static_cast<const SEQUENCE&>(value));
    case ValueKind::Choice: return encodeChoice(static_cast<const CHOICE&>(value));
    default: return encode(value);
  }
}

// A field: the plain kinds coded on the caller's cursor (no call), the rest
// as a nested value.
[[gnu::always_inline]] inline bool PEREncoder::encodeField(BitWriter::Cursor& c, const AbstractData& value) {
  switch (value.kind()) {
    case ValueKind::Null: return encodeNull(c, static_cast<const Null&>(value));
    case ValueKind::Boolean: return encodeBoolean(c, static_cast<const BOOLEAN&>(value));
    case ValueKind::Integer: return encodeInteger(c, static_cast<const INTEGER&>(value));
    case ValueKind::Enumerated: return encodeEnumerated(c, static_cast<const ENUMERATED&>(value));
    default: break;
  }
  writer_.setCursor(c);
  bool encoded = encodeNested(value);
  c = writer_.cursor();
  return encoded;
}

bool PEREncoder::encodeChoice(const CHOICE& value) {
  const CHOICE::InfoType* rec = value.info();
  int id = value.currentSelection();
  if (id < 0) return false;
  auto index = static_cast<unsigned>(id);
  bool extension = index >= rec->numChoices;
  if (extension && !rec->extendable) return false;
  unsigned range = rec->numChoices - 1;
  if (extension || (aligned_ && range > 254)) {
    if (rec->extendable) writer_.putBit(extension);
    if (extension) {
      encodeSmallUnsigned(index - rec->numChoices);
      return encodeAnyType(value.getSelection());
    }
    encodeWholeNumber(index, range);
    return encode(*value.getSelection());
  }
  // A root alternative of a narrow index range: the preamble in one write.
  BitWriter::Cursor c = writer_.cursor();
  writer_.putBits(c, index, bitsFor(range) + rec->extendable);
  writer_.setCursor(c);
  return encodeNested(*value.getSelection());
}

bool PEREncoder::encodeSequence(const SEQUENCE& value) {
  const SEQUENCE::InfoType* rec = value.info();
  int last = lastKnownExtension(value);
  const unsigned optionals = rec->numOptionals;
  const SEQUENCE::BitMap& optional = value.optionalMap();
  // The extension bit and up to 56 presence bits in one write, the
  // presence then tested where it was read.
  std::uint64_t present = 0;
  if (optionals <= 56) {
    present = optionals ? optional.leading(optionals) : 0;
    BitWriter::Cursor c = writer_.cursor();
    writer_.putBits(c, std::uint64_t{last >= 0} << optionals | present, optionals + rec->extendable);
    writer_.setCursor(c);
  } else {
    if (rec->extendable) writer_.putBit(last >= 0);
    encodeBitMap(optional.data(), optionals);
  }
  // Locals: the octets written may alias anything held in memory.
  const int* ids = rec->fieldIds;
  const unsigned count = rec->numFields;
  const AbstractData* const* fields = value.fieldPointers();
  BitWriter::Cursor c = writer_.cursor();
  for (unsigned i = 0; i < count; ++i) {
    int id = ids[i];
    if (id >= 0 && (optionals <= 56 ? !(present >> (optionals - 1 - static_cast<unsigned>(id)) & 1)
                                    : !optional[static_cast<unsigned>(id)]))
      continue;
    const AbstractData* field = fields[i];
    if (!field || !encodeField(c, *field)) return false;
  }
  writer_.setCursor(c);
  if (last < 0) return true;
  const SEQUENCE::BitMap& additions = value.extensionMap();
  encodeSmallUnsigned(static_cast<unsigned>(last));
  encodeBitMap(additions.data(), static_cast<unsigned>(last) + 1);
  for (unsigned k = 0; k <= static_cast<unsigned>(last); ++k) {
    if (!additions[k]) continue;
    const AbstractData* field = value.getField(rec->numFields + k);
    if (!field || !encodeAnyType(field)) return false;
  }
  return true;
}

bool PEREncoder::encodeSequenceOf(const SEQUENCE_OF_Base& value) {
  if (!encodeConstrainedLength(value, value.size())) return false;
  for (auto it = value.baseBegin(); it != value.baseEnd(); ++it)
    if (!encode(**it)) return false;
  return true;
}

bool PEREncoder::encodeOpenData(const OpenData& value) {
  if (!value.has_data() && value.has_buf()) {
    // Octets never decoded go back out as they came.
    const std::vector<char>& buf = value.get_buf();
    if (!encodeUnconstrainedLength(static_cast<unsigned>(buf.size()))) return false;
    encodeBlock(buf.data(), static_cast<unsigned>(buf.size()));
    return true;
  }
  return encodeAnyType(value.has_data() ? &value.get_data() : nullptr);
}

// ---- Decoder primitives ------------------------------------------------------------

bool PERDecoder::decodeBitMap(char* bytes, unsigned bits) {
  std::uint32_t v = 0;
  if (bits - 1 < 32) {  // the common small map: one read
    if (!reader_.getBits(bits, v)) return false;
    v <<= 32 - bits;
    for (unsigned i = 0; i < (bits + 7) / 8; ++i) bytes[i] = static_cast<char>(v >> (24 - 8 * i));
    return true;
  }
  if (bits > reader_.bitsRemaining()) return false;
  unsigned whole = bits / 8;
  for (unsigned i = 0; i < whole; ++i) {
    reader_.getBits(8, v);
    bytes[i] = static_cast<char>(v);
  }
  if (unsigned rest = bits % 8) {
    reader_.getBits(rest, v);
    bytes[whole] = static_cast<char>(v << (8 - rest));
  }
  return true;
}

bool PERDecoder::decodeSmallUnsigned(unsigned& value) {
  bool large = false;
  if (!reader_.getBit(large)) return false;
  if (!large) return decodeMultiBit(6, value);
  unsigned octets = 0;
  if (!decodeUnconstrainedLength(octets) || octets == 0 || octets > 4) return false;
  reader_.align();
  return decodeMultiBit(8 * octets, value);
}

int PERDecoder::decodeLength(unsigned lower, unsigned upper, unsigned& length) {
  if (upper > 65535 && (aligned_ || upper == unconstrainedUpper)) return decodeUnconstrainedLength(length) ? 0 : -1;
  return decodeUnsigned(lower, upper, length);
}

bool PERDecoder::decodeUnconstrainedLength(unsigned& length) {
  unsigned first = 0;
  if (!reader_.getOctet(first)) return false;
  if ((first & 0x80) == 0) {
    length = first;
    return true;
  }
  unsigned second = 0;
  if ((first & 0xC0) == 0xC0 || !reader_.getOctet(second))  // 11: fragmentation, not used
    return false;
  length = (first & 0x3F) << 8 | second;
  return true;
}

inline bool PERDecoder::decodeWholeNumber(BitReader::Cursor& c, unsigned range, unsigned& offset) const {
  unsigned bits = bitsFor(range);
  if (aligned_ && range > 254) {
    if (bits > 16) {
      unsigned octets = 0;
      if (!reader_.getBits(c, bitsFor((bits + 7) / 8 - 1), octets)) return false;
      bits = 8 * (octets + 1);
    } else {
      bits = bits > 8 ? 16 : 8;
    }
    BitReader::align(c);
  }
  return reader_.getBits(c, bits, offset);
}

bool PERDecoder::decodeWholeNumber(unsigned range, unsigned& offset) {
  BitReader::Cursor c = reader_.cursor();
  bool decoded = decodeWholeNumber(c, range, offset);
  reader_.setCursor(c);
  return decoded;
}

int PERDecoder::decodeUnsigned(unsigned lower, unsigned upper, unsigned& value) {
  unsigned offset = 0;
  if (!decodeWholeNumber(upper - lower, offset)) return -1;
  value = lower + offset;
  return 0;
}

int PERDecoder::decodeConstrainedLength(const ConstrainedObject& object, unsigned& length) {
  bool unconstrained = isUnconstrained(object.getConstraintType());
  if (object.getConstraintType() == ExtendableConstraint && !reader_.getBit(unconstrained)) return -1;
  if (unconstrained) return decodeUnconstrainedLength(length) ? 0 : -1;
  return decodeLength(static_cast<unsigned>(object.getLowerLimit()), object.getUpperLimit(), length);
}

bool PERDecoder::openTypeBounds(const char*& end) {
  unsigned length = 0;
  if (!decodeUnconstrainedLength(length) || length > reader_.octetsRemaining()) return false;
  end = reader_.position() + length;
  return true;
}

bool PERDecoder::decodeWithin(AbstractData& value, const char* end) {
  PERDecoder inner(reader_.position(), end, reader_.buffer(), env_, true);
  if (!inner.decode(value)) return false;
  reader_.setPosition(end);
  return true;
}

bool PERDecoder::decodeChoicePreamle(CHOICE& choice, memento_type& memento) {
  const CHOICE::InfoType* rec = choice.info();
  memento = nullptr;
  if (reader_.atEnd()) return false;
  bool extension = false;
  if (rec->extendable && !reader_.getBit(extension)) return false;
  unsigned index = 0;
  if (extension) {
    if (!decodeSmallUnsigned(index) || !openTypeBounds(memento)) return false;
    index += rec->numChoices;
  } else if (rec->numChoices > 1) {
    if (!decodeWholeNumber(rec->numChoices - 1, index) || index >= rec->numChoices) return false;
  }
  if (choice.getSelectionId() == static_cast<int>(index) && choice.getSelection()) return true;
  return choice.setID(static_cast<int>(index));
}

// ---- Decoder, per kind --------------------------------------------------------------

bool PERDecoder::decode(AbstractData& value) {
  // One decoder per kind, in the enumeration's order.
  static const Step steps[] = {
      &onCursor<Null, &PERDecoder::decodeNull>,
      &onCursor<BOOLEAN, &PERDecoder::decodeBoolean>,
      &onCursor<INTEGER, &PERDecoder::decodeInteger>,
      &onCursor<ENUMERATED, &PERDecoder::decodeEnumerated>,
      &step<OBJECT_IDENTIFIER, &PERDecoder::decodeObjectIdentifier>,
      &step<BIT_STRING, &PERDecoder::decodeBitString>,
      &step<OCTET_STRING, &PERDecoder::decodeOctetString>,
      &step<AbstractString, &PERDecoder::decodeCharacterString>,
      &step<BMPString, &PERDecoder::decodeBMPString>,
      &step<GeneralizedTime, &PERDecoder::decodeGeneralizedTime>,
      &step<CHOICE, &PERDecoder::decodeChoice>,
      &step<SEQUENCE, &PERDecoder::decodeSequence>,
      &step<SEQUENCE_OF_Base, &PERDecoder::decodeSequenceOf>,
      &step<OpenData, &PERDecoder::decodeOpenData>,
      &step<TypeConstrainedOpenData, &PERDecoder::decodeTypeConstrainedOpenData>,
  };
  static_assert(sizeof steps / sizeof steps[0] == valueKindCount, "one decoder per kind");
  return steps[static_cast<unsigned>(value.kind())](*this, value);
}

inline bool PERDecoder::decodeNull(BitReader::Cursor&, Null&) { return true; }

inline bool PERDecoder::decodeBoolean(BitReader::Cursor& c, BOOLEAN& value) {
  bool bit = false;
  if (!reader_.getBit(c, bit)) return false;
  value.setValue(bit);
  return true;
}

inline bool PERDecoder::decodeInteger(BitReader::Cursor& c, INTEGER& value) {
  const INTEGER::InfoType* rec = value.info();
  if (!isUnconstrained(rec->type)) {
    bool extended = false;
    if (rec->type == ExtendableConstraint && !reader_.getBit(c, extended)) return false;
    if (!extended) {
      unsigned lower = static_cast<unsigned>(rec->lowerLimit);
      unsigned offset = 0;
      if (!decodeWholeNumber(c, rec->upperLimit - lower, offset)) return false;
      value.setValue(offset + lower);
      return true;
    }
  }
  int v = 0;
  if (!decodeUnconstrainedInteger(c, v)) return false;
  value.setValue(v);
  return true;
}

// Length octet and up to four content octets, two's complement, read as
// one word; the other forms from the reader.
inline bool PERDecoder::decodeUnconstrainedInteger(BitReader::Cursor& c, int& value) {
  BitReader::Cursor at = c;
  BitReader::align(at);
  std::uint64_t word = reader_.peekWord(at.at);
  unsigned octets = static_cast<unsigned>(word >> 56);
  if (octets - 1 < 4 && reader_.skipOctets(at, 1 + octets)) {
    value = static_cast<int>(static_cast<std::int64_t>(word << 8) >> (64 - 8 * octets));
    c = at;
    return true;
  }
  reader_.setCursor(c);
  bool decoded = decodeLongUnconstrainedInteger(value);
  c = reader_.cursor();
  return decoded;
}

bool PERDecoder::decodeLongUnconstrainedInteger(int& value) {
  // The two-octet length form, and no content octets (read as 0).
  unsigned octets = 0;
  unsigned v = 0;
  const char* content = nullptr;
  if (!decodeUnconstrainedLength(octets) || octets > 4 || !(content = reader_.takeOctets(octets))) return false;
  for (unsigned i = 0; i < octets; ++i) v = v << 8 | static_cast<unsigned char>(content[i]);
  if (octets > 0) {  // sign extension from the top bit read
    unsigned unused = 32 - 8 * octets;
    v = static_cast<unsigned>(static_cast<int>(v << unused) >> unused);
  }
  value = static_cast<int>(v);
  return true;
}

inline bool PERDecoder::decodeEnumerated(BitReader::Cursor& c, ENUMERATED& value) {
  const ENUMERATED::InfoType* rec = value.info();
  unsigned v = 0;
  bool extension = false;
  if (rec->extendable && !reader_.getBit(c, extension)) return false;
  if (extension) {
    reader_.setCursor(c);
    bool decoded = decodeEnumeratedAddition(value);
    c = reader_.cursor();
    return decoded;
  }
  if (!decodeWholeNumber(c, rec->maxEnumValue, v)) return false;
  value.setValue(static_cast<int>(v));
  return true;
}

// An addition's value; input that does not give one is read as a root value.
bool PERDecoder::decodeEnumeratedAddition(ENUMERATED& value) {
  unsigned count = 0;
  unsigned v = 0;
  if (!(decodeSmallUnsigned(count) && count > 0 && decodeWholeNumber(count - 1, v)) &&
      !decodeWholeNumber(value.getMaximum(), v))
    return false;
  value.setValue(static_cast<int>(v));
  return true;
}

bool PERDecoder::decodeObjectIdentifier(OBJECT_IDENTIFIER& value) {
  unsigned count = 0;
  if (decodeLength(0, 255, count) != 0) return false;
  const char* content = reader_.takeOctets(count);
  return content && value.decodeCommon(content, count);
}

bool PERDecoder::decodeBitString(BIT_STRING& value) {
  unsigned bits = 0;
  if (decodeConstrainedLength(value, bits) != 0 || bits > MaximumStringSize) return false;
  if (aligned_ && bits > 16) {
    reader_.align();
    if (bits > reader_.bitsRemaining()) return false;
    value.resize(bits);
    return reader_.getOctets(value.bytes().data(), (bits + 7) / 8);
  }
  if (bits > reader_.bitsRemaining()) return false;
  value.resize(bits);
  return decodeBitMap(value.bytes().data(), bits);
}

bool PERDecoder::decodeOctetString(OCTET_STRING& value) {
  unsigned count = 0;
  if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize) return false;
  if (count == 1 || count == 2) {
    unsigned v = 0;
    if (!decodeMultiBit(8 * count, v)) return false;
    value.resize(count);
    if (count == 2) value[0] = static_cast<char>(v >> 8);
    value[count - 1] = static_cast<char>(v);
    return true;
  }
  const char* octets = reader_.takeOctets(count);
  if (!octets) return false;
  value.assign(octets, octets + count);
  return true;
}

bool PERDecoder::decodeCharacterString(AbstractString& value) {
  const AbstractString::InfoType* rec = value.info();
  unsigned count = 0;
  if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize) return false;
  StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
  bool ownCode = usesOwnCode(rec, layout.bits);
  if (layout.block && ownCode) {
    const char* text = reader_.takeOctets(count);
    if (!text) return false;
    value.assign(text, count);
    return true;
  }
  if (layout.alignFirst) reader_.align();
  if (static_cast<std::uint64_t>(count) * layout.bits > reader_.bitsRemaining()) return false;
  // An empty string is made at its size (growing it would clear it first).
  CharacterVector& chars = value;
  if (chars.empty())
    chars = CharacterVector(count, '\0');
  else
    chars.resize(count);
  char* text = &value[0];
  if (ownCode && layout.bits == 7) return reader_.getFields<7>(text, count);
  if (ownCode && layout.bits == 8) return reader_.getFields<8>(text, count);
  for (unsigned i = 0; i < count; ++i) {
    unsigned code = 0;
    decodeMultiBit(layout.bits, code);
    if (!ownCode) {
      if (code >= rec->characterSetSize) return false;
      code = static_cast<unsigned char>(rec->characterSet[code]);
    }
    text[i] = static_cast<char>(code);
  }
  return true;
}

bool PERDecoder::decodeBMPString(BMPString& value) {
  const BMPString::InfoType* rec = value.info();
  unsigned count = 0;
  if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize) return false;
  StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
  if (layout.alignFirst || layout.block) reader_.align();
  if (static_cast<std::uint64_t>(count) * layout.bits > reader_.bitsRemaining()) return false;
  value.resize(count);
  for (unsigned i = 0; i < count; ++i) {
    unsigned code = 0;
    decodeMultiBit(layout.bits, code);
    value[i] = static_cast<wchar_t>(code + rec->firstChar);
  }
  return true;
}

const char* PERDecoder::takeCountedOctets(unsigned& count) {
  if (!decodeUnconstrainedLength(count) || count > MaximumStringSize) return nullptr;
  return reader_.takeOctets(count);
}

bool PERDecoder::decodeGeneralizedTime(GeneralizedTime& value) {
  unsigned count = 0;
  const char* text = takeCountedOctets(count);
  if (!text) return false;
  value.set(std::string(text, count));
  return true;
}

// The kinds that nest, called straight; the rest through the table.
inline bool PERDecoder::decodeNested(AbstractData& value) {
  switch (value.kind()) {
    case ValueKind::Sequence: return decodeSequence(static_cast<SEQUENCE&>(value));
    case ValueKind::Choice: return decodeChoice(static_cast<CHOICE&>(value));
    default: return decode(value);
  }
}

// A field: the plain kinds read on the caller's cursor (no call), the rest
// as a nested value.
[[gnu::always_inline]] inline bool PERDecoder::decodeField(BitReader::Cursor& c, AbstractData& value) {
  switch (value.kind()) {
    case ValueKind::Null: return decodeNull(c, static_cast<Null&>(value));
    case ValueKind::Boolean: return decodeBoolean(c, static_cast<BOOLEAN&>(value));
    case ValueKind::Integer: return decodeInteger(c, static_cast<INTEGER&>(value));
    case ValueKind::Enumerated: return decodeEnumerated(c, static_cast<ENUMERATED&>(value));
    default: break;
  }
  reader_.setCursor(c);
  bool decoded = decodeNested(value);
  c = reader_.cursor();
  return decoded;
}

bool PERDecoder::decodeChoice(CHOICE& value) {
  // A root alternative of a narrow index range: the extension bit and the
  // index read in place, in one read.
  const CHOICE::InfoType* rec = value.info();
  BitReader::Cursor c = reader_.cursor();
  const unsigned indexBits = bitsFor(rec->numChoices - 1);
  unsigned index = 0;
  if (!(aligned_ && rec->numChoices > 255) && !reader_.atEnd() &&
      reader_.getBits(c, indexBits + rec->extendable, index) && !(index >> indexBits) && index < rec->numChoices) {
    reader_.setCursor(c);
    if (value.getSelectionId() != static_cast<int>(index) || !value.getSelection())
      if (!value.setID(static_cast<int>(index))) return false;
    return decodeNested(*value.getSelection());
  }
  memento_type end = nullptr;
  if (!decodeChoicePreamle(value, end)) return false;
  if (!end) return decode(*value.getSelection());
  // An extension alternative: decoded (aligned) within its own length.
  return decodeWithin(*value.getSelection(), end);
}

bool PERDecoder::decodeSequence(SEQUENCE& value) {
  const SEQUENCE::InfoType* rec = value.info();
  // A value reused for another decode keeps none of the earlier additions.
  if (value.extensionMap().size()) value.extensionMap().clear();
  bool extension = false;
  if (rec->extendable && (reader_.atEnd() || !reader_.getBit(extension))) return false;
  SEQUENCE::BitMap& optional = value.optionalMap();
  char* present = optional.data();
  const unsigned optionals = optional.size();
  BitReader::Cursor c = reader_.cursor();
  // Up to 32 presence bits in one read, tested where they were read.
  std::uint32_t bits = 0;
  if (optionals <= 32) {
    if (!reader_.getBits(c, optionals, bits)) return false;
    for (unsigned k = 0; 8 * k < optionals; ++k)
      present[k] = static_cast<char>(bits << (32 - optionals) >> (24 - 8 * k));
  } else {
    if (!decodeBitMap(present, optionals)) return false;
    c = reader_.cursor();
  }
  // Optional ids run in field order: each optional field takes the next
  // presence bit, from the top of `next`.
  const int* ids = rec->fieldIds;
  const unsigned count = rec->numFields;
  std::uint64_t next = optionals && optionals <= 32 ? std::uint64_t{bits} << (64 - optionals) : 0;
  AbstractData* const* fields = value.fieldPointers();
  for (unsigned i = 0; i < count; ++i) {
    int id = ids[i];
    if (id >= 0) {
      bool on = optionals <= 32 ? next >> 63 : optional[static_cast<unsigned>(id)];
      next <<= 1;
      if (!on) continue;
    }
    AbstractData* field = fields[i];
    if (!field) {
      if (!value.takeKeptMember(i) && !value.createField(i)) return false;
      field = fields[i];
    }
    if (!decodeField(c, *field)) return false;
  }
  reader_.setCursor(c);
  return !extension || decodeExtensionAdditions(value);
}

bool PERDecoder::decodeExtensionAdditions(SEQUENCE& value) {
  const SEQUENCE::InfoType* rec = value.info();
  unsigned count = 0;
  if (!decodeSmallUnsigned(count) || ++count > MaximumArraySize) return false;
  SEQUENCE::BitMap& additions = value.extensionMap();
  additions.resize(count);
  if (!decodeBitMap(additions.data(), count)) return false;
  for (unsigned k = 0; k < count; ++k) {
    if (!additions[k]) continue;
    const char* end = nullptr;
    if (!openTypeBounds(end)) return false;
    // Additions this build does not know, or has no record for, are skipped.
    unsigned index = rec->numFields + k;
    if (k < rec->knownExtensions && value.createField(index)) {
      if (!decodeWithin(*value.getField(index), end)) return false;
    } else {
      reader_.setPosition(end);
    }
  }
  return true;
}

bool PERDecoder::decodeSequenceOf(SEQUENCE_OF_Base& value) {
  unsigned count = 0;
  if (decodeConstrainedLength(value, count) != 0 || count > MaximumArraySize) return false;
  // Elements held are reused; new ones are made one at a time as the input
  // reaches them (room for their pointers taken once), so a count the
  // input does not back costs no element.
  if (value.size() > count) value.resize(count);
  value.reserve(count);
  const AbstractData::InfoType* element = value.info()->elementInfo;
  for (unsigned i = 0; i < count; ++i) {
    if (i == value.size()) value.append(element->create(element));
    if (!decode(*value.elementAt(i))) {
      value.erase(value.baseBegin() + i, value.baseEnd());
      return false;
    }
  }
  return true;
}

bool PERDecoder::decodeOpenData(OpenData& value) {
  unsigned count = 0;
  const char* octets = takeCountedOctets(count);
  if (!octets) return false;
  value.make_buf().assign(octets, octets + count);
  return true;
}

bool PERDecoder::revisit(OpenData& value) {
  if (!value.has_data() || !value.has_buf()) return false;
  const std::vector<char>& buf = value.get_buf();
  PERDecoder inner(buf.data(), buf.data() + buf.size(), env_, true);
  return inner.decode(value.get_data());
}

bool PERDecoder::decodeTypeConstrainedOpenData(TypeConstrainedOpenData& value) {
  const char* end = nullptr;
  if (!value.has_data() || !openTypeBounds(end)) return false;
  return decodeWithin(value.get_data(), end);
}

}  // namespace ASN1
