#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>

#include "foundation/config/IniReader.h"
#include "testing/Golden.h"

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

  // Runs golden/reader-<name>.txt: each input is a subsection's text ("\n"
  // ends a line), answered by the parse's result, the lines reported, the
  // subsection's key count and the values as `values` shows them.
  ::testing::AssertionResult script(const std::string& name, const std::function<std::string()>& values) {
    return Testing::matchesScript("foundation/config/tests/golden/reader-" + name + ".txt", [&](std::string text) {
      for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
      errors.str("");
      const bool parsed = reader.parse(load(text));
      return std::string(parsed ? "parsed" : "refused") + "\n" + errors.str() + "keys " +
             std::to_string(file["agent"].begin()->count()) + ": " + values() + "\n";
    });
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
  EXPECT_TRUE(script("required", [&] {
    return "type=" + std::to_string(int(type)) + " host=" + host + " flag=" + std::to_string(optionalValue);
  }));
}

TEST_F(ReaderTest, OptionalKeyFailuresAreReportedAndIgnored) {
  bool flag = true;
  std::string text = "default";
  AddressType type = AddressType::dns;
  bool& flagPresent = reader.optional().add(&flag, "flag");
  bool& textPresent = reader.optional().add(&text, "text");
  bool& typePresent = reader.optional().add(&type, "type", addressTypes);
  // Every declared name is fetched, so the subsection holds it (empty) after a parse.
  EXPECT_TRUE(script("optional", [&] {
    return "flag=" + std::to_string(flag) + (flagPresent ? " (present)" : "") + " text=" + text +
           (textPresent ? " (present)" : "") + " type=" + std::to_string(int(type)) + (typePresent ? " (present)" : "");
  }));
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
