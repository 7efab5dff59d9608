#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "foundation/config/IniReader.h"

namespace {

enum class AddressType { ipv4 = 1, ipv6 = 2, dns = 16 };
const IniFile::Symbol<AddressType> addressTypes[] = {
    {"ipv4", AddressType::ipv4}, {"ipv6", AddressType::ipv6}, {"0x10", AddressType::ipv6}, {nullptr, {}}};

enum class Small : std::int8_t { none = 0 };

class ReaderTest : public ::testing::Test {
 protected:
  IniFile::SubSection& load(const std::string& text) {
    std::istringstream in("[agent]\n" + text);
    in >> file;
    return *file["agent"].begin();
  }

  IniFile::File file;
  std::ostringstream errors;
  IniFile::Reader reader{"snmpagent: ", errors};
};

TEST_F(ReaderTest, RequiredKeysReadAndTheSameKeyDeclaredTwice) {
  std::string host = "unset";
  std::string name;
  AddressType type = AddressType::dns;
  bool& hostPresent = reader.required().add(&host, "host");
  bool& namePresent = reader.required().add(&name, "name");
  bool& typePresent = reader.required().add(&type, "name", addressTypes);
  IniFile::SubSection& sub = load("host = 10.1.2.3:161\nname=ipv6\n");
  EXPECT_TRUE(reader.parse(sub));
  EXPECT_EQ("10.1.2.3:161", host);
  EXPECT_EQ("ipv6", name);
  EXPECT_EQ(AddressType::ipv6, type);
  EXPECT_TRUE(hostPresent && namePresent && typePresent);
  EXPECT_EQ("", errors.str());
}

TEST_F(ReaderTest, RequiredKeyFailuresStopAtTheFirstOne) {
  std::string host = "unset";
  AddressType type = AddressType::dns;
  bool optionalValue = false;
  reader.required().add(&type, "name", addressTypes);
  reader.required().add(&host, "host");
  reader.optional().add(&optionalValue, "flag");

  EXPECT_FALSE(reader.parse(load("\nflag=maybe\n")));
  EXPECT_EQ("snmpagent: required key \"name\" not present, line 1\n", errors.str());
  EXPECT_EQ("unset", host);

  errors.str("");
  EXPECT_FALSE(reader.parse(load("name=ipv4\nname=ipv6\n")));
  EXPECT_EQ(
      "snmpagent: required key \"name\" is duplicated!\n"
      "snmpagent:  first occurence at 2 line.\n"
      "snmpagent:  second occurence at 3 line.\n",
      errors.str());

  errors.str("");
  EXPECT_FALSE(reader.parse(load("name=ipv4\n#\nname=ipv6\nname=1\n")));
  EXPECT_EQ("snmpagent: required key \"name\" specified more than once: 2 4 5 lines\n", errors.str());

  errors.str("");
  EXPECT_FALSE(reader.parse(load("name=IPv4\nhost=x\n")));
  EXPECT_EQ("snmpagent: required key \"name\" has invalid value=\"IPv4\", line 2\n", errors.str());
  EXPECT_EQ(AddressType::dns, type);
  EXPECT_EQ("unset", host);
}

TEST_F(ReaderTest, OptionalKeyFailuresAreReportedAndIgnored) {
  bool flag = true;
  std::string text = "default";
  AddressType type = AddressType::dns;
  bool& flagPresent = reader.optional().add(&flag, "flag");
  bool& textPresent = reader.optional().add(&text, "text");
  bool& typePresent = reader.optional().add(&type, "type", addressTypes);

  EXPECT_TRUE(reader.parse(load("flag=on\ntext=a\ntext=b\ntype=1\ntype=2\ntype=3\n")));
  EXPECT_EQ(
      "snmpagent: optional key \"flag\" has invalid value=\"on\", line 2. Key will be ignored.\n"
      "snmpagent: optional key \"text\" is duplicated!\n"
      "snmpagent:  first occurence at 3 line.\n"
      "snmpagent:  second occurence at 4 line. Both keys will be ignored.\n"
      "snmpagent: optional key \"type\" specified more than once: 5 6 7 lines. All keys will be ignored.\n",
      errors.str());
  EXPECT_TRUE(flag);
  EXPECT_EQ("default", text);
  EXPECT_EQ(AddressType::dns, type);
  EXPECT_FALSE(flagPresent || textPresent || typePresent);

  errors.str("");
  EXPECT_TRUE(reader.parse(load("")));
  EXPECT_EQ("", errors.str());
  EXPECT_FALSE(flagPresent || textPresent || typePresent);
  // Every declared name was fetched, so the subsection now holds it (empty).
  IniFile::SubSection& sub = *file["agent"].begin();
  EXPECT_EQ(3, sub.count());
  EXPECT_EQ(0, sub["type"].count());

  // A later subsection replaces earlier values, an empty one included.
  EXPECT_TRUE(reader.parse(load("text=first\n")));
  EXPECT_EQ("first", text);
  EXPECT_TRUE(reader.parse(load("text=\n")));
  EXPECT_TRUE(textPresent);
  EXPECT_EQ("", text);
}

TEST(KeyValueConversion, BoolWords) {
  bool value = false;
  IniFile::Private::TKeyValue<bool> key(&value, "k", nullptr);
  for (const char* word : {"true", "yes", "enabled", "enable", "1"}) {
    value = false;
    EXPECT_TRUE(key.do_parse(word) && value) << word;
  }
  for (const char* word : {"false", "no", "disabled", "disable", "0"}) {
    value = true;
    EXPECT_TRUE(key.do_parse(word) && !value) << word;
  }
  for (const char* bad : {"on", "off", "True", "", " yes"}) {
    value = true;
    EXPECT_FALSE(key.do_parse(bad)) << bad;
    EXPECT_TRUE(value);
  }
}

TEST(KeyValueConversion, EnumeratedSymbolsThenWholeNumbers) {
  AddressType value = AddressType::ipv4;
  IniFile::Private::TKeyValue<AddressType> key(&value, "k", addressTypes);
  // A symbol wins over the number the same text would give.
  EXPECT_TRUE(key.do_parse("0x10"));
  EXPECT_EQ(AddressType::ipv6, value);
  const std::pair<const char*, int> numbers[] = {{"0x11", 17}, {"017", 15}, {"  -5", -5}, {"+9", 9}, {"0", 0}};
  for (const auto& number : numbers) {
    EXPECT_TRUE(key.do_parse(number.first)) << number.first;
    EXPECT_EQ(number.second, static_cast<int>(value)) << number.first;
  }
  value = AddressType::dns;
  for (const char* bad : {"", "12abc", "ipv4 ", "IPV4", "0x", "089", "5 ", "99999999999999999999"}) {
    EXPECT_FALSE(key.do_parse(bad)) << bad;
    EXPECT_EQ(AddressType::dns, value) << bad;
  }

  IniFile::Private::TKeyValue<AddressType> withoutTable(&value, "k", nullptr);
  EXPECT_FALSE(withoutTable.do_parse("ipv4"));
  EXPECT_TRUE(withoutTable.do_parse("2"));
  EXPECT_EQ(AddressType::ipv6, value);

  Small small = Small::none;
  IniFile::Private::TKeyValue<Small> narrow(&small, "k", nullptr);
  EXPECT_TRUE(narrow.do_parse("-128"));
  EXPECT_EQ(-128, static_cast<int>(small));
  EXPECT_FALSE(narrow.do_parse("200"));
  EXPECT_EQ(-128, static_cast<int>(small));
}

}  // namespace
