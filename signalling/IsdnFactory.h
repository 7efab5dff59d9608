#pragma once
// Makes the ISDN D-channel slots: an ISDN slot on a multichannel controller
// channel (isdn), a QSIG slot on the DSP data device (ats-qsig) and the B
// channels of a QSIG slot (ats-qsig-b). Any other kind goes on down the chain.

#include <iosfwd>

#include "asn1/modules/LGCP.h"
#include "server/slot/SlotFactory.h"

class MccChannel;
class Slot;

class IsdnFactory : public SlotFactory {
public:
  static IsdnFactory& instance();

  const char* GetName() const override { return "ISDN"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;

  // This factory's slot with that number, or null.
  Slot* FindSlot(unsigned number) const;

  void PutHeader(std::ostream& out) const;

private:
  IsdnFactory() = default;

  Slot* NewIsdnSlot(const LGCP::IsdnParams& params);
  Slot* NewAtsQsigSlot(const LGCP::AtsQsigParams& params);
  Slot* NewAtsQsigBSlot(const LGCP::AtsQsigBParams& params);
  // Logs the controller channel's failed step; null.
  Slot* refused(const MccChannel& mcc) const;
};
