#pragma once
// The TDM switch as the connect defaults of a slot drive it. The slot
// framework does not know the board's switch: the daemon's start-up hands it
// over (UseSwitch in Slot.h), and so does a test that connects slots.

class TdmSwitch {
public:
  // Makes `source` the input of `output`.
  virtual bool Connect(int source, int output) = 0;
  // Drives `output` with the idle byte.
  virtual bool Disconnect(int output) = 0;

protected:
  ~TdmSwitch() = default;
};
