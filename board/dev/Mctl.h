#pragma once
// The modem control device "/dev/mctl", which carries every request on the
// board's DSP modems: enumeration, allocation, the modem's TDM channel, data
// modes, DSP parameters, answer and originate. An open file allocates at most
// one modem, freed when the file's last descriptor closes. "/dev/mdm" plus
// the modem's number is the modem's data device; the daemon never opens it,
// it only names it to the PPP daemon.
//
// Also the generic-HDLC network interfaces "hdlc0".."hdlc255" that serve as
// digital modems, reached with SIOCWANDEV on a datagram socket
// (Board::interfaceIoctl).

#include <net/if.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "board/Paths.h"
#include "board/Record.h"

namespace Board {
namespace Dev {
namespace Mctl {

constexpr const char* Path = Paths::ModemCtl;
constexpr const char* DataPath = Paths::ModemData;

// Raw request numbers (type byte 0xBB); they carry no record size.
// Plain numbers: the previous result (-1 first) gives the next modem, ENODEV at the end.
constexpr uint32_t Enumerate = 0xBB0C;
constexpr uint32_t Allocate = 0xBB0B;      // plain number 0: the modem's number
constexpr uint32_t Timeslot = 0xBB15;      // plain number 0: the allocated modem's TDM channel
constexpr uint32_t SetDdm = 0xBB16;        // ModemWord: the data-mode flags
constexpr uint32_t ResetDmp = 0xBB3A;      // ModemWord: -1
constexpr uint32_t SetDmp = 0xBB38;        // Parameter
constexpr uint32_t Answer = 0xBB03;        // ModemWord: -1
constexpr uint32_t Originate = 0xBB04;     // ModemWord: -1
constexpr uint32_t OriginateFax = 0xBB40;  // ModemWord: -1; a fax call without a program

// {modem, word}
namespace ModemWord {
constexpr size_t Size = 8;
constexpr Field<int32_t> Modem{0};
constexpr Field<int32_t> Word{4};
}  // namespace ModemWord

// {modem, offset, value}: one DSP modem parameter.
namespace Parameter {
constexpr size_t Size = 12;
constexpr Field<int32_t> Modem{0};
constexpr Field<int32_t> Offset{4};
constexpr Field<int32_t> Value{8};
}  // namespace Parameter

// Digital data modes (SetDdm).
enum DataMode : uint32_t { V110 = 0x1, EightBit = 0x2, SevenBit = 0x4 };

}  // namespace Mctl

namespace HdlcIface {

// "hdlc" and 0..255.
constexpr const char* NamePattern = "hdlc%d";
constexpr int Count = 256;

// SIOCWANDEV settings types (Linux generic HDLC).
constexpr uint32_t GetIface = 0x0001;
constexpr uint32_t ProtoHdlc = 0x2000;
constexpr uint32_t ProtoPpp = 0x2001;

// The interface settings IF_GET_IFACE returns: 32-bit words, the fourth
// being the interface's TDM channel.
constexpr size_t IfaceSize = 128;
constexpr Field<int32_t> Channel{12};
// A protocol switch passes one zeroed word.
constexpr size_t ProtoSize = 4;

// The system's settings record inside struct ifreq (struct if_settings): the
// type, the size of the buffer and the buffer.
struct Settings {
  uint32_t type;
  uint32_t size;
  void* data;
};
static_assert(sizeof(Settings) <= sizeof(ifreq) - IFNAMSIZ, "the settings lie in the request's union");

inline void putSettings(ifreq& request, const Settings& s) { std::memcpy(&request.ifr_ifru, &s, sizeof s); }
inline Settings settings(const ifreq& request) {
  Settings s;
  std::memcpy(&s, &request.ifr_ifru, sizeof s);
  return s;
}

}  // namespace HdlcIface
}  // namespace Dev
}  // namespace Board
