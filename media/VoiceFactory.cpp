#include "media/VoiceFactory.h"

#include <fcntl.h>

#include <cstring>
#include <iostream>

#include "board/dev/Mcc.h"
#include "foundation/os/Ext.h"
#include "hardware/MccChannel.h"
#include "media/VoiceSlot.h"

namespace Ctl = Board::Dev::Mcc;

std::string dhost2str(const TERM::HostAddress& host) {
  return host.get_iaddr().getValue() + ":" + std::to_string(host.get_port().getValue());
}

VoiceFactory& VoiceFactory::instance() {
  static VoiceFactory factory;
  return factory;
}

void VoiceFactory::PutHeader(std::ostream& out) const {
  out << "voice/mcc"
      << "[" << counter << "]: ";
}

Slot* VoiceFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_voice) return nullptr;
  const LGCP::VoiceParams& voice = params.get_voice();
  switch (voice.currentSelection()) {
    case LGCP::VoiceParams::e_record: return CreateRecord(dhost2str(voice.get_record()));
    case LGCP::VoiceParams::e_player: return CreatePlay(voice.get_player());
    default: return nullptr;
  }
}

Fd VoiceFactory::allocate(bool player, int& channel) {
  MccChannel mcc = MccChannel::open((player ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC,
                                    {Ctl::Transparent, PacketSize, player ? 0 : Threshold, player ? Threshold : 0});
  if (mcc.failed == MccChannel::Timeslot) {
    std::cerr << ext::header(this) << "MCC_TIMESLOT request failed." << std::endl;
    return Fd();
  }
  if (!mcc) {
    std::cerr << ext::header(this)
              << mcc.failure(player ? "fail to open /dev/mcc/ctl device for writing: "
                                    : "fail to open /dev/mcc/ctl device for reading: ",
                             "MCC_ALLOCATE fail: ", "")
              << std::strerror(mcc.error) << std::endl;
    return Fd();
  }
  channel = mcc.timeslot;
  return std::move(mcc.fd);
}

Slot* VoiceFactory::CreatePlay(const LGCP::PlayerParams& params) {
  PlaySlotGeneric* slot = nullptr;
  int channel = -1;
  const Fd mcc = allocate(true, channel);
  if (!mcc) return nullptr;
  if (params.currentSelection() == LGCP::PlayerParams::e_network) {
    const LGCP::PlayerParams_network& network = params.get_network();
    slot = new PlaySlotNetwork(*this, mcc, channel, dhost2str(network.get_host()), network.get_id().getValue());
  } else if (params.currentSelection() == LGCP::PlayerParams::e_file) {
    slot = new PlaySlotFile(*this, mcc, channel, params.get_file());
  } else {
    return nullptr;
  }
  players.push_back(slot);
  return slot;
}

Slot* VoiceFactory::CreateRecord(const std::string& peer) {
  int channel = -1;
  const Fd mcc = allocate(false, channel);
  if (!mcc) return nullptr;
  auto* slot = new RecordSlot(*this, mcc, channel, peer);
  recorders.push_back(slot);
  return slot;
}

void VoiceFactory::OnDestroy(PlaySlotGeneric* slot) { players.remove(slot); }

void VoiceFactory::OnDestroy(RecordSlot* slot) { recorders.remove(slot); }
