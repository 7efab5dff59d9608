#include "media/VoiceFactory.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/dev/Mcc.h"
#include "foundation/os/Ext.h"
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
  out << "voice/mcc" << "[" << counter << "]: ";
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
  Fd fd(Board::open(GetMccDevName(), (player ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    std::cerr << ext::header(this) << "fail to open /dev/mcc/ctl device for " << (player ? "writing: " : "reading: ")
              << std::strerror(errno) << std::endl;
    return Fd();
  }
  uint8_t record[Ctl::Allocation::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ctl::Allocation::Type, Ctl::Transparent);
  out.put(Ctl::Allocation::RxPacketSize, PacketSize);
  out.put(Ctl::Allocation::Reserved, 0);
  out.put(Ctl::Allocation::RxThreshold, player ? 0 : Threshold);
  out.put(Ctl::Allocation::TxThreshold, player ? Threshold : 0);
  if (Board::ioctl(fd.get(), Ctl::Allocate, record) < 0) {
    std::cerr << ext::header(this) << "MCC_ALLOCATE fail: " << std::strerror(errno) << std::endl;
    return Fd();
  }
  channel = Board::ioctlValue(fd.get(), Ctl::Timeslot, 0);
  if (channel < 0) {
    std::cerr << ext::header(this) << "MCC_TIMESLOT request failed." << std::endl;
    return Fd();
  }
  return fd;
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
