#include "foundation/packet/Packet.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

void SmartPtrAssertion() {
  std::clog << "SMART POINTER ASSERTION!" << std::endl;
  std::terminate();
}

void SharedPtrAssertion() {
  std::clog << "SHARED POINTER ASSERTION!" << std::endl;
  std::terminate();
}

void check_fail(const char* format, ...) {
  char message[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::clog << "packet check fail" << std::endl << message << std::endl << "terminate." << std::endl;
  std::terminate();
}

Packet_pool& packet_pool() {
  static Packet_pool pool;
  return pool;
}

namespace {

// Builds the pool before main, as every other static may already hold packets.
const Packet_pool& pool_at_start = packet_pool();

_Packet* new_buffer() {
  void* block = packet_pool().allocate();
  if (!block) throw std::bad_alloc();
  return static_cast<_Packet*>(block);
}

void write_hex_bytes(std::ostream& os, const uint8_t* p, unsigned n) {
  std::ios_base::fmtflags flags = os.flags();
  os << std::hex;
  for (unsigned i = 0; i < n; ++i) os << ' ' << unsigned(p[i]);
  os.flags(flags);
}

}  // namespace

_Packet::_Packet(const _Packet& other) : fdata(buffer + other._headroom()), ftail(fdata + other._length()) {
  std::memcpy(fdata, other.fdata, other._length());
}

Smart_pointer<_Packet>::Smart_pointer(const Smart_pointer& other) : p_(other.p_) {
  if (p_) ++p_->count;
}

Smart_pointer<_Packet>& Smart_pointer<_Packet>::operator=(const Smart_pointer& other) { return *this = other.p_; }

Smart_pointer<_Packet>& Smart_pointer<_Packet>::operator=(_Packet* p) {
  if (p) ++p->count;
  release();
  p_ = p;
  return *this;
}

void Smart_pointer<_Packet>::prepare_for_modify() {
  if (!p_ || p_->count <= 1) return;
  _Packet* copy = new (new_buffer()) _Packet(*p_);
  release();
  p_ = copy;
  p_->count = 1;
}

void Smart_pointer<_Packet>::release() {
  if (!p_) return;
  if (p_->count != 0 && --p_->count == 0) packet_pool().deallocate(p_);
  p_ = nullptr;
}

PacketInfo::PacketInfo(const _Packet* p) : null(p == nullptr) {
  if (!p) return;
  consistent = p->consistent();
  headroom = p->_headroom();
  length = p->_length();
  tailroom = p->_tailroom();
  if (consistent) data.assign(p->fdata, p->ftail);
}

void PacketInfo::report(std::ostream& os) const {
  if (null) {
    os << "(null)" << std::endl;
    return;
  }
  os << "head=" << headroom << ", data=" << length << ", tail=" << tailroom << std::endl;
  if (!consistent) {
    os << "can't dump packet: wrong pointers" << std::endl;
    return;
  }
  if (data.empty()) return;
  os << "dump:" << std::endl;
  write_hex_bytes(os, data.data(), unsigned(data.size()));
  os << std::endl;
}

void Packet::assertion_failed(const char* message) const {
  std::clog << "PACKET ASSERTION FAILED!" << std::endl << message << std::endl;
  PacketInfo(p_.get()).report(std::clog);
  std::clog << std::endl;
  std::terminate();
}

void Packet::check_slow(const char* op) const {
  const _Packet* b = p_.get();
  if (!b) check_fail("after \"%s\" packet is null", op);
  const uint8_t* end = b->buffer + packet_max_size;
  if (b->fdata < b->buffer || b->fdata > end) check_fail("after \"%s\" fdata invalid", op);
  if (b->ftail < b->buffer || b->ftail > end) check_fail("after \"%s\" ftail invalid", op);
  check_fail("after \"%s\" fdata>ftail", op);
}

void Packet::reserve_head(unsigned len) {
  passert(len <= packet_max_size, "length>packet_max_size");
  if (!p_) {
    _Packet* b = new (new_buffer()) _Packet;
    b->fdata = b->ftail = b->buffer + len;
    p_ = b;
    return;
  }
  passert(p_.get()->_headroom() + len <= packet_max_size, "new_len>packet_max_size");
  passert(len <= p_.get()->_tailroom(), "len<=_tailroom()");
  _Packet* b = p_.operator->();
  b->fdata += len;
  b->ftail += len;
}

void Packet::reserve_tail(unsigned len) {
  passert(len <= packet_max_size, "len>packet_max_size");
  if (!p_) {
    _Packet* b = new (new_buffer()) _Packet;
    b->fdata = b->ftail = b->buffer + packet_max_size - len;
    p_ = b;
    return;
  }
  passert(p_.get()->_tailroom() + len <= packet_max_size, "_tailroom()+len <= packet_max_size");
  passert(len <= p_.get()->_headroom(), "len<=_headroom()");
  _Packet* b = p_.operator->();
  b->fdata -= len;
  b->ftail -= len;
}

uint8_t* Packet::tail() {
  passert(bool(p_), "null packet");
  return p_->ftail;
}

void Packet::extend_tail(unsigned len) {
  passert(bool(p_), "null packet");
  passert(len <= p_.get()->_tailroom(), "len<=_tailroom()");
  p_->ftail += len;
  check("put");
}

void Packet::cut_tail(unsigned len) {
  passert(bool(p_), "null packet");
  passert(len <= p_.get()->_length(), "len<=_length()");
  p_->ftail -= len;
}

void Packet::put(const void* bytes, unsigned len) {
  passert(bool(p_), "null packet");
  passert(len <= p_.get()->_tailroom(), "len<=_tailroom()");
  std::memcpy(tail(), bytes, len);
  extend_tail(len);
}

void Packet::put16_b(uint16_t v) {
  put(uint8_t(v >> 8));
  put(uint8_t(v & 0xFF));
}

void Packet::put16(uint16_t v) {
  put(uint8_t(v & 0xFF));
  put(uint8_t(v >> 8));
}

void Packet::push16_b(uint16_t v) {
  push(uint8_t(v & 0xFF));
  push(uint8_t(v >> 8));
}

uint16_t Packet::pull16_b() {
  unsigned high = pull();
  return uint16_t(high * 256 + pull());
}

uint16_t Packet::pull16_l() {
  unsigned low = pull();
  return uint16_t(low + pull() * 256);
}

void Packet::put(const Packet& other) {
  const unsigned n = other.length();
  for (unsigned i = 0; i < n; ++i) put(other.data()[i]);
}

void Packet::put(const std::string& s) {
  put(uint8_t(s.size() % 256));
  for (char c : s) put(uint8_t(c));
}

std::string Packet::pull_string() {
  unsigned n = pull();
  std::string s;
  for (unsigned i = 0; i < n; ++i) s += char(pull());
  return s;
}

Packet Packet::sub(unsigned len, unsigned start) const {
  passert(bool(p_), "null packet");
  passert(start <= length(), "start<=_length()");
  passert(start + len <= length(), "start+len<=_length()");
  Packet result(*this);
  _Packet* b = result.p_.operator->();
  b->fdata += start;
  b->ftail = b->fdata + len;
  return result;
}

std::string Packet::text() const {
  const _Packet* b = p_.get();
  if (!b) return "(null)";
  if (!b->consistent()) return "(bad)";
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(b->_length() * 3);
  for (const uint8_t* p = b->fdata; p != b->ftail; ++p) {
    if (p != b->fdata) s += ' ';
    s += digits[*p >> 4];
    s += digits[*p & 0xF];
  }
  return s;
}

bool Packet::dump(std::ostream& os) const {
  const _Packet* b = p_.get();
  if (!b) return false;
  os << "head=" << b->_headroom() << ", data=" << b->_length() << ", tail=" << b->_tailroom();
  return true;
}

bool Packet::dump_context(std::ostream& os) {
  if (!p_ || !p_.get()->consistent()) return false;
  if (p_.get()->_length() == 0) return true;
  const _Packet* b = p_.operator->();
  os << "dump:";
  write_hex_bytes(os, b->fdata, b->_length());
  return true;
}
