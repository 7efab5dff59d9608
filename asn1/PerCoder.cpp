#include "asn1/PerCoder.h"

#include <algorithm>

namespace ASN1 {

namespace {

constexpr unsigned unconstrainedUpper = 0x7FFFFFFF;
constexpr unsigned maxLength = 16383; // no fragmentation

bool isUnconstrained(ConstraintType type) { return type == Unconstrained || type == PartiallyConstrained; }

// Is `value` inside lower..upper, signed when the lower bound is negative?
bool inRange(const ConstrainedObject& object, unsigned value)
{
    int lower = object.getLowerLimit();
    unsigned upper = object.getUpperLimit();
    if (lower < 0)
        return static_cast<int>(value) >= lower && static_cast<int>(value) <= static_cast<int>(upper);
    return value >= static_cast<unsigned>(lower) && value <= upper;
}

// Highest set bit among the known extension additions, or -1.
int lastKnownExtension(const SEQUENCE& seq)
{
    unsigned known = std::min(seq.extensionMap().size(), seq.info()->knownExtensions);
    for (unsigned i = known; i-- > 0;)
        if (seq.extensionMap()[i])
            return static_cast<int>(i);
    return -1;
}

// Bits per character of a string and whether the characters start aligned.
struct StringLayout {
    unsigned bits;
    bool block; // 8-bit characters as one aligned block
    bool alignFirst;
};

StringLayout stringLayout(const ConstrainedObject& object, unsigned alignedBits, unsigned unalignedBits, bool aligned,
                          unsigned alignAbove)
{
    unsigned b = aligned ? alignedBits : unalignedBits;
    bool wide = isUnconstrained(object.getConstraintType()) ||
                static_cast<std::uint64_t>(object.getUpperLimit()) * b > alignAbove;
    return {b, wide && b == 8, wide && aligned};
}

bool usesOwnCode(const AbstractString::InfoType* rec, unsigned bits)
{
    return rec->charCodeBits > 4 && rec->charCodeBits <= bits;
}

// Position of c in the record's character set, or -1.
int charIndex(const AbstractString::InfoType* rec, unsigned char c)
{
    const auto* set = reinterpret_cast<const unsigned char*>(rec->characterSet);
    unsigned offset = static_cast<unsigned>(c - set[0]);
    if (offset < rec->characterSetSize && set[offset] == c) // contiguous sets
        return static_cast<int>(offset);
    for (unsigned i = 0; i < rec->characterSetSize; ++i)
        if (set[i] == c)
            return static_cast<int>(i);
    return -1;
}

bool encodeValue(const AbstractData& value, std::vector<char>& out, bool aligned)
{
    PEREncoder encoder(out, aligned);
    return value.accept(encoder);
}

bool decodeValue(const char* first, const char* last, AbstractData& value, CoderEnv* env, bool aligned)
{
    PERDecoder decoder(first, last, env, aligned);
    return value.accept(decoder);
}

} // namespace

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

void PEREncoder::encodeBitMap(const char* bytes, unsigned bits)
{
    unsigned whole = bits / 8;
    for (unsigned i = 0; i < whole; ++i)
        writer_.putBits(static_cast<unsigned char>(bytes[i]), 8);
    if (unsigned rest = bits % 8)
        writer_.putBits(static_cast<unsigned char>(bytes[whole]) >> (8 - rest), rest);
}

void PEREncoder::encodeByte(unsigned value)
{
    writer_.align();
    writer_.putBits(value & 0xFF, 8);
}

void PEREncoder::encodeBlock(const char* octets, unsigned count)
{
    if (count > 0)
        writer_.putOctets(octets, count);
}

void PEREncoder::encodeSmallUnsigned(unsigned value)
{
    if (value <= 63) {
        writer_.putBit(false);
        writer_.putBits(value, 6);
        return;
    }
    writer_.putBit(true);
    unsigned octets = value < 0x100 ? 1 : value < 0x10000 ? 2 : value <= 0xFFFFFF ? 3 : 4;
    encodeLength(octets, 0, unconstrainedUpper);
    writer_.align();
    writer_.putBits(value, 8 * octets);
}

bool PEREncoder::encodeLength(unsigned length, unsigned lower, unsigned upper)
{
    if (length < lower || length > upper)
        return false;
    if (!aligned_ && upper != unconstrainedUpper) {
        writer_.putBits(length - lower, CountBits(upper - lower + 1));
        return true;
    }
    if (upper > 65535) {
        writer_.align();
        if (length < 128)
            writer_.putBits(length, 8);
        else if (length <= maxLength)
            writer_.putBits(0x8000 | length, 16);
        else
            return false;
        return true;
    }
    return encodeUnsigned(length, lower, upper);
}

bool PEREncoder::encodeUnsigned(unsigned value, unsigned lower, unsigned upper)
{
    if (value < lower || value > upper)
        return false;
    if (lower == upper)
        return true;
    unsigned range = upper - lower;
    unsigned offset = value - lower;
    unsigned bits = CountBits(range + 1);
    if (aligned_ && range > 254) {
        if (bits >= 17) {
            unsigned octets = offset == 0 ? 1 : (CountBits(offset + 1) + 7) / 8;
            encodeLength(octets, 1, (bits + 7) / 8);
            bits = 8 * octets;
        } else if (bits > 8) {
            bits = 16;
        }
        writer_.align();
    }
    writer_.putBits(offset, bits);
    return true;
}

bool PEREncoder::encodeConstraint(const ConstrainedObject& object, unsigned value)
{
    switch (object.getConstraintType()) {
    case ExtendableConstraint: {
        bool outside = !inRange(object, value);
        writer_.putBit(outside);
        return outside;
    }
    case FixedConstraint:
        return false;
    default:
        return true;
    }
}

bool PEREncoder::encodeConstrainedLength(const ConstrainedObject& object, unsigned length)
{
    if (encodeConstraint(object, length))
        return encodeLength(length, 0, unconstrainedUpper);
    return encodeLength(length, static_cast<unsigned>(object.getLowerLimit()), object.getUpperLimit());
}

bool PEREncoder::encodeAnyType(const AbstractData* value)
{
    // Encoded in place behind a two-octet length slot that shrinks to one
    // octet for short contents: no buffer of its own.
    writer_.align();
    writer_.detach();
    std::size_t slot = out_.size();
    out_.insert(out_.end(), 2, 0);
    bool encoded = true;
    if (value) {
        PEREncoder inner(out_, true);
        encoded = value->accept(inner);
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

bool PEREncoder::encodeUnconstrainedInteger(int value)
{
    unsigned magnitude = static_cast<unsigned>(value);
    unsigned bits = value == 0 ? 1 : value > 0 ? CountBits(magnitude + 1) + 1 : CountBits(0u - magnitude) + 1;
    unsigned octets = (bits + 7) / 8;
    encodeLength(octets, 0, unconstrainedUpper);
    writer_.putBits(magnitude, 8 * octets);
    return true;
}

// ---- Encoder, per type --------------------------------------------------------------

bool PEREncoder::do_visit(const AbstractData&) { return false; }
bool PEREncoder::do_visit(const Null&) { return true; }

bool PEREncoder::do_visit(const BOOLEAN& value)
{
    writer_.putBit(value.getValue());
    return true;
}

bool PEREncoder::do_visit(const INTEGER& value)
{
    unsigned v = value.getUnsignedValue();
    if (encodeConstraint(value, v))
        return encodeUnconstrainedInteger(value.getValue());
    if (!inRange(value, v))
        return false;
    unsigned lower = static_cast<unsigned>(value.getLowerLimit());
    return encodeUnsigned(v - lower, 0, value.getUpperLimit() - lower);
}

bool PEREncoder::do_visit(const ENUMERATED& value)
{
    int v = value.getValue();
    unsigned maximum = value.getMaximum();
    if (value.extendable()) {
        bool extension = v >= 0 && static_cast<unsigned>(v) > maximum;
        writer_.putBit(extension);
        if (extension) {
            encodeSmallUnsigned(static_cast<unsigned>(v) + 1);
            return encodeUnsigned(static_cast<unsigned>(v), 0, static_cast<unsigned>(v));
        }
    }
    return encodeUnsigned(static_cast<unsigned>(v), 0, maximum);
}

bool PEREncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    std::vector<char> content;
    value.encodeCommon(content);
    if (!encodeLength(static_cast<unsigned>(content.size()), 0, 255))
        return false;
    encodeBlock(content.data(), static_cast<unsigned>(content.size()));
    return true;
}

bool PEREncoder::do_visit(const BIT_STRING& value)
{
    unsigned bits = value.size();
    if (!encodeConstrainedLength(value, bits))
        return false;
    if (aligned_ && bits > 16)
        encodeBlock(value.bytes().data(), (bits + 7) / 8);
    else
        encodeBitMap(value.bytes().data(), bits);
    return true;
}

bool PEREncoder::do_visit(const OCTET_STRING& value)
{
    unsigned count = static_cast<unsigned>(value.size());
    if (!encodeConstrainedLength(value, count))
        return false;
    if (count == 1 || count == 2) {
        for (char c : value)
            writer_.putBits(static_cast<unsigned char>(c), 8);
    } else {
        encodeBlock(value.data(), count);
    }
    return true;
}

bool PEREncoder::do_visit(const AbstractString& value)
{
    const AbstractString::InfoType* rec = value.info();
    unsigned count = static_cast<unsigned>(value.size());
    if (!encodeConstrainedLength(value, count))
        return false;
    StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
    bool ownCode = usesOwnCode(rec, layout.bits);
    for (char c : value)
        if (charIndex(rec, static_cast<unsigned char>(c)) < 0)
            return false;
    if (layout.block && ownCode) {
        encodeBlock(value.data(), count);
        return true;
    }
    if (layout.alignFirst)
        writer_.align();
    for (char c : value) {
        auto code = static_cast<unsigned char>(c);
        writer_.putBits(ownCode ? code : static_cast<unsigned>(charIndex(rec, code)), layout.bits);
    }
    return true;
}

bool PEREncoder::do_visit(const BMPString& value)
{
    const BMPString::InfoType* rec = value.info();
    if (!encodeConstrainedLength(value, static_cast<unsigned>(value.size())))
        return false;
    StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
    if (layout.alignFirst || layout.block)
        writer_.align();
    for (wchar_t c : value) {
        auto code = static_cast<unsigned>(c);
        if (code < rec->firstChar || code > rec->lastChar)
            return false;
        writer_.putBits(code - rec->firstChar, layout.bits);
    }
    return true;
}

bool PEREncoder::do_visit(const CHOICE& value)
{
    const CHOICE::InfoType* rec = value.info();
    int id = value.currentSelection();
    if (id < 0)
        return false;
    if (rec->extendable) {
        bool extension = static_cast<unsigned>(id) >= rec->numChoices;
        writer_.putBit(extension);
        if (extension) {
            encodeSmallUnsigned(static_cast<unsigned>(id) - rec->numChoices);
            return encodeAnyType(value.getSelection());
        }
    }
    if (static_cast<unsigned>(id) >= rec->numChoices)
        return false;
    if (rec->numChoices > 1)
        encodeUnsigned(static_cast<unsigned>(id), 0, rec->numChoices - 1);
    return value.getSelection()->accept(*this);
}

bool PEREncoder::do_visit(const OpenData& value)
{
    if (!value.has_data() && value.has_buf()) {
        // Octets never decoded go back out as they came.
        const std::vector<char>& buf = value.get_buf();
        if (!encodeLength(static_cast<unsigned>(buf.size()), 0, unconstrainedUpper))
            return false;
        encodeBlock(buf.data(), static_cast<unsigned>(buf.size()));
        return true;
    }
    return encodeAnyType(value.has_data() ? &value.get_data() : nullptr);
}

bool PEREncoder::do_visit(const GeneralizedTime& value)
{
    std::string text = value.get();
    if (!encodeLength(static_cast<unsigned>(text.size()), 0, unconstrainedUpper))
        return false;
    encodeBlock(text.data(), static_cast<unsigned>(text.size()));
    return true;
}

bool PEREncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!encodeConstrainedLength(value, value.size()))
        return false;
    for (auto it = value.baseBegin(); it != value.baseEnd(); ++it)
        if (!(*it)->accept(*this))
            return false;
    return true;
}

