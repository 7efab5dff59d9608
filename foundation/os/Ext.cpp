#include "foundation/os/Ext.h"

#include <iomanip>

namespace ext {

namespace {
// Restores the stream's flags and leaves a blank fill, whatever the writer did.
class FormatGuard {
public:
  explicit FormatGuard(std::ostream& out) : out_(out), flags_(out.flags()) {}
  ~FormatGuard() {
    out_.flags(flags_);
    out_.fill(' ');
  }

private:
  std::ostream& out_;
  std::ios_base::fmtflags flags_;
};
}  // namespace

void OutBufInHex::Put(std::ostream& out) const {
  FormatGuard guard(out);
  out << std::hex << std::uppercase << std::setfill('0');
  for (const unsigned char* p = begin_; p < end_; ++p) out << std::setw(2) << unsigned(*p) << ' ';
}

void OutUnsignedInHex::Put(std::ostream& out) const {
  FormatGuard guard(out);
  out << "0x" << std::hex << std::uppercase << std::setfill('0') << std::setw(width_) << value_;
}

std::ostream& operator<<(std::ostream& out, const OutBufInHex& hex) {
  hex.Put(out);
  return out;
}

std::ostream& operator<<(std::ostream& out, const OutUnsignedInHex& hex) {
  hex.Put(out);
  return out;
}

void Table::add(int width) { widths_.push_back(width < 0 ? 0 : width); }

void Table::init() { resetrow(); }

void Table::resetrow() {
  column_ = 0;
  inRow_ = false;
}

void Table::row(std::ostream& out, const std::string& text) {
  if (column_ >= widths_.size()) return;
  inRow_ = true;
  std::size_t width = std::size_t(widths_[column_]);
  std::string cell = text.substr(0, width);
  std::size_t spare = width - cell.size();
  out << '|' << std::string(spare / 2, ' ') << cell << std::string((spare + 1) / 2, ' ');
  if (++column_ == widths_.size()) {
    out << "|\n";
    inRow_ = false;
  }
}

void Table::finalize(std::ostream& out) {
  while (inRow_ && column_ < widths_.size()) row(out, " ");
}

void Table::delimeter(std::ostream& out) {
  finalize(out);
  if (widths_.empty()) return;
  for (int w : widths_) out << '+' << std::string(std::size_t(w), '-');
  out << "+\n";
}

void Table::gap(std::ostream& out) {
  finalize(out);
  for (int w : widths_) out << '|' << std::string(std::size_t(w), ' ');
  out << "|\n";
}

const Table::Sentry& beginrow(const Table::Sentry& s) {
  s.table().resetrow();
  return s;
}

const Table::Sentry& nextrow(const Table::Sentry& s) {
  s.table().row(s.out(), s.cell().str());
  s.cell().str(std::string());
  return s;
}

const Table::Sentry& delimeter(const Table::Sentry& s) {
  s.table().delimeter(s.out());
  return s;
}

}  // namespace ext
