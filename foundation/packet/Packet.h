#pragma once
// Every frame, message and byte stream travels in a Packet: a counted handle
// on one 64 KiB buffer from a static pool of 1024. Room is kept in front of
// the data (headroom) and behind it (tailroom) so layers add headers and
// trailers in place. Handles share a buffer until one of them modifies it
// (copy-on-write). A broken invariant ends the process after a report on
// std::clog; an empty pool throws std::bad_alloc.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "foundation/packet/List_allocator.h"
#include "foundation/packet/Smart_pointer.h"

constexpr unsigned packet_max_size = 65536;

// One pool buffer: headroom, data and tailroom in one array.
class _Packet {
public:
  // Count 0, all room is headroom.
  _Packet() : fdata(buffer + packet_max_size), ftail(fdata) {}
  // Same headroom and length; only the data bytes are copied.
  _Packet(const _Packet& other);
  _Packet& operator=(const _Packet&) = delete;

  unsigned _headroom() const { return unsigned(fdata - buffer); }
  unsigned _length() const { return unsigned(ftail - fdata); }
  unsigned _tailroom() const { return unsigned(buffer + packet_max_size - ftail); }
  bool consistent() const { return buffer <= fdata && fdata <= ftail && ftail <= buffer + packet_max_size; }

  uint32_t count = 0;
  uint8_t* fdata;
  uint8_t* ftail;
  uint8_t buffer[packet_max_size];
};

using Packet_pool = List_allocator<_Packet, 1024, Dummy_critical_section>;

// The process-wide pool of packet buffers.
Packet_pool& packet_pool();

// The counted handle on a pool buffer. Every modifying access goes through
// operator->, which first gives this handle a buffer of its own.
template <>
class Smart_pointer<_Packet> {
public:
  Smart_pointer() = default;
  Smart_pointer(const Smart_pointer& other);
  Smart_pointer& operator=(const Smart_pointer& other);
  // Takes the new buffer before letting go of the old one.
  Smart_pointer& operator=(_Packet* p);
  ~Smart_pointer() { release(); }

  _Packet* operator->() {
    if (!p_) SmartPtrAssertion();
    if (p_->count > 1) prepare_for_modify();
    return p_;
  }
  const _Packet* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Replaces a shared buffer by a private copy (std::bad_alloc when the pool
  // is empty; nothing changes then).
  void prepare_for_modify();
  void release();

private:
  _Packet* p_ = nullptr;
};

// What an assertion report shows of a packet, taken before anything moves.
struct PacketInfo {
  explicit PacketInfo(const _Packet* p);
  void report(std::ostream& os) const;

  bool null;
  unsigned headroom = 0;
  unsigned length = 0;
  unsigned tailroom = 0;
  bool consistent = false;
  std::vector<uint8_t> data;
};

class Packet {
public:
  // Room: on a null handle takes a pool buffer (headroom len, or tailroom len
  // for reserve_tail); on a buffer moves the data window by len.
  void reserve_head(unsigned len);
  void reserve_tail(unsigned len);

  void put(uint8_t v) {
    passert(bool(p_), "null packet");
    passert(p_.get()->_tailroom() >= 1, "len<=_tailroom()");
    _Packet* b = p_.operator->();
    ++b->ftail;
    check("put");
    b->ftail[-1] = v;
  }
  void push(uint8_t v) {
    passert(bool(p_), "null packet");
    passert(p_.get()->_headroom() >= 1, "len<=_headroom()");
    _Packet* b = p_.operator->();
    --b->fdata;
    check("push");
    *b->fdata = v;
  }
  // The first data byte, taken off; 0 from an empty packet.
  uint8_t pull() {
    passert(bool(p_), "null packet");
    if (p_.get()->_length() == 0) return 0;
    return *p_->fdata++;
  }
  uint8_t& operator[](unsigned i) {
    passert(bool(p_), "null packet");
    passert(i < p_.get()->_length(), "index out of range");
    return p_->fdata[i];
  }

  unsigned length() const { return p_ ? p_.get()->_length() : 0; }
  unsigned headroom() const { return p_ ? p_.get()->_headroom() : 0; }
  unsigned tailroom() const { return p_ ? p_.get()->_tailroom() : 0; }
  bool null() const { return !p_; }
  // Read-only view of the data; null for a null handle.
  const uint8_t* data() const { return p_ ? p_.get()->fdata : nullptr; }

  // Writable start of the tailroom, for a read straight into the buffer;
  // extend_tail then takes the bytes read into the data.
  uint8_t* tail();
  void extend_tail(unsigned len);
  // Cuts len bytes off the end of the data.
  void cut_tail(unsigned len);
  // Appends len bytes.
  void put(const void* bytes, unsigned len);

  void put16_b(uint16_t v);   // big-endian at the end
  void put16(uint16_t v);     // little-endian at the end
  void push16_b(uint16_t v);  // big-endian in front
  uint16_t pull16_b();
  uint16_t pull16_l();
  void put(const Packet& other);
  // A length byte (modulo 256), then the characters.
  void put(const std::string& s);
  std::string pull_string();

  // A copy of len bytes from offset start, in a buffer of its own.
  Packet sub(unsigned len, unsigned start) const;

  std::string text() const;
  bool dump(std::ostream& os) const;
  bool dump_context(std::ostream& os);

  // Back to a null handle.
  void release() { p_.release(); }

  void check(const char* op) const {
    const _Packet* b = p_.get();
    if (!b || !b->consistent()) check_slow(op);
  }
  void passert(bool cond, const char* message) const {
    if (!cond) assertion_failed(message);
  }

private:
  [[noreturn]] void assertion_failed(const char* message) const;
  [[noreturn]] void check_slow(const char* op) const;

  Smart_pointer<_Packet> p_;
};

[[noreturn]] void check_fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