bool PEREncoder::preVisitExtensionRoots(const SEQUENCE& seq)
{
    if (seq.info()->extendable)
        writer_.putBit(lastKnownExtension(seq) >= 0);
    encodeBitMap(seq.optionalMap().data(), seq.info()->numOptionals);
    return true;
}

bool PEREncoder::visitExtensionRoot(const SEQUENCE& seq, int index)
{
    const AbstractData* field = seq.getField(static_cast<unsigned>(index));
    return field && field->accept(*this);
}

bool PEREncoder::preVisitExtensions(const SEQUENCE& seq)
{
    int last = lastKnownExtension(seq);
    if (last < 0)
        return true;
    encodeSmallUnsigned(static_cast<unsigned>(last));
    encodeBitMap(seq.extensionMap().data(), static_cast<unsigned>(last) + 1);
    return true;
}

bool PEREncoder::visitKnownExtension(const SEQUENCE& seq, int index)
{
    const AbstractData* field = seq.getField(static_cast<unsigned>(index));
    return field && encodeAnyType(field);
}

// ---- Decoder primitives ------------------------------------------------------------

bool PERDecoder::decodeMultiBit(unsigned bits, unsigned& value)
{
    std::uint32_t v = 0;
    if (!reader_.getBits(bits, v))
        return false;
    value = v;
    return true;
}

