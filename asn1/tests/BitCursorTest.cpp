// The bit cursors against a one-bit-at-a-time model: every width at every
// bit offset, octet blocks between them, the word-at-a-time paths next to the
// end of the input, a writer appending to octets already there, packed
// character fields, and the value pool's reuse of blocks.
#include "asn1/Allocator.h"
#include "asn1/BitCursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace ASN1;

namespace {

// Packs bits most significant first, one at a time.
class BitModel {
public:
  void put(std::uint64_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) bits_.push_back(value >> i & 1);
  }
  void align() {
    while (bits_.size() % 8) bits_.push_back(false);
  }
  std::vector<char> octets() const {
    std::vector<char> out((bits_.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits_.size(); ++i)
      if (bits_[i]) out[i / 8] = static_cast<char>(out[i / 8] | 0x80 >> i % 8);
    return out;
  }

private:
  std::vector<bool> bits_;
};

enum class Step { Bit, Bits, Align, Block };

struct Item {
  Step step;
  std::uint64_t value;
  unsigned count;
  std::vector<char> block;
};

std::vector<Item> randomItems(std::mt19937& random, unsigned n, unsigned maxWidth) {
  std::vector<Item> items;
  for (unsigned i = 0; i < n; ++i) {
    Item item{static_cast<Step>(random() % 4), (std::uint64_t{random()} << 32 | random()), 0, {}};
    if (item.step == Step::Bits) item.count = random() % (maxWidth + 1);
    if (item.step == Step::Block)
      for (unsigned k = random() % 11; k > 0; --k) item.block.push_back(static_cast<char>(random()));
    items.push_back(item);
  }
  return items;
}

void write(BitWriter& writer, BitModel& model, const Item& item) {
  switch (item.step) {
    case Step::Bit:
      writer.putBit(item.value & 1);
      model.put(item.value & 1, 1);
      break;
    case Step::Bits:
      writer.putBits(item.value, item.count);
      model.put(item.value, item.count);
      break;
    case Step::Align:
      writer.align();
      model.align();
      break;
    case Step::Block:
      writer.putOctets(item.block.data(), item.block.size());
      model.align();
      for (char c : item.block) model.put(static_cast<unsigned char>(c), 8);
      break;
  }
}

}  // namespace

TEST(BitCursor, EveryWidthAtEveryOffsetMatchesTheModel) {
  for (unsigned lead = 0; lead < 8; ++lead)
    for (unsigned width = 0; width <= 57; ++width) {
      std::vector<char> out;
      BitModel model;
      {
        BitWriter writer(out);
        writer.putBits(0x55, lead);
        model.put(0x55, lead);
        writer.putBits(0xFEDCBA9876543210u, width);
        model.put(0xFEDCBA9876543210u, width);
        writer.putBit(true);
        model.put(1, 1);
      }
      ASSERT_EQ(out, model.octets()) << "lead " << lead << " width " << width;
      if (width > 32) continue;
      // The value ends inside the last octet or two: the reader's
      // short path next to the end.
      BitReader reader(out.data(), out.data() + out.size());
      std::uint32_t lead_ = 0, value = 0;
      bool last = false;
      ASSERT_TRUE(reader.getBits(lead, lead_));
      ASSERT_TRUE(reader.getBits(width, value));
      ASSERT_TRUE(reader.getBit(last));
      EXPECT_EQ(lead_, 0x55u & ((1u << lead) - 1));
      EXPECT_EQ(value, static_cast<std::uint32_t>(width ? 0x76543210u & (0xFFFFFFFFu >> (32 - width)) : 0));
      EXPECT_TRUE(last);
    }
}

TEST(BitCursor, RandomStreamsRoundTrip) {
  std::mt19937 random(20241206);
  for (int round = 0; round < 200; ++round) {
    std::vector<Item> items = randomItems(random, 1 + random() % 60, 32);
    std::vector<char> out;
    BitModel model;
    {
      BitWriter writer(out);
      for (const Item& item : items) write(writer, model, item);
    }
    ASSERT_EQ(out, model.octets()) << "round " << round;

    BitReader reader(out.data(), out.data() + out.size());
    for (const Item& item : items) {
      std::uint32_t value = 0;
      bool bit = false;
      switch (item.step) {
        case Step::Bit:
          ASSERT_TRUE(reader.getBit(bit));
          EXPECT_EQ(bit, (item.value & 1) != 0);
          break;
        case Step::Bits:
          ASSERT_TRUE(reader.getBits(item.count, value));
          EXPECT_EQ(value,
                    item.count ? static_cast<std::uint32_t>(item.value) & (0xFFFFFFFFu >> (32 - item.count)) : 0);
          break;
        case Step::Align: reader.align(); break;
        case Step::Block: {
          const char* octets = reader.takeOctets(item.block.size());
          ASSERT_NE(octets, nullptr);
          EXPECT_EQ(std::vector<char>(octets, octets + item.block.size()), item.block);
          break;
        }
      }
    }
    EXPECT_LT(reader.bitsRemaining(), 8u);
  }
}

TEST(BitCursor, WriterAppendsAfterExistingOctetsGrowsAndNests) {
  std::vector<char> out = {'a', 'b'};
  BitModel model;
  model.put('a', 8);
  model.put('b', 8);
  {
    BitWriter writer(out);
    for (unsigned i = 0; i < 3000; ++i) {  // far past the first room
      writer.putBits(i, 11);
      model.put(i, 11);
    }
    writer.align();
    model.align();
    writer.detach();
    out.push_back('x');  // someone else's octet between two stretches
    model.put('x', 8);
    writer.attach();
    writer.putBit(true);
    model.put(1, 1);
  }
  EXPECT_EQ(out, model.octets());
  EXPECT_EQ(out.size(), 2 + (3000 * 11 + 7) / 8 + 1 + 1);
}

