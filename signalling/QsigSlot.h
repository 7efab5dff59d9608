#pragma once
// A QSIG D channel towards a PBX on the DSP data device ("/dev/dsp-data"),
// and its B channels. The QSIG slot is an ISDN slot whose frames go through
// the DSP; on request it adds a B channel, which becomes a slot of its own:
// a plain switch endpoint on the channel the device assigned. The QSIG slot
// keeps its B slots and releases their channels when it is destroyed first;
// otherwise a B slot releases its own channel when it is destroyed.

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "server/slot/OneChannelSlot.h"
#include "signalling/IsdnSlot.h"

class AtsQsigBSlot;

class AtsQsigSlot : public IsdnSlot {
public:
  AtsQsigSlot(const Fd& fd, int channel, ISDN::LAPD* lapd);
  ~AtsQsigSlot() override;

  // Releases every B channel still held, then the device.
  bool IBeforeDestroy() override;
  const char* GetName() const override { return "ATS-QSIG"; }

  // B channel `bchannel` (0 to 2) as a new slot; null, with a log line, when the device refuses it.
  AtsQsigBSlot* NewBChannel(int32_t bchannel);
  // Gives the B slot's channel back to the device; the slot is no longer this one's.
  void ReleaseBChannel(AtsQsigBSlot& b);
  // True while the B slot's channel is held for it.
  bool Holds(const AtsQsigBSlot& b) const;

private:
  void release(AtsQsigBSlot& b);

  std::vector<AtsQsigBSlot*> bslots;
};

class AtsQsigBSlot : public OneChannelSlot {
public:
  AtsQsigBSlot(uint32_t sig_slot, int32_t bchannel, int32_t tdm);
  ~AtsQsigBSlot() override;

  // Releases the channel through the QSIG slot, unless that slot already did.
  bool IBeforeDestroy() override;
  const char* GetName() const override { return "ATS-QSIG-B"; }

  void PutHeader(std::ostream& out) const;

  const uint32_t sig_slot;
  const int32_t bchannel;

private:
  friend class AtsQsigSlot;
  // The QSIG slot, while it still holds this channel.
  AtsQsigSlot* owner() const;

  // Set when the QSIG slot gave the channel back: nothing is left to do.
  bool released = false;
};