bool PERDecoder::decodeBitMap(char* bytes, unsigned bits)
{
    if (bits > reader_.bitsRemaining())
        return false;
    std::uint32_t v = 0;
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

bool PERDecoder::decodeSmallUnsigned(unsigned& value)
{
    bool large = false;
    if (!reader_.getBit(large))
        return false;
    if (!large)
        return decodeMultiBit(6, value);
    unsigned octets = 0;
    if (decodeLength(0, unconstrainedUpper, octets) != 0 || octets == 0 || octets > 4)
        return false;
    reader_.align();
    return decodeMultiBit(8 * octets, value);
}

int PERDecoder::decodeLength(unsigned lower, unsigned upper, unsigned& length)
{
    if (!aligned_ && upper != unconstrainedUpper) {
        unsigned v = 0;
        if (!decodeMultiBit(CountBits(upper - lower + 1), v))
            return -1;
        length = v + lower;
        return 0;
    }
    if (upper > 65535) {
        reader_.align();
        unsigned first = 0;
        if (reader_.atEnd() || !decodeMultiBit(8, first))
            return -1;
        if ((first & 0x80) == 0) {
            length = first;
            return 0;
        }
        unsigned second = 0;
        if ((first & 0xC0) == 0xC0 || !decodeMultiBit(8, second)) // 11: fragmentation, not used
            return -1;
        length = (first & 0x3F) << 8 | second;
        return 0;
    }
    return decodeUnsigned(lower, upper, length);
}

int PERDecoder::decodeUnsigned(unsigned lower, unsigned upper, unsigned& value)
{
    if (lower == upper) {
        value = lower;
        return 0;
    }
    if (reader_.atEnd())
        return -1;
    unsigned range = upper - lower;
    unsigned bits = CountBits(range + 1);
    if (aligned_ && range > 254) {
        if (bits >= 17) {
            unsigned octets = 0;
            if (decodeLength(1, (bits + 7) / 8, octets) != 0 || octets == 0 || octets > 4)
                return -1;
            bits = 8 * octets;
        } else if (bits > 8) {
            bits = 16;
        }
        reader_.align();
    }
    unsigned offset = 0;
    if (!decodeMultiBit(bits, offset))
        return -1;
    value = lower + offset;
    return 0;
}

int PERDecoder::decodeConstrainedLength(const ConstrainedObject& object, unsigned& length)
{
    bool unconstrained = isUnconstrained(object.getConstraintType());
    if (object.getConstraintType() == ExtendableConstraint && !reader_.getBit(unconstrained))
        return -1;
    if (unconstrained)
        return decodeLength(0, unconstrainedUpper, length);
    return decodeLength(static_cast<unsigned>(object.getLowerLimit()), object.getUpperLimit(), length);
}

bool PERDecoder::openTypeBounds(const char*& end)
{
    unsigned length = 0;
    if (decodeLength(0, unconstrainedUpper, length) != 0 || length > reader_.octetsRemaining())
        return false;
    end = reader_.position() + length;
    return true;
}

bool PERDecoder::decodeChoicePreamle(CHOICE& choice, memento_type& memento)
{
    const CHOICE::InfoType* rec = choice.info();
    memento = nullptr;
    if (reader_.atEnd())
        return false;
    bool extension = false;
    if (rec->extendable && !reader_.getBit(extension))
        return false;
    unsigned index = 0;
    if (extension) {
        if (!decodeSmallUnsigned(index) || !openTypeBounds(memento))
            return false;
        index += rec->numChoices;
    } else if (rec->numChoices > 1) {
        if (decodeUnsigned(0, rec->numChoices - 1, index) != 0 || index >= rec->numChoices)
            return false;
    }
    if (choice.getSelectionId() == static_cast<int>(index) && choice.getSelection())
        return true;
    return choice.setID(static_cast<int>(index));
}

// ---- Decoder, per type --------------------------------------------------------------

bool PERDecoder::do_visit(Null&) { return true; }

bool PERDecoder::do_visit(BOOLEAN& value)
{
    bool bit = false;
    if (!reader_.getBit(bit))
        return false;
    value.setValue(bit);
    return true;
}

bool PERDecoder::do_visit(INTEGER& value)
{
    bool unconstrained = isUnconstrained(value.getConstraintType());
    if (value.getConstraintType() == ExtendableConstraint && !reader_.getBit(unconstrained))
        return false;
    if (unconstrained) {
        unsigned octets = 0;
        if (decodeLength(0, unconstrainedUpper, octets) != 0 || octets > 4)
            return false;
        unsigned v = 0;
        if (octets > 0 && !decodeMultiBit(8 * octets, v))
            return false;
        // Sign extension; a 4-octet value already fills the word.
        if (octets > 0 && octets < 4 && (v >> (8 * octets - 1)) & 1)
            v |= ~0u << (8 * octets);
        value.setValue(v);
        return true;
    }
    unsigned lower = static_cast<unsigned>(value.getLowerLimit());
    unsigned offset = 0;
    if (decodeUnsigned(0, value.getUpperLimit() - lower, offset) != 0)
        return false;
    value.setValue(offset + lower);
    return true;
}

bool PERDecoder::do_visit(ENUMERATED& value)
{
    unsigned v = 0;
    bool extension = false;
    if (value.extendable() && !reader_.getBit(extension))
        return false;
    if (extension) {
        unsigned count = 0;
        if (decodeSmallUnsigned(count) && count > 0 && decodeUnsigned(0, count - 1, v) == 0) {
            value.setValue(static_cast<int>(v));
            return true;
        }
    }
    if (decodeUnsigned(0, value.getMaximum(), v) != 0)
        return false;
    value.setValue(static_cast<int>(v));
    return true;
}

bool PERDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    unsigned count = 0;
    if (decodeLength(0, 255, count) != 0)
        return false;
    char content[255];
    return reader_.getOctets(content, count) && value.decodeCommon(content, count);
}

