#include "foundation/config/IniReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace IniFile {
namespace Private {

namespace {

const Symbol<bool> boolWords[] = {
    {"true", true},      {"false", false}, {"yes", true},      {"no", false}, {"enabled", true},
    {"disabled", false}, {"enable", true}, {"disable", false}, {"1", true},   {"0", false},
};

}  // namespace

bool parseWholeNumber(const char* text, long long minimum, long long maximum, long long& number) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 0);
  // A number that does not fit the target is refused rather than truncated.
  if (*text == '\0' || *end != '\0' || errno == ERANGE || value < minimum || value > maximum) return false;
  number = value;
  return true;
}

bool TKeyValue<bool>::do_parse(const char* text) {
  for (const Symbol<bool>& word : boolWords) {
    if (std::strcmp(word.text, text) == 0) {
      *mTarget = word.value;
      return true;
    }
  }
  return false;
}

bool TKeyValue<std::string>::do_parse(const char* text) {
  *mTarget = text;
  return true;
}

}  // namespace Private

bool& Reader::Field::add(Private::KeyValue* entry) {
  mEntries.emplace_back(entry);
  return entry->present;
}

bool Reader::parse(SubSection& subSection) {
  for (const auto& entry : mRequired.mEntries) {
    if (!parseRequired(*entry, subSection)) return false;
  }
  for (const auto& entry : mOptional.mEntries) parseOptional(*entry, subSection);
  return true;
}

bool Reader::parseRequired(Private::KeyValue& entry, SubSection& subSection) {
  const Key& key = subSection[entry.name()];
  std::ostream& out = *mOut;
  switch (key.count()) {
    case 0:
      out << mPrefix << "required key \"" << entry.name() << "\" not present, line " << subSection.line() << std::endl;
      return false;
    case 1: {
      const SubKey& only = *key.first();
      entry.present = entry.do_parse(only.value().c_str());
      if (!entry.present) {
        out << mPrefix << "required key \"" << entry.name() << "\" has invalid value=\"" << only.value() << "\", line "
            << only.line() << std::endl;
      }
      return entry.present;
    }
    case 2:
      out << mPrefix << "required key \"" << entry.name() << "\" is duplicated!" << std::endl
          << mPrefix << " first occurence at " << key.first()->line() << " line." << std::endl
          << mPrefix << " second occurence at " << key.first()->next()->line() << " line." << std::endl;
      return false;
    default:
      out << mPrefix << "required key \"" << entry.name() << "\" specified more than once:";
      listLines(key);
      out << " lines" << std::endl;
      return false;
  }
}

void Reader::parseOptional(Private::KeyValue& entry, SubSection& subSection) {
  const Key& key = subSection[entry.name()];
  std::ostream& out = *mOut;
  entry.present = false;
  switch (key.count()) {
    case 0: return;
    case 1: {
      const SubKey& only = *key.first();
      entry.present = entry.do_parse(only.value().c_str());
      if (!entry.present) {
        out << mPrefix << "optional key \"" << entry.name() << "\" has invalid value=\"" << only.value() << "\", line "
            << only.line() << ". Key will be ignored." << std::endl;
      }
      return;
    }
    case 2:
      out << mPrefix << "optional key \"" << entry.name() << "\" is duplicated!" << std::endl
          << mPrefix << " first occurence at " << key.first()->line() << " line." << std::endl
          << mPrefix << " second occurence at " << key.first()->next()->line() << " line. Both keys will be ignored."
          << std::endl;
      return;
    default:
      out << mPrefix << "optional key \"" << entry.name() << "\" specified more than once:";
      listLines(key);
      out << " lines. All keys will be ignored." << std::endl;
      return;
  }
}

void Reader::listLines(const Key& key) {
  for (const SubKey& occurrence : key) *mOut << ' ' << occurrence.line();
}

}  // namespace IniFile
