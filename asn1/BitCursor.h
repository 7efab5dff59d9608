// Bit cursors over PER octets, most significant bit first. The writer
// appends to a byte vector; the reader never reads past its end and reports
// every shortfall by a false result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ASN1 {

class BitWriter {
public:
    explicit BitWriter(std::vector<char>& out) : out_(out) {}

    void putBit(bool bit);
    // The low `count` bits of value (0..32).
    void putBits(std::uint32_t value, unsigned count);
    // Pads the current octet with zero bits.
    void align() { bitsLeft_ = 8; }
    void putOctets(const char* octets, std::size_t count);
    // Free bits of the last octet; 8 when the next bit opens a new one.
    unsigned bitsLeft() const { return bitsLeft_; }
    std::vector<char>& buffer() { return out_; }

private:
    std::vector<char>& out_;
    unsigned bitsLeft_ = 8;
};

class BitReader {
public:
    BitReader(const char* first, const char* last)
        : cursor_(reinterpret_cast<const unsigned char*>(first)), end_(reinterpret_cast<const unsigned char*>(last)) {}

    std::size_t bitsRemaining() const { return static_cast<std::size_t>(end_ - cursor_) * 8 + bitsLeft_ - 8; }
    // No octet left at the cursor (a partly read last octet still counts).
    bool atEnd() const { return cursor_ >= end_; }
    bool getBit(bool& bit);
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

} // namespace ASN1