TEST(BitCursor, ReaderRefusesToReadPastTheEndAndStaysPut) {
  const std::vector<char> input = {'\x12', '\x34', '\x56', '\x78', '\x9a', '\xbc', '\xde', '\xf0', '\x11'};
  for (std::size_t size = 0; size <= input.size(); ++size)
    for (unsigned skip = 0; skip < 8 && skip <= 8 * size; ++skip) {
      BitReader reader(input.data(), input.data() + size);
      std::uint32_t value = 0;
      ASSERT_TRUE(reader.getBits(skip, value));
      std::size_t left = reader.bitsRemaining();
      ASSERT_EQ(left, 8 * size - skip);
      if (left < 32) {
        EXPECT_FALSE(reader.getBits(static_cast<unsigned>(left) + 1, value)) << size << "/" << skip;
        EXPECT_EQ(reader.bitsRemaining(), left) << "a failed read moved the cursor";
      }
      EXPECT_FALSE(reader.getBits(33, value));
      unsigned wanted = static_cast<unsigned>(left < 32 ? left : 32);
      EXPECT_TRUE(reader.getBits(wanted, value));
      EXPECT_EQ(reader.takeOctets(size + 1), nullptr);
    }

  BitReader reader(input.data(), input.data() + 2);
  unsigned octet = 0;
  EXPECT_TRUE(reader.getOctet(octet));
  EXPECT_TRUE(reader.getOctet(octet));
  EXPECT_EQ(octet, 0x34u);
  EXPECT_FALSE(reader.getOctet(octet));
  reader.setPosition(input.data() + 7);
  EXPECT_EQ(reader.position(), input.data() + 2) << "a position past the end is clamped";
}

// 7- and 8-bit fields, many at a time, at every offset and count around the
// word size; the reader also near the end of its input and one bit short.
template <unsigned bits>
void checkFields(std::mt19937& random) {
  for (unsigned offset = 0; offset < 8; ++offset)
    for (unsigned count = 0; count <= 26; ++count) {
      std::vector<char> text(count);
      for (char& c : text) c = static_cast<char>(random() & ((1u << bits) - 1));
      BitModel model;
      model.put(0x55, offset);
      for (char c : text) model.put(static_cast<unsigned char>(c), bits);
      std::vector<char> out;
      {
        BitWriter writer(out);
        writer.putBits(0x55, offset);
        writer.putFields<bits>(text.data(), count);
      }
      ASSERT_EQ(out, model.octets()) << bits << " bits, offset " << offset << ", count " << count;

      std::uint32_t skipped = 0;
      std::vector<char> back(count + 1, 'x');
      BitReader reader(out.data(), out.data() + out.size());
      ASSERT_TRUE(reader.getBits(offset, skipped));
      ASSERT_TRUE(reader.getFields<bits>(back.data(), count));
      EXPECT_EQ(std::vector<char>(back.begin(), back.begin() + count), text);
      EXPECT_EQ(back[count], 'x') << "nothing written past the fields";
      EXPECT_EQ(reader.bitsRemaining(), out.size() * 8 - offset - count * bits);

      BitReader shortReader(out.data(), out.data() + out.size());
      shortReader.getBits(offset, skipped);
      EXPECT_EQ(shortReader.getFields<bits>(back.data(), count + (8 - (offset + count * bits) % 8) / bits + 1), false);
    }
}

TEST(BitCursor, CharacterFieldsMatchTheModel) {
  std::mt19937 random(7);
  checkFields<7>(random);
  checkFields<8>(random);
}

// An octet above 0x7F anywhere, in a whole group or among the last few,
// fails a 7-bit write.
TEST(BitCursor, SevenBitFieldsRefuseAnOctetAbove127) {
  for (unsigned count = 1; count <= 26; ++count)
    for (unsigned at = 0; at < count; ++at) {
      std::vector<char> text(count, 'a');
      text[at] = static_cast<char>(0xC1);
      std::vector<char> out;
      BitWriter writer(out);
      EXPECT_FALSE(writer.putFields<7>(text.data(), count)) << "count " << count << ", at " << at;
      text[at] = 'b';
      EXPECT_TRUE(writer.putFields<7>(text.data(), count)) << "count " << count << ", at " << at;
    }
}

TEST(ValuePool, FreedBlocksComeBackForTheirSizeClass) {
  if (!detail::Pool::enabled) GTEST_SKIP() << "blocks go to the heap under the address sanitizer";
  void* a = detail::poolAllocate(24);
  detail::poolRelease(a, 24);
  void* b = detail::poolAllocate(32);  // same 16-octet class as 24
  EXPECT_EQ(a, b);
  void* c = detail::poolAllocate(33);
  EXPECT_NE(c, b);
  detail::poolRelease(b, 32);
  detail::poolRelease(c, 33);

  // Beyond the largest class and size 0 go to the heap and back.
  void* big = detail::poolAllocate(4096);
  void* none = detail::poolAllocate(0);
  detail::poolRelease(big, 4096);
  detail::poolRelease(none, 0);
  detail::poolRelease(nullptr, 16);
}
