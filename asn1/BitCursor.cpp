#include "asn1/BitCursor.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

void BitWriter::putOctets(const char* octets, std::size_t count)
{
    align();
    std::size_t at = bits_ / 8;
    if (at + count > capacity_)
        grow(count);
    if (count)
        std::memcpy(data_ + at, octets, count);
    bits_ += 8 * count;
}

// The new room is zero, as every write relies on.
void BitWriter::grow(std::size_t more)
{
    std::size_t at = bits_ / 8;
    out_.resize(std::max(2 * out_.size(), at + more + 64));
    data_ = out_.data();
    capacity_ = out_.size();
}

void BitWriter::detach()
{
    out_.resize((bits_ + 7) / 8);
    data_ = nullptr;
    capacity_ = 0;
}

void BitWriter::attach()
{
    bits_ = 8 * out_.size();
    out_.resize(std::max(out_.capacity(), out_.size() + 64));
    data_ = out_.data();
    capacity_ = out_.size();
}

bool BitReader::getOctets(char* out, std::size_t count)
{
    align();
    if (octetsRemaining() < count)
        return false;
    if (count)
        std::memcpy(out, cursor_, count);
    cursor_ += count;
    return true;
}

void BitReader::setPosition(const char* p)
{
    const auto* q = reinterpret_cast<const unsigned char*>(p);
    cursor_ = q < end_ ? q : end_;
    bitsLeft_ = 8;
}

} // namespace ASN1
