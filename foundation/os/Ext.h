#pragma once
// Stream tools that give log lines and the status dump their fixed look.
// Each is a small value written with <<; none owns what it refers to.

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace ext {

// The per-object prefix of a log line: the object's PutHeader(std::ostream&).
template <class T>
struct OutObjHeader {
  const T* object;
};

template <class T>
OutObjHeader<T> header(const T* object) {
  return {object};
}

template <class T>
std::ostream& operator<<(std::ostream& out, const OutObjHeader<T>& h) {
  h.object->PutHeader(out);
  return out;
}

// The value between two double quotes.
template <class T>
struct OutQuoted {
  const T& value;
};

template <class T>
OutQuoted<T> quoted(const T& value) {
  return {value};
}

template <class T>
std::ostream& operator<<(std::ostream& out, const OutQuoted<T>& q) {
  return out << '"' << q.value << '"';
}

// Every byte as two upper-case hex digits and a blank ("0A FF ").
class OutBufInHex {
public:
  OutBufInHex(const unsigned char* begin, const unsigned char* end) : begin_(begin), end_(end) {}
  OutBufInHex(const void* data, std::size_t size)
      : begin_(static_cast<const unsigned char*>(data)), end_(begin_ + size) {}
  void Put(std::ostream& out) const;

private:
  const unsigned char* begin_;
  const unsigned char* end_;
};

// "0x" and the value in upper-case hex, zero-padded to width digits.
class OutUnsignedInHex {
public:
  explicit OutUnsignedInHex(unsigned value, int width = 0) : value_(value), width_(width) {}
  void Put(std::ostream& out) const;

private:
  unsigned value_;
  int width_;
};

std::ostream& operator<<(std::ostream& out, const OutBufInHex& hex);
std::ostream& operator<<(std::ostream& out, const OutUnsignedInHex& hex);

// A text table of fixed-width columns: cells are centred and cut to width.
class Table {
public:
  class Sentry;

  template <class... Widths>
  explicit Table(Widths... widths) {
    (add(widths), ...);
  }

  void add(int width);
  void init();
  void resetrow();
  // Writes the text as the next cell of the row; nothing past the last column.
  void row(std::ostream& out, const std::string& text);
  // Completes a started row with blank cells.
  void finalize(std::ostream& out);
  // "+----+---+" (after completing the row).
  void delimeter(std::ostream& out);
  // A row of blank cells (after completing the row).
  void gap(std::ostream& out);

private:
  std::vector<int> widths_;
  unsigned column_ = 0;
  bool inRow_ = false;
};

// Builds cells on a stream: sentry << beginrow << "name" << nextrow << ...
// Its destruction completes a partial row.
class Table::Sentry {
public:
  Sentry(std::ostream& out, Table& table) : out_(out), table_(table) {}
  Sentry(const Sentry&) = delete;
  Sentry& operator=(const Sentry&) = delete;
  ~Sentry() { table_.finalize(out_); }

  std::ostream& out() const { return out_; }
  Table& table() const { return table_; }
  std::ostringstream& cell() const { return cell_; }

private:
  std::ostream& out_;
  Table& table_;
  mutable std::ostringstream cell_;
};

using SentryManipulator = const Table::Sentry& (*)(const Table::Sentry&);

const Table::Sentry& beginrow(const Table::Sentry& s);
const Table::Sentry& nextrow(const Table::Sentry& s);
const Table::Sentry& delimeter(const Table::Sentry& s);

inline const Table::Sentry& operator<<(const Table::Sentry& s, SentryManipulator manipulator) { return manipulator(s); }

// Appends a value to the cell being built, as the stream would write it.
template <class T>
const Table::Sentry& operator<<(const Table::Sentry& s, const T& value) {
  s.cell() << value;
  return s;
}

}  // namespace ext