bool PERDecoder::do_visit(BIT_STRING& value)
{
    unsigned bits = 0;
    if (decodeConstrainedLength(value, bits) != 0 || bits > MaximumStringSize)
        return false;
    if (aligned_ && bits > 16) {
        reader_.align();
        if (bits > reader_.bitsRemaining())
            return false;
        value.resize(bits);
        return reader_.getOctets(value.bytes().data(), (bits + 7) / 8);
    }
    if (bits > reader_.bitsRemaining())
        return false;
    value.resize(bits);
    return decodeBitMap(value.bytes().data(), bits);
}

bool PERDecoder::do_visit(OCTET_STRING& value)
{
    unsigned count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    if (count == 1 || count == 2) {
        unsigned v = 0;
        if (!decodeMultiBit(8 * count, v))
            return false;
        value.resize(count);
        if (count == 2)
            value[0] = static_cast<char>(v >> 8);
        value[count - 1] = static_cast<char>(v);
        return true;
    }
    reader_.align();
    if (count > reader_.octetsRemaining())
        return false;
    value.resize(count);
    return reader_.getOctets(value.data(), count);
}

bool PERDecoder::do_visit(AbstractString& value)
{
    const AbstractString::InfoType* rec = value.info();
    unsigned count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
    bool ownCode = usesOwnCode(rec, layout.bits);
    if (layout.alignFirst || (layout.block && ownCode))
        reader_.align();
    if (static_cast<std::uint64_t>(count) * layout.bits > reader_.bitsRemaining())
        return false;
    value.resize(count);
    if (layout.block && ownCode)
        return reader_.getOctets(&value[0], count);
    for (unsigned i = 0; i < count; ++i) {
        unsigned code = 0;
        decodeMultiBit(layout.bits, code);
        if (!ownCode) {
            if (code >= rec->characterSetSize)
                return false;
            code = static_cast<unsigned char>(rec->characterSet[code]);
        }
        value[i] = static_cast<char>(code);
    }
    return true;
}

