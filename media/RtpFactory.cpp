#include "media/RtpFactory.h"

#include <arpa/inet.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>

#include "board/DevicePaths.h"
#include "board/dev/Voice.h"
#include "foundation/os/Ext.h"
#include "foundation/os/Fd.h"
#include "hardware/VoiceDevice.h"
#include "media/RtpSlot.h"

namespace {

namespace Voice = Board::Dev::Voice;
using TERM::Payload;

struct PayloadType {
  Payload::NamedNumber payload;
  int pt;
};

// RFC 3551 payload types; the two board-internal G.711 variants have their own.
constexpr PayloadType PayloadTypes[] = {
    {Payload::ptG711_Alaw, 8},      {Payload::ptG711_Ulaw, 0},      {Payload::ptG723, 4},  {Payload::ptG729, 18},
    {Payload::ptG711mcc_Alaw, 136}, {Payload::ptG711mcc_Ulaw, 128}, {Payload::ptG728, 15},
};

// The counters the voice driver's channel count fills, in the order asked.
struct Counter {
  Voice::ChannelType type;
  int RtpFactory::*counter;
};

uint32_t seed() {
  uint32_t value;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) == ssize_t(sizeof value)) return value;
  return uint32_t(std::time(nullptr)) ^ (uint32_t(::getpid()) << 16);
}

// Dotted IPv4 text as inet_addr(3) reads it, told apart from 255.255.255.255.
bool parseAddress(const std::string& text, uint32_t& address) {
  in_addr a;
  if (::inet_aton(text.c_str(), &a) == 0) return false;
  address = a.s_addr;
  return true;
}

}  // namespace

RtpFactory& RtpFactory::instance() {
  static RtpFactory factory("rtp");
  return factory;
}

RtpFactory::RtpFactory(const char* slotName) : slotName(slotName), ssrcSource(seed()) { IQuery(); }

void RtpFactory::PutHeader(std::ostream& out) const {
  out << slotName << "[" << rtp_g723 << "," << rtp_g729 << "," << rtp_g711 << "," << universal << "]: ";
}

int RtpFactory::translateCodec(Payload::NamedNumber payload) {
  for (const PayloadType& t : PayloadTypes) {
    if (t.payload == payload) return t.pt;
  }
  return 0;
}

int RtpFactory::translateCodec(Payload::NamedNumber payload, Payload::NamedNumber override) {
  const bool g711 = override == Payload::ptG711_Alaw || override == Payload::ptG711_Ulaw;
  return translateCodec(override != payload && g711 ? override : payload);
}

bool RtpFactory::knownPayload(Payload::NamedNumber payload) {
  for (const PayloadType& t : PayloadTypes) {
    if (t.payload == payload) return true;
  }
  return false;
}

Slot* RtpFactory::INewSlot(const LGCP::CreateParams& create) {
  if (create.currentSelection() != LGCP::CreateParams::e_rtp) return nullptr;
  const LGCP::CreateRtpParams& request = create.get_rtp();
  const TERM::RtpParams& rtp = request.get_codecRTP();
  if (rtp.hasOptionalField(TERM::RtpParams::o_radio)) return nullptr;
  std::clog << ext::header(this) << "do create rtp: " << request.asValueNotation() << std::endl;

  rtp_connection_params params;
  if (!SessionParams(request, params)) return nullptr;
  Fd rtcp = RtcpSocket(uint16_t(params.src_port + 1));
  if (!rtcp) return nullptr;
  rtp_channel_info info;
  Fd session = BeginSession(params, info);
  if (!session) return nullptr;

  RtpSlot* slot = new RtpSlot(info.tdm, session, params);
  StartRtcpAndEcho(*slot, rtcp, params, rtp);
  return slot;
}

void RtpFactory::StartRtcpAndEcho(RtpSlot& slot, Fd& rtcp, const rtp_connection_params& params,
                                  const TERM::RtpParams& rtp) {
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_addr.s_addr = params.remote_addr;
  remote.sin_port = htons(uint16_t(params.remote_port + 1));
  slot.startRTPC(rtcp, remote);
  if (rtp.hasOptionalField(TERM::RtpParams::o_echo) && rtp.get_echo().get_suppressor().getValue()) {
    slot.echoCancel(rtp.get_echo().get_canceller().getValue());
  }
}

