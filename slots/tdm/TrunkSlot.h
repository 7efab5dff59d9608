#pragma once
// One timeslot of an E1 trunk, or one channel of a BRI line interface, as a
// point of the TDM switch that both transmits and receives. One factory per
// trunk and per line; each keeps at most one slot per timeslot, and a new
// slot on a taken timeslot silently replaces the old one.

#include <array>

#include "asn1/modules/LGCP.h"
#include "server/slot/OneChannelSlot.h"
#include "server/slot/SlotFactory.h"

class TrunkSlot : public OneChannelSlot {
public:
  // `channel`: the timeslot's switch channel.
  explicit TrunkSlot(int channel) : OneChannelSlot(channel) {}

  int GetTrunk() override { return channel >> 5; }
  int GetTrunkTimeSlot() override { return GetTimeSlot(); }
  // Right after the create reply the controller hears both streams active.
  void IAfterCreate() override;
  bool IBeforeDestroy() override;
  const char* GetName() const override { return "trunk"; }
  virtual int GetTimeSlot() { return channel & 31; }
};

class TrunkBRISlot : public virtual TrunkSlot {
public:
  explicit TrunkBRISlot(int channel) : TrunkSlot(channel) {}

  int GetTrunk() override { return channel >> 2; }
  int GetTrunkTimeSlot() override { return GetTimeSlot(); }
  const char* GetName() const override { return "trunkBRI"; }
  int GetTimeSlot() override { return channel & 3; }
};

class TrunkFactory : public SlotFactory {
public:
  static constexpr unsigned Timeslots = 32;

  // The factory of one trunk; `base` is the switch channel of its timeslot 0.
  TrunkFactory(unsigned trunk, unsigned base);

  const char* GetName() const override { return "Trunks"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  virtual void ReleaseTrunkSlot(TrunkSlot* slot);

  unsigned GetTrunkNumber() const { return trunk; }
  // The slot on a timeslot, null when free.
  TrunkSlot* At(unsigned timeslot) const { return timeslot < Timeslots ? timeslots[timeslot] : nullptr; }

protected:
  // Takes the request when it names this trunk and one of its first `count`
  // timeslots; a slot already there is destroyed first.
  Slot* Take(const LGCP::TrunkParams& params, unsigned count, TrunkSlot* (*make)(int channel));

private:
  std::array<TrunkSlot*, Timeslots> timeslots;
  unsigned trunk;
  unsigned base;
};

class TrunkBRIFactory : public virtual TrunkFactory {
public:
  static constexpr unsigned Channels = 4;

  TrunkBRIFactory(unsigned line, unsigned base) : TrunkFactory(line, base) {}

  const char* GetName() const override { return "TrunksBRI"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
};

// Built before main runs, each at the head of the factory chain in turn.
extern TrunkFactory trunk0, trunk1, trunk2, trunk3;
extern TrunkBRIFactory trunk_bri0, trunk_bri1, trunk_bri2, trunk_bri3, trunk_bri4, trunk_bri5, trunk_bri6, trunk_bri7;