bool PERDecoder::do_visit(BMPString& value)
{
    const BMPString::InfoType* rec = value.info();
    unsigned count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    StringLayout layout = stringLayout(value, rec->alignedBits, rec->unalignedBits, aligned_, 16);
    if (layout.alignFirst || layout.block)
        reader_.align();
    if (static_cast<std::uint64_t>(count) * layout.bits > reader_.bitsRemaining())
        return false;
    value.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        unsigned code = 0;
        decodeMultiBit(layout.bits, code);
        value[i] = static_cast<wchar_t>(code + rec->firstChar);
    }
    return true;
}

bool PERDecoder::do_visit(CHOICE& value)
{
    memento_type end = nullptr;
    if (!decodeChoicePreamle(value, end))
        return false;
    if (!end)
        return value.getSelection()->accept(*this);
    // An extension alternative: decoded (aligned) within its own length.
    PERDecoder inner(reader_.position(), end, env_, true);
    if (!value.getSelection()->accept(inner))
        return false;
    reader_.setPosition(end);
    return true;
}

bool PERDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    unsigned count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumArraySize)
        return false;
    value.resize(count);
    for (unsigned i = 0; i < count; ++i)
        if (!value.elementAt(i)->accept(*this)) {
            value.erase(value.baseBegin() + i, value.baseEnd());
            return false;
        }
    return true;
}

