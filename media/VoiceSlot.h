#pragma once
// Voice slots move raw audio between a TDM channel and a file or a TCP
// peer through a transparent channel of the multichannel HDLC controller:
// the channel's descriptor carries the audio bytes, its TDM channel is what
// the slot framework connects. A player sends phrase files or a peer's
// stream into the TDM network; a recorder streams its channel to a peer.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/ASyncConnect.h"
#include "foundation/eventloop/ASyncCopy.h"
#include "foundation/eventloop/Dpc.h"
#include "foundation/os/Fd.h"
#include "server/slot/Slot.h"

class VoiceFactory;

class VoiceSlot : public Slot {
public:
  const char* GetName() const override = 0;
  void PutHeader(std::ostream& out) const;

protected:
  // `mcc`: the allocated channel (the slot keeps a duplicate); `channel`: its TDM channel.
  VoiceSlot(VoiceFactory& factory, const Fd& mcc, int channel) : factory(factory), mcc(mcc), channel(channel) {}

  VoiceFactory& factory;
  const Fd mcc;
  const int channel;
};

class PlaySlotGeneric : public VoiceSlot {
public:
  PlaySlotGeneric(VoiceFactory& factory, const Fd& mcc, int channel) : VoiceSlot(factory, mcc, channel) {}
  bool IBeforeDestroy() override;
  int IGetTransmitChannel() override { return channel; }
  const char* GetName() const override { return "player"; }
};

// Plays what a TCP peer sends, after telling it the stream's id (4 bytes, big-endian).
class PlaySlotNetwork : public PlaySlotGeneric {
public:
  enum class State { Idle, Connecting, Playing, Released };
  static const char* name(State state);

  PlaySlotNetwork(VoiceFactory& factory, const Fd& mcc, int channel, std::string peer, int id);
  bool IOnOutputStream() override;
  State state() const { return state_; }

private:
  void OnConnect(ASync::Connect::Status::Type status, Fd socket);
  void OnPlayComplete(ASync::Copy::Status::Type status);
  void release();

  const std::string peer;
  const int id;
  State state_ = State::Idle;
  std::unique_ptr<ASync::Copy> copier;
  std::unique_ptr<ASync::Connect> connector;
};

// Plays phrase files of the phrase directory in order, the list `repeat`
// times (0: until destroyed); names that do not open are skipped.
class PlaySlotFile : public PlaySlotGeneric {
public:
  static constexpr unsigned BufferSize = 8192;

  PlaySlotFile(VoiceFactory& factory, const Fd& mcc, int channel, const LGCP::PlayerParams_file& file);
  bool IOnOutputStream() override;

private:
  bool restart();
  bool next_phrase();
  void OnPlayComplete(ASync::Copy::Status::Type status);
  void delayed_abort();
  void release();

  std::unique_ptr<ASync::Copy> copier;
  Fd phrase;
  int repeat;
  bool started = false;
  Dpc abortCall;
  std::vector<std::string> names;
  size_t position = 0;
};

// Streams its TDM channel to a TCP peer, a new connection per stream request.
class RecordSlot : public VoiceSlot {
public:
  RecordSlot(VoiceFactory& factory, const Fd& mcc, int channel, std::string peer)
      : VoiceSlot(factory, mcc, channel), peer(std::move(peer)) {}
  void IAfterCreate() override;
  bool IBeforeDestroy() override;
  bool IOnInputStream() override;
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "recorder"; }

private:
  void OnConnect(ASync::Connect::Status::Type status, Fd socket);
  void OnRecordComplete(ASync::Copy::Status::Type status);
  void StopRecording(LGCP::StopRecordingCause::NamedNumber cause);

  const std::string peer;
  std::unique_ptr<ASync::Copy> copier;
  std::unique_ptr<ASync::Connect> connector;
};
