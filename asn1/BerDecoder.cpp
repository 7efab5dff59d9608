#include "asn1/BerDecoder.h"

#include "asn1/BerEncoder.h"

#include <algorithm>

namespace ASN1 {

namespace {

constexpr unsigned maxTagNumber = 0xFFFF;  // the tag word's low half
constexpr unsigned maxLengthOctets = 4;

bool sameTag(unsigned read, int expected) { return read == static_cast<unsigned>(expected); }

int findTag(const CHOICE::InfoType* rec, unsigned tag) {
  const unsigned* first = rec->tags;
  const unsigned* last = rec->tags + rec->totalChoices;
  const unsigned* it = std::lower_bound(first, last, tag);
  return it != last && *it == tag ? static_cast<int>(it - first) : -1;
}

// Selects the alternative that a header's tag names. With a tag table whose
// first entry is 0 (an untagged CHOICE first), a tag it does not list may
// belong to that nested CHOICE.
bool selectByTag(CHOICE& choice, unsigned tag) {
  const CHOICE::InfoType* rec = choice.info();
  if (!rec->tags) {
    if (tag >> 16 != ContextSpecificTagClass || (tag & 0xFFFF) >= rec->totalChoices) return false;
    return choice.setID(static_cast<int>(tag & 0xFFFF));
  }
  int id = findTag(rec, tag);
  if (id >= 0) return choice.setID(id);
  if (rec->totalChoices > 0 && rec->tags[0] == 0 && choice.setID(0))
    if (auto* nested = dynamic_cast<CHOICE*>(choice.getSelection()); nested && selectByTag(*nested, tag)) return true;
  choice.setSelection(CHOICE::unknownSelection_, nullptr);
  return false;
}

}  // namespace

// ---- Headers ---------------------------------------------------------------------------

bool BERDecoder::decodeHeader(unsigned& tag, bool& primitive, unsigned& length) {
  const char* lim = limit();
  const char* p = position_;
  if (p >= lim) return false;
  auto identifier = static_cast<unsigned char>(*p++);
  unsigned number = identifier & 0x1F;
  if (number == 0x1F) {
    number = 0;
    unsigned char group;
    do {
      if (p >= lim) return false;
      group = static_cast<unsigned char>(*p++);
      number = number << 7 | (group & 0x7F);
      if (number > maxTagNumber) return false;
    } while (group & 0x80);
  }
  if (p >= lim) return false;
  auto lead = static_cast<unsigned char>(*p++);
  unsigned count = lead & 0x7F;
  unsigned value = lead;
  if (lead & 0x80) {
    if (count > maxLengthOctets || count > static_cast<std::size_t>(lim - p)) return false;
    for (value = 0; count > 0; --count) value = value << 8 | static_cast<unsigned char>(*p++);
  }
  if (value > static_cast<std::size_t>(lim - p)) return false;
  tag = makeTag(identifier >> 6, number);
  primitive = !(identifier & 0x20);
  length = value;
  position_ = p;
  return true;
}

bool BERDecoder::decodeHeader(AbstractData& value, unsigned& length) {
  const char* start = position_;
  unsigned tag = 0;
  bool primitive = true;
  bool permitted = tagPermit_ > 0;
  tagPermit_ = 0;
  if (!decodeHeader(tag, primitive, length)) return false;
  if (tag == value.getTag() || permitted) return true;
  position_ = start;
  return false;
}

unsigned BERDecoder::decodeBlock(char* out, unsigned count) {
  auto copied = static_cast<unsigned>(std::min<std::size_t>(count, static_cast<std::size_t>(end_ - position_)));
  std::copy(position_, position_ + copied, out);
  position_ += copied;
  return copied;
}

bool BERDecoder::decodeNested(AbstractData& value) {
  std::size_t depth = ends_.size();
  if (value.accept(*this)) return true;
  ends_.resize(depth);
  return false;
}

// ---- Simple types ------------------------------------------------------------------------

bool BERDecoder::do_visit(Null& value) {
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  position_ += length;
  return true;
}

bool BERDecoder::do_visit(BOOLEAN& value) {
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  if (length > 0) value.setValue(position_[length - 1] != 0);
  position_ += length;
  return true;
}

template <class Number>
bool BERDecoder::decodeNumber(Number& value, bool signExtended) {
  unsigned length;
  if (!decodeHeader(value, length) || length == 0) return false;
  // Longer contents keep their last 32 bits.
  unsigned number = signExtended ? static_cast<unsigned>(static_cast<int>(static_cast<signed char>(position_[0]))) : 0;
  for (unsigned i = signExtended ? 1 : 0; i < length; ++i)
    number = number << 8 | static_cast<unsigned char>(position_[i]);
  value.setValue(static_cast<int>(number));
  position_ += length;
  return true;
}

bool BERDecoder::do_visit(INTEGER& value) { return decodeNumber(value, true); }
bool BERDecoder::do_visit(ENUMERATED& value) { return decodeNumber(value, false); }

bool BERDecoder::do_visit(OBJECT_IDENTIFIER& value) {
  unsigned length;
  if (!decodeHeader(value, length) || !value.decodeCommon(position_, length)) return false;
  position_ += length;
  return true;
}

bool BERDecoder::do_visit(BIT_STRING& value) {
  unsigned length;
  if (!decodeHeader(value, length) || length == 0) return false;
  auto unused = static_cast<unsigned char>(position_[0]);
  // With no bit octets the initial octet must say 0 unused bits.
  if (unused > 7 || (length == 1 && unused != 0)) return false;
  value.assign(std::vector<char>(position_ + 1, position_ + length), 8 * (length - 1) - unused);
  position_ += length;
  return true;
}

bool BERDecoder::do_visit(OCTET_STRING& value) {
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  value.resize(length);
  return decodeBlock(value.data(), length) == length;
}

bool BERDecoder::do_visit(AbstractString& value) {
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  value.resize(length);
  return decodeBlock(&value[0], length) == length;
}

bool BERDecoder::do_visit(BMPString& value) {
  unsigned length;
  // Two octets per character: an odd count is malformed.
  if (!decodeHeader(value, length) || length % 2 != 0) return false;
  value.resize(length / 2);
  for (unsigned i = 0; i < length / 2; ++i)
    value[i] = static_cast<wchar_t>(static_cast<unsigned char>(position_[2 * i]) << 8 |
                                    static_cast<unsigned char>(position_[2 * i + 1]));
  position_ += length;
  return true;
}

bool BERDecoder::do_visit(GeneralizedTime& value) {
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  value.set(std::string(position_, length));
  position_ += length;
  return true;
}

// ---- CHOICE and SEQUENCE OF ------------------------------------------------------------------

bool BERDecoder::decodeChoicePreamle(CHOICE& choice, const char*& choiceEnd) {
  const char* start = position_;
  std::size_t depth = ends_.size();
  if (tagPermit_ > 0 || choice.getTag() != 0) {
    unsigned wrapper;
    if (!decodeHeader(choice, wrapper)) return false;
    ends_.push_back(position_ + wrapper);
  }
  const char* alternative = position_;
  unsigned tag = 0;
  unsigned length = 0;
  bool primitive = true;
  bool read = decodeHeader(tag, primitive, length);
  ends_.resize(depth);
  if (!read || !selectByTag(choice, tag)) {
    position_ = start;
    return false;
  }
  choiceEnd = position_ + length;
  position_ = alternative;
  return true;
}

bool BERDecoder::do_visit(CHOICE& value) {
  const char* choiceEnd = nullptr;
  if (!decodeChoicePreamle(value, choiceEnd)) return false;
  tagPermit_ = Ber::alternativeTag(value.info(), static_cast<unsigned>(value.getSelectionId())) != 0 ? 1 : 0;
  if (!decodeNested(*value.getSelection())) return false;
  position_ = choiceEnd;
  return true;
}

bool BERDecoder::do_visit(SEQUENCE_OF_Base& value) {
  unsigned length;
  const AbstractData::InfoType* element = value.info()->elementInfo;
  if (!element || !decodeHeader(value, length)) return false;
  const char* contentEnd = position_ + length;
  value.clear();
  ends_.push_back(contentEnd);
  while (position_ < contentEnd) {
    value.append(element->create(element));
    const char* before = position_;
    tagPermit_ = 0;
    if (!decodeNested(*value.elementAt(value.size() - 1)) || position_ <= before) {
      value.erase(value.baseEnd() - 1);
      ends_.pop_back();
      return false;
    }
  }
  ends_.pop_back();
  position_ = contentEnd;
  return true;
}

// ---- Open types ----------------------------------------------------------------------------

bool BERDecoder::do_visit(OpenData& value) {
  const char* start = position_;
  unsigned length = 0;
  const char* content = nullptr;
  if (wrapped(value)) {
    if (!decodeHeader(value, length)) return false;
    content = position_;
  } else {
    // No header of its own: keep the contained value's whole element.
    unsigned tag = 0;
    bool primitive = true;
    if (!decodeHeader(tag, primitive, length)) return false;
    length += static_cast<unsigned>(position_ - start);
    content = start;
  }
  value.make_buf().assign(content, content + length);
  position_ = content + length;
  return true;
}

bool BERDecoder::do_revisit(OpenData& value) {
  if (!value.has_buf() || !value.has_data()) return false;
  const std::vector<char>& octets = value.get_buf();
  BERDecoder contained(octets.data(), octets.data() + octets.size(), env_);
  return value.get_data().accept(contained);
}

bool BERDecoder::do_visit(TypeConstrainedOpenData& value) {
  if (!value.has_data()) return false;
  if (!wrapped(value)) return decodeNested(value.get_data());
  unsigned length;
  if (!decodeHeader(value, length)) return false;
  const char* contentEnd = position_ + length;
  ends_.push_back(contentEnd);
  if (!decodeNested(value.get_data())) {
    ends_.pop_back();
    return false;
  }
  ends_.pop_back();
  position_ = contentEnd;
  return true;
}

// ---- SEQUENCE ---------------------------------------------------------------------------------

Visitor::VISIT_SEQ_RESULT BERDecoder::preVisitExtensionRoots(SEQUENCE& seq) {
  unsigned length;
  if (!decodeHeader(seq, length)) return FAIL;
  // Presence comes from this input alone.
  for (unsigned id = 0; id < seq.info()->numOptionals; ++id) seq.removeOptionalField(id);
  seq.extensionMap().clear();
  ends_.push_back(position_ + length);
  return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT BERDecoder::decodeField(SEQUENCE& seq, int index, int optionalId) {
  const bool optional = optionalId >= 0;
  const VISIT_SEQ_RESULT absent = optional ? CONTINUE : FAIL;
  if (position_ >= limit()) return absent;
  const char* start = position_;
  unsigned tag = 0;
  unsigned length = 0;
  bool primitive = true;
  if (!decodeHeader(tag, primitive, length)) return FAIL;
  const char* elementEnd = position_ + length;
  position_ = start;
  const auto i = static_cast<unsigned>(index);
  const int expected = Ber::fieldTag(seq.info(), i);
  if (expected != 0 && !sameTag(tag, expected)) return absent;
  if (optional) seq.includeOptionalField(static_cast<unsigned>(optionalId), i);
  if (!seq.createField(i)) {
    // A field this build has no record for: skip its element.
    if (!optional) return FAIL;
    seq.removeOptionalField(static_cast<unsigned>(optionalId));
    position_ = elementEnd;
    return CONTINUE;
  }
  tagPermit_ = seq.info()->tags == &SEQUENCE::defaultTag ? 0 : 1;
  if (decodeNested(*seq.getField(i))) return CONTINUE;
  tagPermit_ = 0;
  if (!optional) return FAIL;
  seq.removeOptionalField(static_cast<unsigned>(optionalId));
  if (expected != 0) return FAIL;
  position_ = start;
  return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT BERDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) {
  return decodeField(seq, index, optionalId);
}

Visitor::VISIT_SEQ_RESULT BERDecoder::visitKnownExtension(SEQUENCE& seq, int index, int optionalId) {
  return decodeField(seq, index, optionalId);
}

Visitor::VISIT_SEQ_RESULT BERDecoder::visitUnknownExtensions(SEQUENCE&) {
  // Unknown extension additions (and anything else left) are skipped.
  position_ = ends_.back();
  ends_.pop_back();
  return STOP;
}

}  // namespace ASN1
