#include "asn1/BitCursor.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

void BitWriter::putOctets(const char* octets, std::size_t count)
{
    align();
    if (size_ + count > capacity_)
        grow(count);
    if (count)
        std::memcpy(data_ + size_, octets, count);
    size_ += count;
}

void BitWriter::grow(std::size_t more)
{
    out_.resize(std::max(2 * capacity_, size_ + more + 64));
    data_ = out_.data();
    capacity_ = out_.size();
}

void BitWriter::detach()
{
    out_.resize(size_);
    data_ = nullptr;
    capacity_ = size_;
}

void BitWriter::attach()
{
    size_ = out_.size();
    capacity_ = std::max(out_.capacity(), size_ + 64);
    out_.resize(capacity_);
    data_ = out_.data();
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

bool BitReader::skipOctets(std::size_t count)
{
    align();
    if (octetsRemaining() < count)
        return false;
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
