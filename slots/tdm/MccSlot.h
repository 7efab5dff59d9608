#pragma once
// A channel of the multichannel HDLC controller: the factory allocates it on
// "/dev/mcc/ctl", the slot carries raw user data between the controller and
// the channel, and the channel is a point of the TDM switch. The slot holds
// its descriptor until it is deleted; closing it frees the channel.

#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/Event.h"
#include "server/slot/OneChannelSlot.h"
#include "server/slot/SlotFactory.h"

class MccSlot : public OneChannelSlot {
public:
  static constexpr size_t ReadSize = 1024;

  // `fd`: the allocated channel (the slot keeps a duplicate); `channel`: its switch channel.
  MccSlot(const Fd& fd, int channel);

  bool IUserData(const std::vector<char>& data) override;
  const char* GetName() const override { return "MCC"; }

  void OnEvent(int fd, short revents);
  // Sends what the channel has, one userData signal per read; false when the
  // channel is gone (end of file or a hard error).
  bool DoRead();

private:
  Event event;
};

class MccFactory : public SlotFactory {
public:
  static MccFactory& instance();

  const char* GetName() const override { return "MCC"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  // The channels the controller has free, by type.
  void Query(LGCP::Resources& resources) override;

  void PutHeader(std::ostream& out) const;

private:
  MccFactory() = default;
};
