#include "asn1/BerEncoder.h"

#include "asn1/Checker.h"

namespace ASN1 {

namespace Ber {

int fieldTag(const SEQUENCE::InfoType* rec, unsigned index) {
  if (!rec->tags) return static_cast<int>(makeTag(ContextSpecificTagClass, index));
  if (rec->tags == &SEQUENCE::defaultTag)
    return rec->fieldInfos[index] ? static_cast<int>(rec->fieldInfos[index]->tag) : noHeader;
  return static_cast<int>(rec->tags[index]);
}

int alternativeTag(const CHOICE::InfoType* rec, unsigned id) {
  return static_cast<int>(rec->tags ? rec->tags[id] : makeTag(ContextSpecificTagClass, id));
}

}  // namespace Ber

namespace {

// Base-128 groups of a tag number from 31 upwards.
unsigned tagNumberOctets(unsigned number) {
  unsigned groups = 1;
  while (number >>= 7) ++groups;
  return groups;
}

// Octets of a long-form length after its first octet; 0 in short form.
unsigned longLengthOctets(unsigned contentLength) {
  unsigned octets = 0;
  if (contentLength >= 128)
    for (unsigned rest = contentLength; rest; rest >>= 8) ++octets;
  return octets;
}

unsigned headerOctets(unsigned tag, unsigned contentLength) {
  unsigned number = tag & 0xFFFF;
  unsigned identifier = number < 31 ? 1 : 1 + tagNumberOctets(number);
  return identifier + 1 + longLengthOctets(contentLength);
}

}  // namespace

unsigned getIntegerDataLength(int value) {
  unsigned octets = 1;
  for (long long limit = 128; octets < 4 && (value < -limit || value >= limit); limit <<= 8) ++octets;
  return octets;
}

unsigned getDataLength(const AbstractData& value) {
  DataLengthCounter counter;
  value.accept(counter);
  return counter.length();
}

unsigned getObjectLength(const AbstractData& value, int tag) {
  unsigned content = getDataLength(value);
  int resolved = Ber::resolveTag(tag, value);
  if (resolved == Ber::noHeader) return content;
  return headerOctets(static_cast<unsigned>(resolved), content) + content;
}

// ---- Encoder ---------------------------------------------------------------------------

void BEREncoder::encodeHeader(const AbstractData& value) { writeHeader(value, !PrimitiveChecker::isPrimitive(value)); }

void BEREncoder::writeHeader(const AbstractData& value, bool constructed) {
  int resolved = Ber::resolveTag(pendingTag_, value);
  if (resolved == Ber::noHeader) return;
  auto tag = static_cast<unsigned>(resolved);
  unsigned number = tag & 0xFFFF;
  auto first = static_cast<unsigned char>((tag >> 16 & 3) << 6 | (constructed ? 0x20 : 0));
  if (number < 31) {
    out_.push_back(static_cast<char>(first | number));
  } else {
    out_.push_back(static_cast<char>(first | 0x1F));
    for (unsigned group = tagNumberOctets(number); group-- > 0;)
      out_.push_back(static_cast<char>((number >> (7 * group) & 0x7F) | (group ? 0x80 : 0)));
  }
  unsigned length = getDataLength(value);
  if (length < 128) {
    out_.push_back(static_cast<char>(length));
    return;
  }
  unsigned octets = longLengthOctets(length);
  out_.push_back(static_cast<char>(0x80 | octets));
  while (octets-- > 0) out_.push_back(static_cast<char>(length >> (8 * octets)));
}

void BEREncoder::writeInteger(int value) {
  for (unsigned octet = getIntegerDataLength(value); octet-- > 0;)
    out_.push_back(static_cast<char>(static_cast<unsigned>(value) >> (8 * octet)));
}

bool BEREncoder::do_visit(const Null& value) {
  encodeHeader(value);
  return true;
}

bool BEREncoder::do_visit(const BOOLEAN& value) {
  encodeHeader(value);
  out_.push_back(static_cast<char>(value.getValue() ? 0xFF : 0x00));
  return true;
}

bool BEREncoder::do_visit(const INTEGER& value) {
  encodeHeader(value);
  writeInteger(value.getValue());
  return true;
}

bool BEREncoder::do_visit(const IntegerWithNamedNumber& value) { return do_visit(static_cast<const INTEGER&>(value)); }

bool BEREncoder::do_visit(const ENUMERATED& value) {
  encodeHeader(value);
  writeInteger(value.getValue());
  return true;
}

bool BEREncoder::do_visit(const OBJECT_IDENTIFIER& value) {
  encodeHeader(value);
  std::vector<char> content;
  value.encodeCommon(content);
  out_.insert(out_.end(), content.begin(), content.end());
  return true;
}

bool BEREncoder::do_visit(const BIT_STRING& value) {
  encodeHeader(value);
  unsigned bits = value.size();
  out_.push_back(static_cast<char>((8 - bits % 8) % 8));
  const std::vector<char>& bytes = value.bytes();
  for (unsigned i = 0; i < (bits + 7) / 8; ++i) out_.push_back(i < bytes.size() ? bytes[i] : 0);
  return true;
}

bool BEREncoder::do_visit(const OCTET_STRING& value) {
  encodeHeader(value);
  out_.insert(out_.end(), value.begin(), value.end());
  return true;
}

bool BEREncoder::do_visit(const AbstractString& value) {
  encodeHeader(value);
  out_.insert(out_.end(), value.begin(), value.end());
  return true;
}

bool BEREncoder::do_visit(const BMPString& value) {
  encodeHeader(value);
  for (wchar_t c : value) {
    out_.push_back(static_cast<char>(static_cast<unsigned>(c) >> 8));
    out_.push_back(static_cast<char>(c));
  }
  return true;
}

bool BEREncoder::do_visit(const GeneralizedTime& value) {
  encodeHeader(value);
  std::string text = value.get();
  out_.insert(out_.end(), text.begin(), text.end());
  return true;
}

bool BEREncoder::do_visit(const CHOICE& value) {
  const AbstractData* alternative = knownAlternative(value);
  if (!alternative) return false;
  // A tagged CHOICE wraps its alternative's whole element: always constructed.
  writeHeader(value, true);
  pendingTag_ = Ber::alternativeTag(value.info(), static_cast<unsigned>(value.currentSelection()));
  return alternative->accept(*this);
}

bool BEREncoder::do_visit(const OpenData& value) {
  if (!value.has_data() && !value.has_buf()) return false;
  // The contents are a whole element (or octets that hold one): constructed.
  writeHeader(value, true);
  pendingTag_ = Ber::ownTag;
  if (value.has_data()) return value.get_data().accept(*this);
  out_.insert(out_.end(), value.get_buf().begin(), value.get_buf().end());
  return true;
}

bool BEREncoder::do_visit(const SEQUENCE_OF_Base& value) {
  encodeHeader(value);
  for (auto it = value.baseBegin(); it != value.baseEnd(); ++it) {
    pendingTag_ = Ber::ownTag;
    if (!*it || !(*it)->accept(*this)) return false;
  }
  return true;
}

bool BEREncoder::preVisitExtensionRoots(const SEQUENCE& seq) {
  encodeHeader(seq);
  return true;
}

bool BEREncoder::encodeField(const SEQUENCE& seq, int index) {
  const AbstractData* field = seq.getField(static_cast<unsigned>(index));
  if (!field) return false;
  pendingTag_ = Ber::fieldTag(seq.info(), static_cast<unsigned>(index));
  return field->accept(*this);
}

bool BEREncoder::visitExtensionRoot(const SEQUENCE& seq, int index) { return encodeField(seq, index); }
bool BEREncoder::visitKnownExtension(const SEQUENCE& seq, int index) { return encodeField(seq, index); }

// ---- Content lengths ---------------------------------------------------------------------

bool DataLengthCounter::do_visit(const Null&) { return true; }

bool DataLengthCounter::do_visit(const BOOLEAN&) {
  length_ += 1;
  return true;
}

bool DataLengthCounter::do_visit(const INTEGER& value) {
  length_ += getIntegerDataLength(value.getValue());
  return true;
}

bool DataLengthCounter::do_visit(const IntegerWithNamedNumber& value) {
  return do_visit(static_cast<const INTEGER&>(value));
}

bool DataLengthCounter::do_visit(const ENUMERATED& value) {
  length_ += getIntegerDataLength(value.getValue());
  return true;
}

bool DataLengthCounter::do_visit(const OBJECT_IDENTIFIER& value) {
  std::vector<char> octets;
  value.encodeCommon(octets);
  length_ += static_cast<unsigned>(octets.size());
  return true;
}

bool DataLengthCounter::do_visit(const BIT_STRING& value) {
  length_ += 1 + (value.size() + 7) / 8;
  return true;
}

bool DataLengthCounter::do_visit(const OCTET_STRING& value) {
  length_ += static_cast<unsigned>(value.size());
  return true;
}

bool DataLengthCounter::do_visit(const AbstractString& value) {
  length_ += static_cast<unsigned>(value.size());
  return true;
}

bool DataLengthCounter::do_visit(const BMPString& value) {
  length_ += 2 * static_cast<unsigned>(value.size());
  return true;
}

bool DataLengthCounter::do_visit(const GeneralizedTime& value) {
  length_ += static_cast<unsigned>(value.get().size());
  return true;
}

bool DataLengthCounter::do_visit(const CHOICE& value) {
  if (const AbstractData* alternative = knownAlternative(value))
    length_ += getObjectLength(*alternative,
                               Ber::alternativeTag(value.info(), static_cast<unsigned>(value.currentSelection())));
  return true;
}

bool DataLengthCounter::do_visit(const OpenData& value) {
  if (value.has_data())
    length_ += getObjectLength(value.get_data(), Ber::ownTag);
  else if (value.has_buf())
    length_ += static_cast<unsigned>(value.get_buf().size());
  return true;
}

bool DataLengthCounter::do_visit(const SEQUENCE_OF_Base& value) {
  for (auto it = value.baseBegin(); it != value.baseEnd(); ++it)
    if (*it) length_ += getObjectLength(**it, Ber::ownTag);
  return true;
}

bool DataLengthCounter::preVisitExtensionRoots(const SEQUENCE&) { return true; }

bool DataLengthCounter::countField(const SEQUENCE& seq, int index) {
  if (const AbstractData* field = seq.getField(static_cast<unsigned>(index)))
    length_ += getObjectLength(*field, Ber::fieldTag(seq.info(), static_cast<unsigned>(index)));
  return true;
}

bool DataLengthCounter::visitExtensionRoot(const SEQUENCE& seq, int index) { return countField(seq, index); }
bool DataLengthCounter::visitKnownExtension(const SEQUENCE& seq, int index) { return countField(seq, index); }

}  // namespace ASN1
