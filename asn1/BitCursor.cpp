#include "asn1/BitCursor.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {


void BitWriter::putOctets(const char* octets, std::size_t count)
{
    align();
    out_.insert(out_.end(), octets, octets + count);
}


void BitReader::align()
{
    if (bitsLeft_ != 8) {
        ++cursor_;
        bitsLeft_ = 8;
    }
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