bool RtpFactory::SessionParams(const LGCP::CreateRtpParams& request, rtp_connection_params& params) {
  const TERM::RtpParams& rtp = request.get_codecRTP();
  const Payload::NamedNumber payload = rtp.get_payload().get();
  if (!knownPayload(payload)) {
    std::cerr << ext::header(this) << "rtp do not created: payload " << rtp.get_payload().asValueNotation()
              << "not found" << std::endl;
    return false;
  }
  const bool shost = rtp.hasOptionalField(TERM::RtpParams::o_shost);
  for (const TERM::HostAddress* host : {&rtp.get_dhost(), shost ? &rtp.get_shost() : nullptr}) {
    if (!host) continue;
    uint32_t& address = host == &rtp.get_dhost() ? params.remote_addr : params.src_addr;
    if (!parseAddress(host->get_iaddr().getValue(), address)) {
      std::cerr << ext::header(this) << "rtp do not created: bad address " << ext::quoted(host->get_iaddr().getValue())
                << std::endl;
      return false;
    }
  }
  params.remote_port = uint16_t(rtp.get_dhost().get_port().getValue());
  params.src_port = shost ? uint16_t(rtp.get_shost().get_port().getValue()) : params.remote_port;
  params.rx_pt = uint16_t(translateCodec(payload, request.get_rxPayload().get()));
  params.tx_pt = uint16_t(translateCodec(payload, request.get_txPayload().get()));
  auto present = [&rtp](unsigned id) { return rtp.hasOptionalField(id); };
  if (present(TERM::RtpParams::o_pfactor)) params.packet_factor = uint16_t(rtp.get_pfactor().getValue());
  params.vad = present(TERM::RtpParams::o_vad) && rtp.get_vad().getValue();
  params.crate = present(TERM::RtpParams::o_crate) && rtp.get_crate().getValue() != 0;
  params.ssrc = present(TERM::RtpParams::o_ssrc) ? uint32_t(rtp.get_ssrc().getValue()) : ssrcSource();
  if (present(TERM::RtpParams::o_ttl)) params.ttl = uint32_t(rtp.get_ttl().getValue());
  if (present(TERM::RtpParams::o_qos_dscp)) params.tos = (uint32_t(rtp.get_qos_dscp().getValue()) * 4) & 0xFC;
  return true;
}

Fd RtpFactory::RtcpSocket(uint16_t port) {
  Fd rtcp(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  const int reuse = 1;
  if (!rtcp || ::setsockopt(rtcp.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) < 0) {
    std::cerr << ext::header(this) << "rtp do not created: can not create socket [errno=" << std::strerror(errno) << "]"
              << std::endl;
    return Fd();
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (::bind(rtcp.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
    std::cerr << ext::header(this) << "rtp do not created: can not bind socket [errno=" << std::strerror(errno)
              << ", port=" << port << "]" << std::endl;
    return Fd();
  }
  return rtcp;
}

Fd RtpFactory::BeginSession(const rtp_connection_params& params, rtp_channel_info& info) {
  RtpEngine::Session session = RtpEngine::openSession(params, info);
  switch (session.failed) {
    case RtpEngine::Session::None: return std::move(session.fd);
    case RtpEngine::Session::Open:
      std::cerr << ext::header(this) << "device " << ext::quoted(GetRtpDevName())
                << " open fail: " << std::strerror(session.error) << std::endl;
      break;
    case RtpEngine::Session::Begin: std::cerr << ext::header(this) << "begin session fail !!! " << std::endl; break;
    case RtpEngine::Session::AddChannel: std::cerr << ext::header(this) << "add channel fail !!!" << std::endl; break;
  }
  return Fd();
}

void RtpFactory::IQuery() {
  static constexpr Counter Counters[] = {
      {Voice::G729, &RtpFactory::rtp_g729},       {Voice::G723, &RtpFactory::rtp_g723},
      {Voice::G711, &RtpFactory::rtp_g711},       {Voice::G711Mcc, &RtpFactory::rtp_g711mcc},
      {Voice::Universal, &RtpFactory::universal},
  };
  rtp_g729 = rtp_g723 = rtp_g711 = 0;
  const Fd voice = VoiceDevice::open();
  if (!voice) {
    std::cerr << ext::header(this) << "device " << ext::quoted(GetVoiceDevName())
              << " open fail: " << std::strerror(errno) << std::endl;
    return;
  }
  // A driver that refuses one count likely refuses them all: one line for the query.
  bool refused = false;
  for (const Counter& c : Counters) {
    const int count = VoiceDevice::countChannels(voice, c.type);
    if (count > 0) this->*c.counter = count;
    if (count < 0 && !refused)
      std::cerr << ext::header(this) << "channel count of type " << c.type << " fail: " << std::strerror(errno)
                << std::endl;
    refused |= count < 0;
  }
}

void RtpFactory::Query(LGCP::Resources& resources) {
  IQuery();
  resources.set_rtp_g729(rtp_g729);
  resources.set_rtp_g723(rtp_g723);
  resources.set_rtp_g711(rtp_g711);
  resources.set_rtp_g711mcc(rtp_g711mcc);
  resources.set_universal(universal);
}
