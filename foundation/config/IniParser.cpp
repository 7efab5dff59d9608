#include "foundation/config/IniParser.h"

#include "foundation/config/IniFile.h"

namespace IniFile {
namespace Private {

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char Blank = ' ';
constexpr char Tab = '\t';
constexpr char Comment = '#';
}  // namespace

void Parser::feed(char byte) {
  if (byte == CR) return;
  if (mInComment) {
    if (byte != LF) return;
    mInComment = false;
  }
  handle(byte);
  if (byte == LF) ++mLine;
}

void Parser::finish() {
  if (mState == State::ValueStart || mState == State::Value) storeKey();
}

void Parser::handle(char byte) {
  switch (mState) {
    case State::BeforeFirstSection: return beforeFirstSection(byte);
    case State::SectionName: return sectionName(byte);
    case State::AfterHeader: return afterHeader(byte);
    case State::KeyStart: return keyStart(byte);
    case State::KeyName: return keyName(byte);
    case State::ValueStart: return valueStart(byte);
    case State::Value: return value(byte);
  }
}

void Parser::beforeFirstSection(char byte) {
  if (byte == Comment) {
    mInComment = true;
  } else if (byte == '[') {
    mSectionName.clear();
    mState = State::SectionName;
  }
}

void Parser::sectionName(char byte) {
  if (byte == LF) {
    // A header without its "]": the lines below it belong to no subsection.
    mState = State::BeforeFirstSection;
  } else if (byte == ']') {
    mSubSection = &mFile.NewSubSection(mSectionName, mLine);
    mState = State::AfterHeader;
  } else {
    mSectionName += byte;
  }
}

void Parser::afterHeader(char byte) {
  if (byte == LF)
    mState = State::KeyStart;
  else if (byte == Comment)
    mInComment = true;
}

void Parser::keyStart(char byte) {
  if (byte == Comment) {
    mInComment = true;
  } else if (byte == Tab || byte == LF || byte == Blank) {
    return;
  } else if (byte == '[') {
    mSectionName.clear();
    mState = State::SectionName;
  } else {
    mKeyName.assign(1, byte);
    mPendingBlanks = 0;
    mState = State::KeyName;
  }
}

void Parser::keyName(char byte) {
  if (byte == Blank) {
    ++mPendingBlanks;
  } else if (byte == '=') {
    mValue.clear();
    mState = State::ValueStart;
  } else if (byte == LF) {
    // A line without "=" yields no key; the next line starts afresh.
    mKeyName.clear();
    mPendingBlanks = 0;
    mState = State::KeyStart;
  } else {
    appendPendingBlanks(mKeyName);
    mKeyName += byte;
  }
}

void Parser::valueStart(char byte) {
  if (byte == Blank) {
    return;
  } else if (byte == Comment) {
    mInComment = true;
  } else if (byte == LF) {
    storeKey();
    mState = State::KeyStart;
  } else {
    mValue.assign(1, byte);
    mPendingBlanks = 0;
    mState = State::Value;
  }
}

void Parser::value(char byte) {
  if (byte == Blank) {
    ++mPendingBlanks;
  } else if (byte == LF) {
    storeKey();
    mState = State::KeyStart;
  } else if (byte == Comment && mPendingBlanks > 0) {
    // "#" after a blank starts a comment; glued to the value it is text.
    mPendingBlanks = 0;
    mInComment = true;
  } else {
    appendPendingBlanks(mValue);
    mValue += byte;
  }
}

void Parser::appendPendingBlanks(std::string& text) {
  text.append(static_cast<std::string::size_type>(mPendingBlanks), Blank);
  mPendingBlanks = 0;
}

void Parser::storeKey() {
  mSubSection->NewSubKey(mKeyName, mValue, mLine);
  mKeyName.clear();
  mValue.clear();
}

}  // namespace Private
}  // namespace IniFile
