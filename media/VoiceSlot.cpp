#include "media/VoiceSlot.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <iostream>

#include "board/Board.h"
#include "board/Paths.h"
#include "foundation/os/Ext.h"
#include "media/VoiceFactory.h"

namespace {

using Status = ASync::Copy::Status;

// A phrase is a file of the phrase directory itself.
bool phraseName(const std::string& name) { return name.find('/') == std::string::npos && name != "." && name != ".."; }

}  // namespace

void VoiceSlot::PutHeader(std::ostream& out) const { out << GetName() << "[" << channel << "]: "; }

bool PlaySlotGeneric::IBeforeDestroy() {
  factory.OnDestroy(this);
  return true;
}

const char* PlaySlotNetwork::name(State state) {
  static const char* const names[] = {"idle", "connecting", "playing", "released"};
  return names[int(state)];
}

PlaySlotNetwork::PlaySlotNetwork(VoiceFactory& factory, const Fd& mcc, int channel, std::string peer, int id)
    : PlaySlotGeneric(factory, mcc, channel), peer(std::move(peer)), id(id) {}

bool PlaySlotNetwork::IOnOutputStream() {
  if (state_ == State::Idle) {
    state_ = State::Connecting;
    connector = std::make_unique<ASync::Connect>();
    connector->Bind(&PlaySlotNetwork::OnConnect, this);
    connector->Start(peer, VoiceFactory::ConnectTimeoutMs);
  }
  OnChangeOutputStream(true);
  return channel >= 0;
}

void PlaySlotNetwork::OnConnect(ASync::Connect::Status::Type status, Fd socket) {
  if (status != ASync::Connect::Status::Connected) {
    std::clog << ext::header(this) << "connection to " << peer << " fail." << std::endl;
    return release();
  }
  std::clog << ext::header(this) << "connected to " << peer << "." << std::endl;
  LGCP::IoctlResponse started;
  started.select_startPlaying();
  OnIoctlResponse(started);
  state_ = State::Playing;
  connector.reset();
  copier = std::make_unique<ASync::Copy>();
  copier->Bind(&PlaySlotNetwork::OnPlayComplete, this);
  const uint32_t streamId = htonl(uint32_t(id));
  (void)::send(socket.get(), &streamId, sizeof streamId, MSG_NOSIGNAL);
  copier->Start(socket, mcc);
}

void PlaySlotNetwork::OnPlayComplete(Status::Type status) {
  if (status == Status::Done) {
    std::clog << ext::header(this) << "connection to " << peer << " closed." << std::endl;
  } else {
    std::cerr << ext::header(this) << "play failed" << std::endl;
  }
  release();
}

void PlaySlotNetwork::release() {
  state_ = State::Released;
  OnChangeOutputStream(false);
  copier.reset();
  connector.reset();
  OnAbort(0);
}

PlaySlotFile::PlaySlotFile(VoiceFactory& factory, const Fd& mcc, int channel, const LGCP::PlayerParams_file& file)
    : PlaySlotGeneric(factory, mcc, channel), repeat(file.get_repeat().getValue()) {
  for (const auto& name : file.get_name()) names.push_back(name.getValue());
  abortCall.Bind(this, &PlaySlotFile::delayed_abort);
}

bool PlaySlotFile::IOnOutputStream() {
  if (!started) {
    if (!restart()) {
      abortCall.Activate();
      return false;
    }
    started = true;
  }
  OnChangeOutputStream(true);
  return channel >= 0;
}

void PlaySlotFile::delayed_abort() {
  abortCall.Deactivate();
  OnAbort(0);
}

bool PlaySlotFile::restart() {
  position = 0;
  return next_phrase();
}

bool PlaySlotFile::next_phrase() {
  while (position < names.size()) {
    const std::string& name = names[position++];
    if (!phraseName(name)) {
      std::cerr << ext::header(this) << "phrase name outside the phrase directory: " << name << std::endl;
      continue;
    }
    const std::string path = Board::Paths::path(Board::Paths::VoicePhrases) + name;
    phrase = Fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!phrase) continue;
    ::lseek(phrase.get(), 0, SEEK_SET);
    copier = std::make_unique<ASync::Copy>();
    copier->set_bufsize(BufferSize);
    copier->set_events(ASync::Copy::EventsParams{POLLIN, POLLOUT, POLLWRNORM});
    copier->Bind(&PlaySlotFile::OnPlayComplete, this);
    copier->Start(phrase, mcc);
    return true;
  }
  return false;
}

void PlaySlotFile::OnPlayComplete(Status::Type status) {
  if (status != Status::Done) return release();
  if (next_phrase()) return;
  if (repeat != 0 && --repeat == 0) return release();
  if (!restart()) OnAbort(0);
}

void PlaySlotFile::release() {
  OnChangeOutputStream(false);
  copier.reset();
  OnAbort(0);
}

void RecordSlot::IAfterCreate() { OnChangeInputStream(true); }

bool RecordSlot::IBeforeDestroy() {
  factory.OnDestroy(this);
  return true;
}

bool RecordSlot::IOnInputStream() {
  connector = std::make_unique<ASync::Connect>();
  connector->Bind(&RecordSlot::OnConnect, this);
  connector->Start(peer, VoiceFactory::ConnectTimeoutMs);
  return true;
}

void RecordSlot::OnConnect(ASync::Connect::Status::Type status, Fd socket) {
  if (status != ASync::Connect::Status::Connected) {
    std::clog << ext::header(this) << "connection to " << peer << " fail." << std::endl;
    return StopRecording(LGCP::StopRecordingCause::connectionFail);
  }
  std::clog << ext::header(this) << "connected to " << peer << "." << std::endl;
  connector.reset();
  copier = std::make_unique<ASync::Copy>();
  copier->set_events(ASync::Copy::EventsParams{POLLIN, POLLOUT, 0});
  copier->Bind(&RecordSlot::OnRecordComplete, this);
  copier->Start(mcc, socket);
}

void RecordSlot::OnRecordComplete(Status::Type status) {
  if (status == Status::Done) {
    std::clog << ext::header(this) << "connection to " << peer << " closed." << std::endl;
    return StopRecording(LGCP::StopRecordingCause::userRequest);
  }
  std::cerr << ext::header(this) << "record aborted" << std::endl;
  StopRecording(LGCP::StopRecordingCause::connectionAborted);
}

void RecordSlot::StopRecording(LGCP::StopRecordingCause::NamedNumber cause) {
  copier.reset();
  connector.reset();
  LGCP::IoctlResponse stopped;
  stopped.select_stopRecording() = cause;
  OnIoctlResponse(stopped);
}
