#pragma once
// The configuration file as read: file, sections (all headers of one name),
// subsections (one header occurrence), keys (all lines of one name within a
// subsection) and subkeys (one line's value). Nothing is merged, so a reader
// can report repeated headers and keys with their line numbers.

#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace IniFile {

class File;

namespace Private {

// A model element's place among its siblings, in file order.
template <class T>
class Link {
public:
  T* next() const { return mNext; }
  T* prev() const { return mPrev; }

private:
  template <class>
  friend class Chain;
  T* mNext = nullptr;
  T* mPrev = nullptr;
};

// The owned children of one level, in file order. Elements never move, so
// references handed out stay valid until the level is cleaned.
template <class T>
class Chain {
public:
  Chain() = default;
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;
  ~Chain() { clear(); }

  T& append(std::unique_ptr<T> item) {
    T* raw = item.release();
    raw->mPrev = mLast;
    raw->mNext = nullptr;
    if (mLast)
      mLast->mNext = raw;
    else
      mFirst = raw;
    mLast = raw;
    ++mCount;
    return *raw;
  }
  void clear() {
    while (mFirst) {
      T* item = mFirst;
      mFirst = item->mNext;
      delete item;
    }
    mLast = nullptr;
    mCount = 0;
  }
  int count() const { return mCount; }
  T* first() const { return mFirst; }
  T* last() const { return mLast; }

private:
  int mCount = 0;
  T* mFirst = nullptr;
  T* mLast = nullptr;
};

}  // namespace Private

// Walks one level in file order; the end is the null element.
template <class T>
class GenericIterator {
public:
  explicit GenericIterator(T* current = nullptr) : mCurrent(current) {}
  GenericIterator& operator++() {
    if (mCurrent) mCurrent = mCurrent->next();
    return *this;
  }
  GenericIterator operator++(int) {
    GenericIterator old = *this;
    ++*this;
    return old;
  }
  T& operator*() const { return *mCurrent; }
  T* operator->() const { return mCurrent; }
  bool operator!=(const GenericIterator& other) const { return mCurrent != other.mCurrent; }
  bool operator==(const GenericIterator& other) const { return mCurrent == other.mCurrent; }

private:
  T* mCurrent;
};

// One line's value.
class SubKey : public Private::Link<SubKey> {
public:
  SubKey(const std::string& value, int line) : mValue(value), mLineNo(line) {}

  const std::string& value() const { return mValue; }
  int line() const { return mLineNo; }

  bool GetBool(bool byDefault) const;
  void SetBool(bool value);
  int GetInt(int byDefault) const;
  void SetInt(int value);
  float GetFloat(float byDefault) const;
  void SetFloat(float value);

  void Dump(std::ostream& out) const;

private:
  std::string mValue;
  int mLineNo;
};

// Every occurrence of one key name within a subsection.
class Key : public Private::Link<Key> {
public:
  using iterator = GenericIterator<SubKey>;

  explicit Key(const std::string& name) : mName(name) {}

  const std::string& name() const { return mName; }
  int count() const { return mSubKeys.count(); }
  SubKey* first() const { return mSubKeys.first(); }
  iterator begin() const { return iterator(mSubKeys.first()); }
  iterator end() const { return iterator(); }

  SubKey& NewSubKey(const std::string& value, int line);
  // Gives a key without occurrences one empty occurrence (line -1), so that
  // it can always be read through its first occurrence.
  void CheckEmpty();
  void CleanSubKeys() { mSubKeys.clear(); }
  void Dump(std::ostream& out) const;

private:
  std::string mName;
  Private::Chain<SubKey> mSubKeys;
};

// One occurrence of a section header and the keys below it.
class SubSection : public Private::Link<SubSection> {
public:
  using iterator = GenericIterator<Key>;

  explicit SubSection(int line) : mLineNo(line) {}

  int line() const { return mLineNo; }
  int count() const { return mKeys.count(); }
  iterator begin() const { return iterator(mKeys.first()); }
  iterator end() const { return iterator(); }

  // The key of that name; an absent name gets an empty key appended.
  Key& operator[](const std::string& name);
  Key& NewKey(const std::string& name);
  SubKey& NewSubKey(const std::string& name, const std::string& value, int line);
  void CleanKeys();
  void Dump(std::ostream& out) const;

private:
  int mLineNo;
  Private::Chain<Key> mKeys;
  std::map<std::string, Key*> mIndex;
};

// Every occurrence of one section header name.
class Section : public Private::Link<Section> {
public:
  using iterator = GenericIterator<SubSection>;

  explicit Section(const std::string& name) : mName(name) {}

  const std::string& name() const { return mName; }
  int count() const { return mSubSections.count(); }
  iterator begin() const { return iterator(mSubSections.first()); }
  iterator end() const { return iterator(); }

  SubSection& NewSubSection(int line);
  // Gives a section without occurrences one empty subsection (line -1).
  void CheckEmpty();
  void CleanSubSections() { mSubSections.clear(); }
  void Dump(std::ostream& out) const;

private:
  std::string mName;
  Private::Chain<SubSection> mSubSections;
};

class File {
public:
  using iterator = GenericIterator<Section>;

  File() = default;
  explicit File(const std::string& name);
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads the file into the model; false (and an empty model) when it cannot
  // be opened.
  bool Open(const std::string& name);
  void Close();
  void Sync() {}

  const std::string& name() const { return mFileName; }
  bool isOpen() const { return mOpen; }
  int count() const { return mSections.count(); }
  iterator begin() const { return iterator(mSections.first()); }
  iterator end() const { return iterator(); }

  // The section of that name; an absent name gets an empty section appended,
  // so callers need no existence test.
  Section& operator[](const std::string& name);
  Section& NewSection(const std::string& name);
  SubSection& NewSubSection(const std::string& name, int line);
  void CleanSections();
  void Dump(std::ostream& out) const;

  // Parses a stream as if it were the file (the file name becomes "").
  friend std::istream& operator>>(std::istream& in, File& file);

private:
  void IntOpenStream(std::istream& in);

  std::string mFileName;
  bool mOpen = false;
  Private::Chain<Section> mSections;
  std::map<std::string, Section*> mIndex;
};

}  // namespace IniFile
