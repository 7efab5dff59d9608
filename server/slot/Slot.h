#pragma once
// The base of every channel endpoint the controller creates. A slot holds
// its number and its place in the TDM connection graph (one source, any
// number of listeners), the per-kind hooks the slot table calls, and the
// senders through which it reports events to the controller.

#include <iosfwd>
#include <string>
#include <vector>

#include "board/dev/Dsp.h"
#include "board/dev/Dtmf.h"
#include "board/dev/Rtp.h"

class SlotFactory;
class Slots;
class TdmSwitch;

// The messages the hooks and senders take; a slot kind includes the modules it uses.
namespace ACP {
class TrunkState;
}
namespace LEMZGW {
class ProtoLemzPackets;
}
namespace LGCP {
class IoctlParams;
class IoctlResponse;
class RtpEvent;
class SDEvent;
class Signal;
class TonecEvent;
class VADEvent;
}  // namespace LGCP
namespace TERM {
class ModemInformation;
class ModemProceeding;
class RtpRadioRequest;
class TermActivateParams;
}  // namespace TERM

class Slot {
public:
  Slot() = default;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  virtual ~Slot() = default;

  // Trunk and timeslot of a trunk slot; -1 for the others.
  virtual int GetTrunk() { return -1; }
  virtual int GetTrunkTimeSlot() { return -1; }
  virtual void OnTrunkStatus(unsigned /*trunk*/, const ACP::TrunkState& /*state*/) {}

  // Runs right after the create reply.
  virtual void IAfterCreate() {}
  // False defers destruction until the slot calls on_release().
  virtual bool IBeforeDestroy() { return true; }
  // False from these four makes the slot table answer unsupported.
  virtual bool IActivate(const TERM::TermActivateParams&) { return false; }
  virtual bool IDeactivate() { return false; }
  virtual bool IUserData(const std::vector<char>&) { return false; }
  virtual bool Ioctl(const LGCP::IoctlParams&) { return false; }

  // Of two slots being connected, the higher one drives the hardware.
  virtual int GetConnectionPriority() { return 0; }
  virtual bool IHwConnectTransmitter(Slot& receiver);
  virtual bool IHwConnectReceiver(Slot& transmitter);
  virtual bool IHwDisconnectTransmitter(Slot& receiver);
  virtual bool IHwDisconnectReceiver(Slot& transmitter);

  // Asked before a connection: can the slot transmit, receive?
  virtual bool IOnOutputStream() { return false; }
  virtual bool IOnInputStream() { return false; }
  // The slot's last listener, or its source, is gone.
  virtual void IOnOutputRelease() {}
  virtual void IOnInputRelease() {}
  // Switch channels; -1 for none.
  virtual int IGetTransmitChannel() { return -1; }
  virtual int IGetReceiveChannel() { return -1; }

  virtual const char* GetName() const = 0;

  // "05:trunk": the number (two digits at least, "na" while unnumbered), a colon, the name.
  void Put(std::ostream& out) const;

  // Through the slot table: other services see it first, then the controller, with this slot's number.
  void SendSignal(const LGCP::Signal& sig);
  // Ends a deferred destruction: the held-back reply goes out and the slot is deleted.
  void on_release();
  // False when the slot defers its destruction; else it leaves its factory.
  bool BeforeDestroy();
  void LogicalConnect(Slot& source);
  void LogicalDisconnect();

  // Report a stream change to the controller; going inactive first drops the source or the listeners.
  void OnChangeInputStream(bool on);
  void OnChangeOutputStream(bool on);

  // Signal senders.
  void OnTonecEvent(const LGCP::TonecEvent& event);
  void OnNumber(const std::string& number);
  void OnModem(const TERM::ModemProceeding& proceeding);
  void OnModem(const TERM::ModemInformation& information);
  void OnActivated();
  void OnDeactivated();
  void OnAbort(int cause);
  void OnUserData(const std::vector<char>& data);
  void OnIoctlResponse(const LGCP::IoctlResponse& response);
  void OnRtpRadioEvent(const TERM::RtpRadioRequest& request);
  void OnVADEvent(const LGCP::VADEvent& event);
  void OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets);
  void OnSDEvent(const LGCP::SDEvent& event);
  void OnRtpEvent(const LGCP::RtpEvent& event);

  // Receiver and RTP engine events turned into controller signals.
  void processTonecEvent(const Board::Dev::Dtmf::EventReport& event);
  void processToneGenEvent();
  void processToneFltEvent(const Board::Dev::Dsp::ToneReport* event);
  void processVADEvent(const Board::Dev::Dsp::VadReport& event);
  void processSDEvent(const Board::Dev::Dsp::SdReport& event);
  void processFlagsEvent(const Board::Dev::Dsp::FlagsReport* event);
  void processBSSEvent(const Board::Dev::Dsp::BssReport* event);
  void processRtpEvent(const Board::Dev::Rtp::EventReport& event);

  int GetId() const { return id; }
  SlotFactory* GetSlotFactory() const { return factory; }
  Slot* GetSource() const { return source; }
  // Sorted by address, without doubles.
  const std::vector<Slot*>& GetListeners() const { return listeners; }
  bool IsInputActive() const { return inputActive; }
  bool IsOutputActive() const { return outputActive; }
  bool IsDestroyInProgress() const { return destroyInProgress; }

private:
  friend class Slots;
  friend class SlotFactory;

  int id = -1;
  std::vector<Slot*> listeners;
  Slot* source = nullptr;
  SlotFactory* factory = nullptr;
  bool inputActive = false;
  bool outputActive = false;
  bool destroyInProgress = false;
  // The held-back reply of a destroy command, when one asked for it.
  unsigned token = 0;
  bool replyPending = false;
};

std::ostream& operator<<(std::ostream& out, const Slot& slot);

// Makes dst receive src (src transmits). The side with the higher connection
// priority drives the hardware; a tie goes to the receiver.
bool Connect(Slot& src, Slot& dst);
// Drops the source of s; true when it had none.
bool Disconnect(Slot& s);
bool llConnect(Slot& src, Slot& dst);
bool llDisconnect(Slot& s);
// The switch defaults: tx's transmit channel feeds rx's receive channel; rx's receive channel goes idle.
// They drive the switch given to UseSwitch, and fail while there is none.
bool MuxConnect(Slot& tx, Slot& rx);
bool MuxDisconnect(Slot& rx);
void UseSwitch(TdmSwitch& tdm);
