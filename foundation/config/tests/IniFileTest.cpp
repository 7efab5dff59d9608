#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "foundation/config/IniFile.h"
#include "testing/Golden.h"

namespace {

struct Line {
  std::string value;
  int line;
  bool operator==(const Line& other) const { return value == other.value && line == other.line; }
};

std::ostream& operator<<(std::ostream& out, const Line& l) { return out << '"' << l.value << "\"@" << l.line; }

void parse(IniFile::File& file, const std::string& text) {
  std::istringstream in(text);
  in >> file;
}

// The parsed model as the file dumps itself, against golden/ini-<name>.txt.
::testing::AssertionResult dumps(const IniFile::File& file, const std::string& name) {
  std::ostringstream dump;
  file.Dump(dump);
  return Testing::matchesGolden("foundation/config/tests/golden/ini-" + name + ".txt", dump.str());
}

std::vector<Line> occurrences(IniFile::Key& key) {
  std::vector<Line> lines;
  for (const IniFile::SubKey& subKey : key) lines.push_back({subKey.value(), subKey.line()});
  return lines;
}

// The first subsection's key of that name.
std::vector<Line> keyOf(IniFile::File& file, const std::string& section, const std::string& key) {
  return occurrences((*file[section].begin())[key]);
}

// Headers repeated or trailed by text, keys before any header, a comment after a header.
TEST(IniParse, RepeatedHeadersAreNumberedSubsectionsWithTheirLines) {
  IniFile::File file;
  parse(file,
        "# leading comment\n"
        "stray=ignored\n"
        "[traces]\n"
        "signalling.hdlc=yes\n"
        "\n"
        "[snmpagent]  # header comment\n"
        "host=10.0.0.1:161\n"
        "[traces] trailing text ignored\n"
        "signalling.isdn=on\n");
  EXPECT_TRUE(file.isOpen());
  EXPECT_TRUE(dumps(file, "headers"));
}

TEST(IniParse, BlanksCommentsAndHashesInKeysAndValues) {
  IniFile::File file;
  parse(file,
        "[ a b ]\n"
        "  key one  =  inner  blanks kept   \n"
        "\tk#[x]=v#glued # comment\n"
        "empty=\n"
        "commented= # only a comment\n"
        "commented2=#no blank\n"
        "eq=a=b = c\n"
        "tab=\tx\n"
        "crlf=value\r\n"
        "repeat=1\n"
        "repeat=2\n");
  EXPECT_TRUE(dumps(file, "blanks"));
}

TEST(IniParse, BrokenLinesAreDroppedAndParsingResumes) {
  IniFile::File file;
  parse(file,
        "[good]\n"
        "no equals sign\n"
        "[next]\n"
        "after=1\n"
        "noeq\n"
        "  indented=2\n"
        "[unterminated\n"
        "lost=3\n"
        "[]\n"
        "anon=4\n"
        "[tail]\n"
        "last=  x y");
  EXPECT_TRUE(dumps(file, "broken"));
}

TEST(IniParse, EndOfInputStoresAPendingKeyOnly) {
  IniFile::File file;
  parse(file, "[s]\nk=");
  EXPECT_EQ((std::vector<Line>{{"", 2}}), keyOf(file, "s", "k"));

  parse(file, "[s]\nk=v # c");
  EXPECT_EQ((std::vector<Line>{{"v", 2}}), keyOf(file, "s", "k"));

  parse(file, "[s]\nhalf");
  EXPECT_EQ(0, file["s"].begin()->count());

  parse(file, "# only\n#comments\r\n");
  EXPECT_TRUE(file.isOpen());
  EXPECT_EQ(0, file.count());
}

TEST(IniModel, MissingNamesAreCreatedEmptyAndDumped) {
  IniFile::File file;
  parse(file, "[s]\nk=v\n");
  IniFile::Section& absent = file["absent"];
  EXPECT_EQ(0, absent.count());
  absent.CheckEmpty();
  absent.CheckEmpty();
  ASSERT_EQ(1, absent.count());
  IniFile::Key& key = (*absent.begin())["nothing"];
  EXPECT_EQ(0, key.count());
  key.CheckEmpty();
  EXPECT_EQ((std::vector<Line>{{"", -1}}), occurrences(key));
  EXPECT_TRUE(dumps(file, "dump"));
}

TEST(IniModel, SubKeyTypedAccess) {
  // Exact words only, and not the reader's vocabulary: anything else is the default.
  EXPECT_TRUE(IniFile::SubKey("yes", 1).GetBool(false));
  EXPECT_TRUE(IniFile::SubKey("on", 1).GetBool(false));
  EXPECT_FALSE(IniFile::SubKey("off", 1).GetBool(true));
  EXPECT_FALSE(IniFile::SubKey("Yes", 1).GetBool(false));
  EXPECT_TRUE(IniFile::SubKey("disabled", 1).GetBool(true));

  EXPECT_EQ(42, IniFile::SubKey("  42abc", 1).GetInt(7));
  EXPECT_EQ(7, IniFile::SubKey("x42", 1).GetInt(7));
  EXPECT_FLOAT_EQ(1.0f, IniFile::SubKey("kHz", 1).GetFloat(1.0f));

  IniFile::SubKey subKey("", 1);
  subKey.SetBool(false);
  EXPECT_EQ("no", subKey.value());
  subKey.SetFloat(3.14159265f);
  EXPECT_EQ("3.14159", subKey.value());
}

TEST(IniFileOpen, ReadsAFileAndReopensCleanly) {
  const std::string root = std::getenv("SERVER_ROOT") ? std::getenv("SERVER_ROOT") : ".";
  const std::string path = root + "/ini-open-test.conf";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[traces]\r\nsignalling.hdlc=yes\r\n";
  }
  IniFile::File file(path);
  EXPECT_TRUE(file.isOpen());
  EXPECT_EQ(path, file.name());
  EXPECT_EQ((std::vector<Line>{{"yes", 2}}), keyOf(file, "traces", "signalling.hdlc"));

  EXPECT_TRUE(file.Open(path));
  EXPECT_EQ(1, file["traces"].count()) << "a reopen starts afresh";

  EXPECT_FALSE(file.Open(root + "/no-such-file.conf"));
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(0, file.count());
  std::remove(path.c_str());
}

}  // namespace
