#pragma once
// The records of the PPP authentication link between the PPP daemons'
// authentication plug-in and the gateway, framed by their length word. Every
// field is a 32-bit big-endian word; a record starts with the header
// {length, type, session}, the session being the DSP modem's number (-1 for
// a digital modem).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "board/Record.h"

namespace PppAuth {

constexpr size_t MinLength = 12;  // the header: shorter records carry no type nor session
constexpr size_t MaxLength = 512;

enum Type : uint32_t { Request = 1, Accept = 2, Ip = 3, Accounting = 4 };

namespace Header {
constexpr Board::Field<uint32_t> Length{0};
constexpr Board::Field<uint32_t> Type{4};
constexpr Board::Field<int32_t> Session{8};
}  // namespace Header

// Plug-in to gateway: the user's name and password, each ended by a zero byte.
namespace RequestRecord {
constexpr size_t Size = 140;
constexpr Board::Bytes UserName{12, 64};
constexpr Board::Bytes Password{76, 64};
}  // namespace RequestRecord

// Gateway to plug-in: the login is accepted.
namespace AcceptRecord {
constexpr size_t Size = 16;
constexpr Board::Field<uint32_t> Result{12};
constexpr uint32_t Accepted = 1;
}  // namespace AcceptRecord

// Gateway to plug-in: the link's addresses (IPv4, network order) and MTU.
namespace IpRecord {
constexpr size_t Size = 36;
constexpr Board::Field<uint32_t> Reserved{12};
constexpr Board::Field<uint32_t> RemoteAddress{16};
constexpr Board::Field<uint32_t> Netmask{20};
constexpr Board::Field<uint32_t> Gateway{24};
constexpr Board::Field<uint32_t> Dns{28};
constexpr Board::Field<int32_t> Mtu{32};
}  // namespace IpRecord

// Plug-in to gateway at the end of the call: 64-bit counters, high word first.
namespace AccountingRecord {
constexpr size_t Size = 64;
constexpr size_t OctetsOut = 24;
constexpr size_t OctetsIn = 32;
constexpr size_t PacketsOut = 40;
constexpr size_t PacketsIn = 48;
constexpr Board::Field<uint32_t> Time{56};
}  // namespace AccountingRecord

}  // namespace PppAuth

// One complete record as it crosses the link.
class attr {
public:
  attr() = default;
  // The first `size` bytes (at most MaxLength) of `data`.
  attr(const uint8_t* data, size_t size);
  // The accept record and the address record for a session; addresses as dotted text.
  static attr accept(int32_t session);
  static attr ip(int32_t session, const std::string& remote, const std::string& netmask, const std::string& gateway,
                 const std::string& dns, int32_t mtu);

  size_t length() const { return size_; }
  uint32_t type() const;
  int32_t session() const;
  const uint8_t* data() const { return bytes_.data(); }
  Board::RecordReader reader() const { return Board::RecordReader(bytes_.data(), size_); }

private:
  static attr withHeader(size_t length, uint32_t type, int32_t session);
  Board::RecordWriter writer() { return Board::RecordWriter(bytes_.data(), size_); }

  std::array<uint8_t, PppAuth::MaxLength> bytes_{};
  size_t size_ = 0;
};

// A request record, read: texts cut at their zero byte or at 64 bytes.
struct voauth {
  std::string username;
  std::string password;
  explicit voauth(const attr& record);
};

// An accounting record, read.
struct voacct {
  struct Counter {
    uint32_t high;
    uint32_t low;
  };
  Counter octetsOut;
  Counter octetsIn;
  Counter packetsOut;
  Counter packetsIn;
  uint32_t time;
  explicit voacct(const attr& record);
};
