#include "board/sim/DspData.h"

#include "board/sim/Hex.h"

#include <sys/socket.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Board {
namespace Sim {

namespace Ctl = Dev::DspData;

namespace {

constexpr int32_t ChannelsPerLink = 1 + int32_t(Ctl::BChannels);

std::string channelText(int32_t channel) { return channel < 0 ? "-" : std::to_string(channel); }

}  // namespace

const Answer<DspData> DspData::requestTable[] = {
    {Ctl::DChannel, "d-channel", &DspData::dChannelQuery},
    {Ctl::AddBChannel, "add", &DspData::addBChannel},
    {Ctl::ReleaseBChannel, "release", &DspData::releaseBChannel},
};

const Control<DspData> DspData::commandTable[] = {
    {"links", "", &DspData::linksCommand},
    {"written", "", &DspData::writtenCommand},
    {"receive", "CHANNEL HEX", &DspData::receiveCommand},
    {"farend", "CHANNEL", &DspData::farEndCommand},
};

DspData::DspData()
    : Device("dsp-data", Ctl::Path, JournalCommands | HangupCommand),
      links_(*this, [this](Link& link) { released(link); }),
      farEnds_([this](int32_t channel, const std::string& packet) { receive(channel, packet); },
               Paths::SimDspDataFarEnd) {
  answer(this, requestTable);
  control(this, commandTable);
}

void DspData::opened(OpenFile& file) {
  const std::map<int32_t, Link> taken = links();
  for (int32_t d = FirstChannel; d < FirstChannel + ChannelsPerLink * int32_t(Links); d += ChannelsPerLink) {
    if (taken.count(d)) continue;
    // Without its far end the link still works: a test can hand it frames.
    if (!farEnds_.open(d)) {
      std::fprintf(stderr, "board-sim: far end of D channel %d: %s\n", int(d), std::strerror(errno));
    }
    links_.of(file).dChannel = d;
    publish("open " + std::to_string(d));
    return;
  }
}

void DspData::released(Link& link) {
  farEnds_.close(link.dChannel);
  publish("free " + std::to_string(link.dChannel));
}

DspData::Link* DspData::find(int32_t dChannel, const OpenFile** file) {
  for (const OpenFile& f : files()) {
    Link* link = links_.find(f);
    if (!link || link->dChannel != dChannel) continue;
    if (file) *file = &f;
    return link;
  }
  return nullptr;
}

std::map<int32_t, DspData::Link> DspData::links() const {
  std::map<int32_t, Link> all;
  for (const auto& l : links_.all()) all[l.second.dChannel] = l.second;
  return all;
}

ssize_t DspData::write(OpenFile& file, const uint8_t* data, size_t len) {
  const Link* link = links_.find(file);
  if (!link) return -ENOSPC;
  if (len == 0) return 0;
  if (len > Ctl::MaxFrame) return -EMSGSIZE;
  const std::string frame(reinterpret_cast<const char*>(data), len);
  written_.add(Written{link->dChannel, frame});
  publish("write " + std::to_string(link->dChannel) + " " + Hex::encode(frame));
  farEnds_.send(link->dChannel, frame);
  return ssize_t(len);
}

bool DspData::receive(int32_t dChannel, const std::string& frame) {
  const OpenFile* file = nullptr;
  if (!find(dChannel, &file)) return false;
  if (frame.empty() || frame.size() > Ctl::MaxFrame ||
      ::send(file->peer, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL) != ssize_t(frame.size())) {
    publish("drop " + std::to_string(dChannel) + " " + std::to_string(frame.size()));
    return false;
  }
  publish("receive " + std::to_string(dChannel) + " " + Hex::encode(frame));
  return true;
}

int DspData::dChannelQuery(Call& call) {
  call.journal();
  const Link* link = links_.find(call.file());
  return link ? link->dChannel : -ENOSPC;
}

int DspData::addBChannel(Call& call) {
  const int32_t index = call.in.get(Ctl::BChannel::Index);
  call.journal(std::to_string(index));
  Link* link = links_.find(call.file());
  if (!link) return -ENOSPC;
  if (!call.in.ok() || index < 0 || index >= int32_t(BChannels)) return -EINVAL;
  if (link->b[index] >= 0) return -EBUSY;
  link->b[index] = link->dChannel + 1 + index;
  call.out.put(Ctl::BChannel::Tdm, link->b[index]);
  return 0;
}

int DspData::releaseBChannel(Call& call) {
  const int32_t index = call.in.get(Ctl::BChannel::Index);
  const int32_t tdm = call.in.get(Ctl::BChannel::Tdm);
  call.journal(std::to_string(index) + " tdm=" + std::to_string(tdm));
  Link* link = links_.find(call.file());
  if (!link) return -ENOSPC;
  if (!call.in.ok() || index < 0 || index >= int32_t(BChannels) || link->b[index] != tdm || tdm < 0) return -EINVAL;
  link->b[index] = -1;
  return 0;
}

int32_t DspData::linkArg(Args& args, Reply& reply) {
  const int32_t d = int32_t(args.number("channel", INT32_MIN, INT32_MAX));
  if (args && !find(d)) reply.fail("no link on D channel " + std::to_string(d));
  return d;
}

void DspData::linksCommand(Args&, Reply& reply) {
  for (const auto& l : links()) {
    std::string line = std::to_string(l.first);
    for (unsigned i = 0; i < BChannels; ++i) line += " b" + std::to_string(i) + "=" + channelText(l.second.b[i]);
    reply.line(line);
  }
}

void DspData::writtenCommand(Args&, Reply& reply) {
  for (const Written& w : written_) reply.line(std::to_string(w.channel) + " " + Hex::encode(w.bytes));
}

void DspData::receiveCommand(Args& args, Reply& reply) {
  const int32_t d = linkArg(args, reply);
  const std::string bytes = args.bytes("hex");
  if (args && !receive(d, bytes)) reply.fail("frame dropped: " + std::to_string(bytes.size()) + " bytes");
}

void DspData::farEndCommand(Args& args, Reply& reply) {
  const int32_t d = linkArg(args, reply);
  if (args) reply.line(farEnds_.where(d) + (farEnds_.attached(d) ? " attached" : " waiting"));
}

void DspData::resetState() {
  farEnds_.closeAll();
  written_.clear();
}

}  // namespace Sim
}  // namespace Board
