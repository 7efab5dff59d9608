#include "asn1/BitCursor.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

void BitWriter::putBit(bool bit)
{
    if (bitsLeft_ == 8)
        out_.push_back(0);
    --bitsLeft_;
    if (bit)
        out_.back() = static_cast<char>(out_.back() | 1 << bitsLeft_);
    if (bitsLeft_ == 0)
        bitsLeft_ = 8;
}

void BitWriter::putBits(std::uint32_t value, unsigned count)
{
    while (count > 0) {
        if (bitsLeft_ == 8)
            out_.push_back(0);
        unsigned take = std::min(count, bitsLeft_);
        unsigned chunk = (value >> (count - take)) & ((1u << take) - 1);
        bitsLeft_ -= take;
        count -= take;
        out_.back() = static_cast<char>(out_.back() | chunk << bitsLeft_);
        if (bitsLeft_ == 0)
            bitsLeft_ = 8;
    }
}

void BitWriter::putOctets(const char* octets, std::size_t count)
{
    align();
    out_.insert(out_.end(), octets, octets + count);
}

bool BitReader::getBit(bool& bit)
{
    if (cursor_ >= end_)
        return false;
    --bitsLeft_;
    bit = (*cursor_ >> bitsLeft_) & 1;
    if (bitsLeft_ == 0) {
        ++cursor_;
        bitsLeft_ = 8;
    }
    return true;
}

bool BitReader::getBits(unsigned count, std::uint32_t& value)
{
    if (count > 32 || count > bitsRemaining())
        return false;
    std::uint32_t result = 0;
    while (count > 0) {
        unsigned take = std::min(count, bitsLeft_);
        bitsLeft_ -= take;
        count -= take;
        unsigned chunk = (*cursor_ >> bitsLeft_) & ((1u << take) - 1);
        result = static_cast<std::uint32_t>((static_cast<std::uint64_t>(result) << take) | chunk);
        if (bitsLeft_ == 0) {
            ++cursor_;
            bitsLeft_ = 8;
        }
    }
    value = result;
    return true;
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
