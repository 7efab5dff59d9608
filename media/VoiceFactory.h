#pragma once
// The factory of the voice slots: it allocates each slot's transparent
// channel on "/dev/mcc/ctl" and keeps the live players and recorders.

#include <iosfwd>
#include <list>
#include <string>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "foundation/os/Fd.h"
#include "server/slot/SlotFactory.h"

class PlaySlotGeneric;
class RecordSlot;

class VoiceFactory : public SlotFactory {
public:
  // The channel's receive packet size, and the thresholds of the direction it serves.
  static constexpr uint32_t PacketSize = 1024;
  static constexpr uint32_t Threshold = 5;
  static constexpr unsigned ConnectTimeoutMs = 5000;

  static VoiceFactory& instance();

  const char* GetName() const override { return "Voice/mcc"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  Slot* CreatePlay(const LGCP::PlayerParams& params);
  Slot* CreateRecord(const std::string& peer);
  void OnDestroy(PlaySlotGeneric* slot);
  void OnDestroy(RecordSlot* slot);

  // "voice/mcc[" counter "]: "
  void PutHeader(std::ostream& out) const;

private:
  VoiceFactory() = default;
  // An allocated transparent channel and its TDM channel; empty (logged) on failure.
  Fd allocate(bool player, int& channel);

  // The factory's own counter, shown in its log prefix; it stays 0.
  int counter = 0;
  std::list<PlaySlotGeneric*> players;
  std::list<RecordSlot*> recorders;
};

// "iaddr:port", as ASync::Connect takes a peer.
std::string dhost2str(const TERM::HostAddress& host);
