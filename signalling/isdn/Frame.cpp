#include "signalling/isdn/Frame.h"

#include <ostream>

#include "signalling/isdn/Reader.h"

namespace ISDN {

namespace {

const char* const frame_type_names[] = {"I",  "RR", "RNR", "REJ",  "SABME", "DISC",
                                        "UA", "DM", "UI",  "FRMR", "XID",   "unknown"};

struct UnnumberedCode {
  uint8_t control;
  FrameType type;
};

const UnnumberedCode unnumbered_codes[] = {
    {Control::SABME, FrameType::SABME}, {Control::DISC, FrameType::DISC}, {Control::UA, FrameType::UA},
    {Control::DM, FrameType::DM},       {Control::UI, FrameType::UI},     {Control::FRMR, FrameType::FRMR},
    {Control::XID, FrameType::XID},
};

const FrameType supervisory_types[] = {FrameType::RR, FrameType::RNR, FrameType::REJ, FrameType::Unknown};

}  // namespace

const char* frame_type_text(FrameType type) {
  const unsigned i = unsigned(type);
  return i < sizeof frame_type_names / sizeof *frame_type_names ? frame_type_names[i] : "unknown";
}

std::ostream& operator<<(std::ostream& out, FrameType type) { return out << frame_type_text(type); }

Decoded decode_frame(const uint8_t* data, size_t size, Frame& frame) {
  Reader in(data, size);
  const uint8_t a1 = in.u8();
  const uint8_t a2 = in.u8();
  const uint8_t control = in.u8();
  if (!in.ok()) return Decoded::truncated;
  if ((a1 & 1) != 0 || (a2 & 1) == 0) return Decoded::malformed;

  Frame f;
  f.sapi = a1 >> 2;
  f.cr = (a1 & 2) != 0;
  f.tei = a2 >> 1;
  if ((control & 1) == 0 || (control & 3) == 1) {
    // I and S frames carry a second control octet (Q.921 3.4, modulo 128).
    const uint8_t second = in.u8();
    if (!in.ok()) return Decoded::truncated;
    f.nr = second >> 1;
    f.pf = (second & 1) != 0;
    if ((control & 1) == 0) {
      f.type = FrameType::I;
      f.ns = control >> 1;
    } else {
      f.type = supervisory_types[(control >> 2) & 3];
    }
  } else {
    f.pf = (control & Control::PF) != 0;
    const uint8_t code = control & uint8_t(~Control::PF);
    for (const UnnumberedCode& u : unnumbered_codes)
      if (u.control == code) f.type = u.type;
  }
  f.info = in.here();
  f.info_size = in.remaining();
  frame = f;
  return Decoded::ok;
}

bool decode_tei_message(const uint8_t* info, size_t size, TeiMessage& message) {
  Reader in(info, size);
  if (in.u8() != tei_management_entity) return false;
  TeiMessage m;
  m.ri = in.u16_le();
  m.type = in.u8();
  m.ai = in.u8() >> 1;
  if (!in.ok()) return false;
  message = m;
  return true;
}

bool read_message_header(const uint8_t* message, size_t size, MessageHeader& header) {
  Reader in(message, size);
  in.u8();
  in.u8();
  MessageHeader h;
  h.call_ref = in.u8() & 0x7F;
  h.type = in.u8();
  if (!in.ok()) return false;
  header = h;
  return true;
}

void put_tei_frame(Packet& frame, bool cr, uint16_t ri, TeiMessageType type, uint8_t ai) {
  const uint8_t octets[] = {address1(tei_management_sapi, cr),
                            address2(group_tei),
                            Control::UI,
                            tei_management_entity,
                            uint8_t(ri & 0xFF),
                            uint8_t(ri >> 8),
                            type,
                            uint8_t(ai << 1 | 1)};
  frame.put(octets, sizeof octets);
}

Packet copy_with_headroom(const Packet& message, unsigned headroom) {
  Packet frame;
  frame.reserve_head(headroom);
  if (message.length() > 0) frame.put(message.data(), message.length());
  return frame;
}

}  // namespace ISDN
