#include "foundation/config/IniFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "foundation/config/IniParser.h"

namespace IniFile {

bool SubKey::GetBool(bool byDefault) const {
  if (mValue == "true" || mValue == "yes" || mValue == "1" || mValue == "on") return true;
  if (mValue == "false" || mValue == "no" || mValue == "0" || mValue == "off") return false;
  return byDefault;
}

void SubKey::SetBool(bool value) { mValue = value ? "yes" : "no"; }

int SubKey::GetInt(int byDefault) const {
  int value;
  return std::sscanf(mValue.c_str(), "%d", &value) == 1 ? value : byDefault;
}

void SubKey::SetInt(int value) { mValue = std::to_string(value); }

float SubKey::GetFloat(float byDefault) const {
  float value;
  return std::sscanf(mValue.c_str(), "%f", &value) == 1 ? value : byDefault;
}

void SubKey::SetFloat(float value) {
  std::ostringstream text;
  text << value;
  mValue = text.str();
}

void SubKey::Dump(std::ostream& out) const {
  out << "dumping IniFile::SubKey\n"
      << "mValue=\"" << mValue << "\"\n"
      << "mLineNo=" << mLineNo << '\n';
}

SubKey& Key::NewSubKey(const std::string& value, int line) {
  return mSubKeys.append(std::make_unique<SubKey>(value, line));
}

void Key::CheckEmpty() {
  if (mSubKeys.count() == 0) NewSubKey("", -1);
}

void Key::Dump(std::ostream& out) const {
  out << "dumping IniFile::Key\n"
      << "mName=\"" << mName << "\"\n"
      << "mSubKeyCount=" << mSubKeys.count() << '\n';
  for (const SubKey& subKey : *this) subKey.Dump(out);
}

Key& SubSection::operator[](const std::string& name) {
  auto found = mIndex.find(name);
  return found != mIndex.end() ? *found->second : NewKey(name);
}

Key& SubSection::NewKey(const std::string& name) {
  Key& key = mKeys.append(std::make_unique<Key>(name));
  mIndex.emplace(name, &key);
  return key;
}

SubKey& SubSection::NewSubKey(const std::string& name, const std::string& value, int line) {
  return (*this)[name].NewSubKey(value, line);
}

void SubSection::CleanKeys() {
  mIndex.clear();
  mKeys.clear();
}

void SubSection::Dump(std::ostream& out) const {
  out << "dumping IniFile::SubSection\n"
      << "mLineNo=\"" << mLineNo << "\"\n"
      << "mKeyCount=" << mKeys.count() << '\n';
  for (const Key& key : *this) key.Dump(out);
}

SubSection& Section::NewSubSection(int line) { return mSubSections.append(std::make_unique<SubSection>(line)); }

void Section::CheckEmpty() {
  if (mSubSections.count() == 0) NewSubSection(-1);
}

void Section::Dump(std::ostream& out) const {
  out << "dumping IniFile::Section\n"
      << "mName=\"" << mName << "\"\n"
      << "mSubSectionCount=" << mSubSections.count() << '\n';
  for (const SubSection& subSection : *this) subSection.Dump(out);
}

File::File(const std::string& name) { Open(name); }

bool File::Open(const std::string& name) {
  Close();
  mFileName = name;
  std::ifstream in(name, std::ios::in | std::ios::binary);
  if (in.is_open()) IntOpenStream(in);
  return mOpen;
}

void File::Close() {
  if (!mOpen) return;
  CleanSections();
  mOpen = false;
}

Section& File::operator[](const std::string& name) {
  auto found = mIndex.find(name);
  return found != mIndex.end() ? *found->second : NewSection(name);
}

Section& File::NewSection(const std::string& name) {
  Section& section = mSections.append(std::make_unique<Section>(name));
  mIndex.emplace(name, &section);
  return section;
}

SubSection& File::NewSubSection(const std::string& name, int line) { return (*this)[name].NewSubSection(line); }

void File::CleanSections() {
  mIndex.clear();
  mSections.clear();
}

void File::Dump(std::ostream& out) const {
  out << "dumping IniFile::File\n"
      << "mFileName=\"" << mFileName << "\"\n"
      << '\n'
      << "mSectionCount=" << mSections.count() << '\n';
  for (const Section& section : *this) section.Dump(out);
}

void File::IntOpenStream(std::istream& in) {
  mOpen = true;
  Private::Parser parser(*this);
  for (std::istreambuf_iterator<char> byte(in), end; byte != end; ++byte) parser.feed(*byte);
  parser.finish();
}

std::istream& operator>>(std::istream& in, File& file) {
  file.Close();
  file.mFileName.clear();
  file.IntOpenStream(in);
  return in;
}

}  // namespace IniFile
