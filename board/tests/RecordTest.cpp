#include "board/Record.h"
#include "board/Request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace Board;

TEST(Record, FieldsPackBigEndianWithTheirWidthAndSign) {
  constexpr Field<int8_t> s8{0};
  constexpr Field<int16_t> s16{1};
  constexpr Field<int32_t> s32{3};
  constexpr Bytes run{9, 3};
  std::vector<uint8_t> buf(17, 0xAA);
  RecordWriter w(buf.data(), buf.size());
  EXPECT_TRUE(w.put(s8, -2));
  EXPECT_TRUE(w.put(s16, -300));
  EXPECT_TRUE(w.put(s32, -70000));
  EXPECT_TRUE(w.u16(7, 0x2345));
  EXPECT_TRUE(w.bytes(run, "xyz"));
  EXPECT_TRUE(w.u8(12, 0x7F));
  EXPECT_TRUE(w.u32(13, 0x01020304));
  EXPECT_TRUE(w.ok());
  const std::vector<uint8_t> expected = {0xFE, 0xFE, 0xD4, 0xFF, 0xFE, 0xEE, 0x90, 0x23, 0x45,
                                         'x',  'y',  'z',  0x7F, 0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(buf, expected);

  RecordReader r(buf.data(), buf.size());
  EXPECT_EQ(r.get(s8), -2);
  EXPECT_EQ(r.get(s16), -300);
  EXPECT_EQ(r.get(s32), -70000);
  EXPECT_EQ(r.s32(3), -70000);
  EXPECT_EQ(r.u16(7), 0x2345);
  EXPECT_EQ(r.u8(12), 0x7F);
  EXPECT_EQ(r.u32(13), 0x01020304u);
  EXPECT_EQ(r.get(Field<uint8_t>{0}), 0xFE);
  EXPECT_EQ(r.get(Field<uint32_t>{0} + 3), 0xFFFEEE90u);  // a field of a record nested at 3
  char text[3];
  r.bytes(run, text);
  EXPECT_EQ(std::string(text, 3), "xyz");
  EXPECT_TRUE(r.ok());
  // A run past the end reads as zeros and fails the reader; written, it changes nothing.
  r.bytes(Bytes{15, 3}, text);
  EXPECT_EQ(std::string(text, 3), std::string(3, '\0'));
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(w.bytes(Bytes{15, 3}, "abc"));
  EXPECT_EQ(buf[15], 0x03);
}

TEST(Record, FieldOutsideTheRecordFailsAndSticks) {
  uint8_t buf[8] = {};
  RecordWriter w(buf, sizeof buf);
  EXPECT_TRUE(w.u32(4, 0x11223344));
  EXPECT_FALSE(w.u32(5, 0xFFFFFFFF));
  EXPECT_FALSE(w.u16(7, 0xFFFF));
  EXPECT_FALSE(w.u8(8, 0xFF));
  EXPECT_TRUE(w.u8(0, 1));
  EXPECT_FALSE(w.ok());
  // Nothing was written past or across the end.
  EXPECT_EQ(buf[5], 0x22);
  EXPECT_EQ(buf[7], 0x44);

  RecordReader r(buf, 6);
  EXPECT_EQ(r.u16(4), 0x1122);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u32(4), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(0), 1);
  EXPECT_FALSE(r.ok());

  RecordReader empty(nullptr, 0);
  EXPECT_EQ(empty.u8(0), 0);
  EXPECT_FALSE(empty.ok());
}

TEST(Request, PowerPcEncodingAndItsFields) {
  // Requests as the board's drivers number them.
  EXPECT_EQ(Request::iow('M', 2, 8), 0x80084D02u);
  EXPECT_EQ(Request::iowr('M', 4, 8), 0xC0084D04u);
  EXPECT_EQ(Request::io('T', 7), 0x20005407u);
  EXPECT_EQ(Request::ior('T', 7, 12), 0x400C5407u);

  const uint32_t r = Request::iowr('R', 0x9A, 0x1234);
  EXPECT_EQ(Request::direction(r), uint32_t(Request::Read | Request::Write));
  EXPECT_EQ(Request::size(r), 0x1234u);
  EXPECT_EQ(Request::group(r), uint32_t('R'));
  EXPECT_EQ(Request::number(r), 0x9Au);
  // A size wider than its 13 bits never spills into the direction.
  const uint32_t big = Request::ior('x', 1, 0x2001);
  EXPECT_EQ(Request::direction(big), uint32_t(Request::Read));
  EXPECT_EQ(Request::size(big), 1u);
}
