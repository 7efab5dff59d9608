#pragma once
// Checks one subsection against a schema declared in code and stores each
// key's converted value in the user's variable. Required keys must occur
// exactly once with a valid value; optional keys at most once. Problems are
// reported on a stream, behind the user's prefix, with line numbers.

#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "foundation/config/IniFile.h"

namespace IniFile {

// One row of a symbol table; a table ends with a row whose text is null.
template <class T>
struct Symbol {
  const char* text;
  T value;
};

namespace Private {

// One declared key.
class KeyValue {
public:
  virtual ~KeyValue() = default;
  virtual const char* name() const = 0;
  // Converts the text into the target; false (target unchanged) when it does not fit.
  virtual bool do_parse(const char* text) = 0;

  bool present = false;
};

// An enumerated key: a symbol of the table, else a whole number (decimal,
// "0x" hexadecimal or leading-0 octal) that uses up the non-empty text.
template <class T>
class TKeyValue : public KeyValue {
  static_assert(std::is_enum<T>::value, "configuration keys are bool, std::string or enumerated");

public:
  TKeyValue(T* target, const char* name, const Symbol<T>* symbols) : mTarget(target), mName(name), mSymbols(symbols) {}

  const char* name() const override { return mName; }
  bool do_parse(const char* text) override;

private:
  T* mTarget;
  const char* mName;
  const Symbol<T>* mSymbols;
};

// Reads a whole number in automatic base that fits the given range.
bool parseWholeNumber(const char* text, long long minimum, long long maximum, long long& number);

template <class T>
bool TKeyValue<T>::do_parse(const char* text) {
  for (const Symbol<T>* row = mSymbols; row && row->text; ++row) {
    if (std::string(row->text) == text) {
      *mTarget = row->value;
      return true;
    }
  }
  using Underlying = typename std::underlying_type<T>::type;
  long long number;
  if (!parseWholeNumber(text, std::numeric_limits<Underlying>::min(), std::numeric_limits<Underlying>::max(), number))
    return false;
  *mTarget = static_cast<T>(static_cast<Underlying>(number));
  return true;
}

// "true", "false", "yes", "no", "enabled", "disabled", "enable", "disable", "1", "0".
template <>
class TKeyValue<bool> : public KeyValue {
public:
  TKeyValue(bool* target, const char* name, const Symbol<bool>*) : mTarget(target), mName(name) {}
  const char* name() const override { return mName; }
  bool do_parse(const char* text) override;

private:
  bool* mTarget;
  const char* mName;
};

template <>
class TKeyValue<std::string> : public KeyValue {
public:
  TKeyValue(std::string* target, const char* name, const Symbol<std::string>*) : mTarget(target), mName(name) {}
  const char* name() const override { return mName; }
  bool do_parse(const char* text) override;

private:
  std::string* mTarget;
  const char* mName;
};

}  // namespace Private

class Reader {
public:
  // The declared keys of one kind, in declaration order.
  class Field {
  public:
    // The name is not copied: pass a literal. The result is the key's
    // present flag, set by parse to whether a valid value was read.
    template <class T>
    bool& add(T* target, const char* name, const Symbol<T>* symbols = nullptr) {
      return add(new Private::TKeyValue<T>(target, name, symbols));
    }
    bool& add(Private::KeyValue* entry);

  private:
    friend class Reader;
    std::vector<std::unique_ptr<Private::KeyValue>> mEntries;
  };

  Reader(const std::string& prefix, std::ostream& out) : mPrefix(prefix), mOut(&out) {}

  Field& required() { return mRequired; }
  Field& optional() { return mOptional; }

  // True when every required key was read; a later subsection's values
  // replace an earlier one's.
  bool parse(SubSection& subSection);

private:
  bool parseRequired(Private::KeyValue& entry, SubSection& subSection);
  void parseOptional(Private::KeyValue& entry, SubSection& subSection);
  void listLines(const Key& key);

  Field mRequired;
  Field mOptional;
  std::string mPrefix;
  std::ostream* mOut;
};

}  // namespace IniFile
