// Bit cursors over PER octets, most significant bit first. The writer
// appends to a byte vector; the reader never reads past its end and reports
// every shortfall by a false result.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ASN1 {

class BitWriter {
public:
    // Appends to `out`. While attached, the vector is kept larger than the
    // octets written (so each octet is a plain store); detach() trims it to
    // exactly the octets written, and the destructor does so too.
    explicit BitWriter(std::vector<char>& out) : out_(out) { attach(); }
    ~BitWriter() { detach(); }
    BitWriter(const BitWriter&) = delete;
    BitWriter& operator=(const BitWriter&) = delete;

    void putBit(bool bit)
    {
        if (bitsLeft_ == 8)
            pushOctet(0);
        --bitsLeft_;
        if (bit)
            data_[size_ - 1] = static_cast<char>(data_[size_ - 1] | 1 << bitsLeft_);
        if (bitsLeft_ == 0)
            bitsLeft_ = 8;
    }
    // The low `count` bits of value (0..32).
    void putBits(std::uint32_t value, unsigned count);
    // Pads the current octet with zero bits.
    void align() { bitsLeft_ = 8; }
    void putOctets(const char* octets, std::size_t count);
    // Free bits of the last octet; 8 when the next bit opens a new one.
    unsigned bitsLeft() const { return bitsLeft_; }

    // Hands the vector back with exactly the octets written (for a nested
    // writer on the same vector), and takes it again afterwards.
    void detach();
    void attach();

private:
    void pushOctet(char c)
    {
        if (size_ == capacity_)
            grow(1);
        data_[size_++] = c;
    }
    void grow(std::size_t more);

    std::vector<char>& out_;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    unsigned bitsLeft_ = 8;
};

class BitReader {
public:
    BitReader(const char* first, const char* last)
        : cursor_(reinterpret_cast<const unsigned char*>(first)), end_(reinterpret_cast<const unsigned char*>(last)) {}

    std::size_t bitsRemaining() const { return static_cast<std::size_t>(end_ - cursor_) * 8 + bitsLeft_ - 8; }
    // No octet left at the cursor (a partly read last octet still counts).
    bool atEnd() const { return cursor_ >= end_; }
    bool getBit(bool& bit)
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
    bool getBits(unsigned count, std::uint32_t& value); // count 0..32
    void align();
    // Aligns, then copies exactly `count` octets; false (nothing copied)
    // when fewer remain.
    bool getOctets(char* out, std::size_t count);
    // Aligns, then skips `count` octets; false when fewer remain.
    bool skipOctets(std::size_t count);
    std::size_t octetsRemaining() const { return static_cast<std::size_t>(end_ - cursor_); }
    const char* position() const { return reinterpret_cast<const char*>(cursor_); }
    const char* end() const { return reinterpret_cast<const char*>(end_); }
    // Moves to an octet boundary at p (clamped to the end).
    void setPosition(const char* p);
    unsigned bitsLeft() const { return bitsLeft_; }

private:
    const unsigned char* cursor_;
    const unsigned char* end_;
    unsigned bitsLeft_ = 8;
};

inline void BitWriter::putBits(std::uint32_t value, unsigned count)
{
    if (count == 0)
        return;
    std::uint64_t bits = value & (count == 32 ? 0xFFFFFFFFu : (1u << count) - 1);
    if (bitsLeft_ != 8) {
        unsigned take = std::min(count, bitsLeft_);
        count -= take;
        bitsLeft_ -= take;
        data_[size_ - 1] = static_cast<char>(data_[size_ - 1] | ((bits >> count) << bitsLeft_));
        if (bitsLeft_ == 0)
            bitsLeft_ = 8;
    }
    for (; count >= 8; count -= 8)
        pushOctet(static_cast<char>(bits >> (count - 8)));
    if (count) {
        pushOctet(static_cast<char>(bits << (8 - count)));
        bitsLeft_ = 8 - count;
    }
}

inline bool BitReader::getBits(unsigned count, std::uint32_t& value)
{
    if (count > 32 || count > bitsRemaining())
        return false;
    std::uint64_t result = 0;
    if (count && bitsLeft_ != 8) {
        unsigned take = std::min(count, bitsLeft_);
        bitsLeft_ -= take;
        count -= take;
        result = (*cursor_ >> bitsLeft_) & ((1u << take) - 1);
        if (bitsLeft_ == 0) {
            ++cursor_;
            bitsLeft_ = 8;
        }
    }
    for (; count >= 8; count -= 8)
        result = result << 8 | *cursor_++;
    if (count) {
        bitsLeft_ = 8 - count;
        result = result << count | (*cursor_ >> bitsLeft_);
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

} // namespace ASN1
