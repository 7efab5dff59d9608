#pragma once
// Q.921 frames as both ends of this gateway see them: the decoded fields of
// a received frame, the decoding that checks every octet against the frame's
// length first, and the octets that build a frame to send. Sequence numbers
// are modulo 128 (Q.921 3.5.2), addresses two octets (Q.921 3.2).

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "foundation/packet/Packet.h"

namespace ISDN {

enum class FrameType : uint8_t { I, RR, RNR, REJ, SABME, DISC, UA, DM, UI, FRMR, XID, Unknown };
const char* frame_type_text(FrameType type);
std::ostream& operator<<(std::ostream& out, FrameType type);

// Control field octets (Q.921 3.6, modulo 128), P/F clear.
namespace Control {
constexpr uint8_t RR = 0x01, RNR = 0x05, REJ = 0x09;
constexpr uint8_t SABME = 0x6F, DISC = 0x43, UA = 0x63, DM = 0x0F, UI = 0x03, FRMR = 0x87, XID = 0xAF;
// The P/F bit of an unnumbered control octet.
constexpr uint8_t PF = 0x10;
}  // namespace Control

// Q.921 3.3.3, 3.3.4: TEI 127 addresses every terminal; SAPI 63 carries TEI management.
constexpr uint8_t group_tei = 127;
constexpr uint8_t tei_management_sapi = 63;
// Q.921 5.3.6: the management entity identifier of every TEI management message.
constexpr uint8_t tei_management_entity = 0x0F;

// What a received frame says; `info` points into the received bytes.
struct Frame {
  uint8_t sapi = 0;
  bool cr = false;
  uint8_t tei = 0;
  FrameType type = FrameType::Unknown;
  uint8_t ns = 0;
  uint8_t nr = 0;
  bool pf = false;
  const uint8_t* info = nullptr;
  size_t info_size = 0;
};

enum class Decoded { ok, truncated, malformed };

// Unnumbered frames need 3 octets, I and S frames 4. A wrong EA bit is
// malformed. Control codes this gateway does not know decode as Unknown.
Decoded decode_frame(const uint8_t* data, size_t size, Frame& frame);

// Q.921 5.3.6: the TEI management messages.
enum TeiMessageType : uint8_t {
  IdentityRequest = 1,
  IdentityAssigned = 2,
  IdentityDenied = 3,
  IdentityCheckRequest = 4,
  IdentityCheckResponse = 5,
  IdentityRemove = 6,
  IdentityVerify = 7,
};

struct TeiMessage {
  uint16_t ri = 0;
  uint8_t type = 0;
  uint8_t ai = 0;
};

// The information field of a UI frame as a TEI management message: at
// least 5 octets, the first one the management entity identifier.
bool decode_tei_message(const uint8_t* info, size_t size, TeiMessage& message);

// What the network side routes a layer-3 message by: its call reference
// value (the first octet's 7 bits) and its message type (Q.931 4.3, 4.4).
struct MessageHeader {
  uint8_t call_ref = 0;
  uint8_t type = 0;
};

// The discriminator, a call reference length, one call reference octet and
// the type: false when the message is shorter.
bool read_message_header(const uint8_t* message, size_t size, MessageHeader& header);

// Address octets (Q.921 3.3): SAPI, C/R and EA 0; TEI and EA 1.
inline uint8_t address1(unsigned sapi, bool cr) { return uint8_t(sapi << 2 | (cr ? 2 : 0)); }
inline uint8_t address2(unsigned tei) { return uint8_t(tei << 1 | 1); }

// Appends a whole TEI management frame (UI on SAPI 63, TEI 127) to an empty packet.
void put_tei_frame(Packet& frame, bool cr, uint16_t ri, TeiMessageType type, uint8_t ai);

// A new pool packet with `headroom` octets free in front and the message's
// octets as its data, ready for a header to be pushed.
Packet copy_with_headroom(const Packet& message, unsigned headroom);

}  // namespace ISDN