bool PERDecoder::do_visit(OpenData& value)
{
    unsigned count = 0;
    if (decodeLength(0, unconstrainedUpper, count) != 0 || count > MaximumStringSize ||
        count > reader_.octetsRemaining())
        return false;
    std::vector<char>& buf = value.make_buf();
    buf.resize(count);
    return reader_.getOctets(buf.data(), count);
}

bool PERDecoder::do_revisit(OpenData& value)
{
    if (!value.has_data() || !value.has_buf())
        return false;
    const std::vector<char>& buf = value.get_buf();
    PERDecoder inner(buf.data(), buf.data() + buf.size(), env_, true);
    return value.get_data().accept(inner);
}

bool PERDecoder::do_visit(TypeConstrainedOpenData& value)
{
    const char* end = nullptr;
    if (!value.has_data() || !openTypeBounds(end))
        return false;
    PERDecoder inner(reader_.position(), end, env_, true);
    if (!value.get_data().accept(inner))
        return false;
    reader_.setPosition(end);
    return true;
}

bool PERDecoder::do_visit(GeneralizedTime& value)
{
    unsigned count = 0;
    if (decodeLength(0, unconstrainedUpper, count) != 0 || count > MaximumStringSize ||
        count > reader_.octetsRemaining())
        return false;
    std::string text(count, '\0');
    if (!reader_.getOctets(&text[0], count))
        return false;
    value.set(text);
    return true;
}

Visitor::VISIT_SEQ_RESULT PERDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    // A value reused for another decode keeps none of the earlier additions.
    seq.extensionMap().clear();
    bool extension = false;
    if (seq.info()->extendable && (reader_.atEnd() || !reader_.getBit(extension)))
        return FAIL;
    SEQUENCE::BitMap& optional = seq.optionalMap();
    if (!decodeBitMap(optional.data(), optional.size()))
        return FAIL;
    return extension ? CONTINUE : NO_EXTENSION;
}

Visitor::VISIT_SEQ_RESULT PERDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId)
{
    if (optionalId >= 0 && !seq.optionalMap()[static_cast<unsigned>(optionalId)])
        return CONTINUE;
    auto i = static_cast<unsigned>(index);
    if (!seq.createField(i) || !seq.getField(i)->accept(*this))
        return FAIL;
    return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT PERDecoder::preVisitExtensions(SEQUENCE& seq)
{
    unsigned count = 0;
    if (!decodeSmallUnsigned(count) || ++count > MaximumArraySize)
        return FAIL;
    SEQUENCE::BitMap& map = seq.extensionMap();
    map.resize(count);
    return decodeBitMap(map.data(), count) ? CONTINUE : FAIL;
}

Visitor::VISIT_SEQ_RESULT PERDecoder::visitKnownExtension(SEQUENCE& seq, int index, int)
{
    auto i = static_cast<unsigned>(index);
    if (!seq.extensionMap()[i - seq.info()->numFields])
        return CONTINUE;
    const char* end = nullptr;
    if (!openTypeBounds(end))
        return FAIL;
    if (seq.createField(i)) {
        PERDecoder inner(reader_.position(), end, env_, true);
        if (!seq.getField(i)->accept(inner))
            return FAIL;
    }
    reader_.setPosition(end);
    return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT PERDecoder::visitUnknownExtensions(SEQUENCE& seq)
{
    const SEQUENCE::BitMap& map = seq.extensionMap();
    for (unsigned bit = seq.info()->knownExtensions; bit < map.size(); ++bit) {
        if (!map[bit])
            continue;
        const char* end = nullptr;
        if (!openTypeBounds(end))
            return FAIL;
        reader_.setPosition(end);
    }
    return STOP;
}

} // namespace ASN1
