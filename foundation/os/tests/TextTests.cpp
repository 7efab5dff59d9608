// The text helpers byte for byte: hex dumps, quoting, headers, tables, IA5 texts.

#include <gtest/gtest.h>

#include <sstream>

#include "foundation/os/Ext.h"
#include "foundation/os/Text.h"

namespace {

TEST(OutBufInHex, UpperCaseBytesEachFollowedByABlank) {
  const unsigned char bytes[] = {0x0A, 0xFF, 0x00};
  std::ostringstream out;
  out << std::dec << 12 << ':' << ext::OutBufInHex(bytes, bytes + 2) << 26 << ':';
  out << ext::OutBufInHex(bytes, 0) << ext::OutBufInHex(bytes, sizeof bytes);
  EXPECT_EQ("12:0A FF 26:0A FF 00 ", out.str()) << "the stream's decimal output survives";
}

TEST(OutUnsignedInHex, PrefixDigitsAndPadding) {
  std::ostringstream out;
  out.fill('*');
  out << ext::OutUnsignedInHex(10) << ' ' << ext::OutUnsignedInHex(10, 4) << ' ' << ext::OutUnsignedInHex(0xABCDEF, 2)
      << ' ' << 255 << ' ';
  out.width(3);
  out << 7;
  EXPECT_EQ("0xA 0x000A 0xABCDEF 255   7", out.str()) << "flags restored, fill reset to a blank";
}

TEST(Table, DelimiterAndCentredCells) {
  ext::Table t(3, 4);
  std::ostringstream out;
  t.delimeter(out);
  t.row(out, "a");
  t.row(out, "bb");
  EXPECT_EQ("+---+----+\n| a | bb |\n", out.str());
}

TEST(Table, CutCellsPartialRowsAndCellsPastTheEnd) {
  ext::Table t(4, 3, 2);
  std::ostringstream out;
  {
    ext::Table::Sentry s(out, t);
    s << ext::beginrow << "toolong" << ext::nextrow << 7 << ext::nextrow << 1u << ext::nextrow;
    s << "dropped" << ext::nextrow;             // past the last column, before beginrow
    s << ext::beginrow << "x" << ext::nextrow;  // the odd blank goes right
    s << ext::delimeter;                        // completes the row first
    s << ext::beginrow << "ab"
      << "c" << ext::nextrow;
  }  // the sentry completes the last row
  EXPECT_EQ(
      "|tool| 7 |1 |\n"
      "| x  |   |  |\n"
      "+----+---+--+\n"
      "|abc |   |  |\n",
      out.str());
}

TEST(Ia5Text, OnlyOctetsAbove0x7FBecomeQuestionMarks) {
  EXPECT_EQ(ia5Text(""), "");
  EXPECT_EQ(ia5Text(std::string("a\0\x7F\x80z\xFF", 6)), std::string("a\0\x7F?z?", 6));
}

}  // namespace
