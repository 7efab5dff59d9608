#pragma once
// One unit of the conference mixer, as the driver reported it at the last
// resources refresh: it makes the input and output slots on its channels,
// sets their summing points on the device, and releases them. A unit that
// vanished at a refresh is an orphan: its slots are told to abort and it
// deletes itself when the last of them leaves.

#include <iosfwd>
#include <list>

#include "asn1/modules/LGCP.h"
#include "slots/tdm/MixerCtl.h"

namespace Mixer {

class MixerSlot;
class TdmInput;
class TdmOutput;

class Mixer {
public:
  explicit Mixer(int unit);
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;
  ~Mixer();

  int GetUnit() const { return unit; }
  bool IsOrphan() const { return orphan; }
  void SetOrphan(bool value) { orphan = value; }
  const std::list<MixerSlot*>& Slots() const { return slots; }
  // "mixer [unit]: ".
  void PutHeader(std::ostream& out) const;

  // A TDM channel of this unit as a device record; false for any other kind.
  bool Channel2Slot(const LGCP::MixerChannel& channel, mix_slot& slot) const;
  // The switch channel of the unit's channel `number`; -1 (logged) on failure.
  int channel2timeslot(int number);

  // A new slot on this unit, registered; null when the channel cannot be had.
  TdmInput* New(const LGCP::MixerInParams& params);
  TdmOutput* New(const LGCP::MixerOutParams& params);
  // Undoes what the slot set on the device and unregisters it (which may delete this mixer).
  void Release(TdmInput& input);
  void Release(TdmOutput& output);

  void Register(MixerSlot* slot);
  void UnRegister(MixerSlot* slot);
  // Deletes this mixer when it is an orphan without slots.
  void CheckForDestroy();
  // Empties every summing point of the unit.
  void Reset();
  // Every slot sends abort 0; then the orphan check.
  void Clear();

private:
  // Sets the output's summing point: its inputs, or itself alone.
  bool SetTX(const LGCP::MixerOutParams& params);
  bool ClearTX(const mix_slot& point);
  // A unit channel number the factory's last refresh allows.
  static bool ValidChannel(const LGCP::MixerChannel& channel);
  mix_slot Point(int number) const;

  int unit;
  bool orphan = false;
  std::list<MixerSlot*> slots;
};

}  // namespace Mixer
