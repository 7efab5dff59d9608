#pragma once
// The byte-by-byte reader of the configuration text. It never fails:
// malformed lines are dropped and the rest is kept.

#include <string>

namespace IniFile {

class File;
class SubSection;

namespace Private {

class Parser {
public:
  explicit Parser(File& file) : mFile(file) {}

  void feed(char byte);
  // Stores a key line that the end of input cut short.
  void finish();

private:
  enum class State { BeforeFirstSection, SectionName, AfterHeader, KeyStart, KeyName, ValueStart, Value };

  void handle(char byte);
  void beforeFirstSection(char byte);
  void sectionName(char byte);
  void afterHeader(char byte);
  void keyStart(char byte);
  void keyName(char byte);
  void valueStart(char byte);
  void value(char byte);

  void appendPendingBlanks(std::string& text);
  void storeKey();

  File& mFile;
  State mState = State::BeforeFirstSection;
  std::string mSectionName;
  std::string mKeyName;
  std::string mValue;
  int mPendingBlanks = 0;
  bool mInComment = false;
  SubSection* mSubSection = nullptr;
  int mLine = 1;
};

}  // namespace Private
}  // namespace IniFile
