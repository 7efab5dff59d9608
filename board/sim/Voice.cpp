#include "board/sim/Voice.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace {

const Voice::Version powerOnVersion = {1, 0, 0, 0, 0};

// No channels until a test gives some, so the resources report stays as it was before RTP.
const std::map<uint32_t, Voice::Channels> powerOnChannels = {
    {Dev::Voice::G711, {0, 0}},    {Dev::Voice::G723, {0, 0}},      {Dev::Voice::G729, {0, 0}},
    {Dev::Voice::G711Mcc, {0, 0}}, {Dev::Voice::Universal, {0, 0}},
};

}  // namespace

const Answer<Voice> Voice::requestTable[] = {
    {Dev::Voice::GetVersion, "version", &Voice::getVersion},
    {Dev::Voice::CountChannels, "channels", &Voice::countChannels},
};

const Control<Voice> Voice::commandTable[] = {
    {"state", "", &Voice::stateCommand},
    {"version", "W1 W2 W3 W4 W5", &Voice::versionCommand},
    {"channels", "[TYPE COUNT]", &Voice::channelsCommand},
};

Voice::Voice() : Device("voice", Dev::Voice::Path), version_(powerOnVersion), channels_(powerOnChannels) {
  answer(this, requestTable);
  control(this, commandTable);
}

int Voice::getVersion(Call& call) {
  ++queries_;
  for (size_t i = 0; i < VersionWords; ++i) call.out.put(Dev::Voice::Version::Word[i], version_[i]);
  return call.out.ok() ? 0 : -EINVAL;
}

int Voice::countChannels(Call& call) {
  const auto type = channels_.find(call.in.get(Dev::Voice::ChannelCount::Type));
  if (!call.in.ok() || type == channels_.end()) return -EINVAL;
  ++type->second.asked;
  return type->second.count;
}

void Voice::stateCommand(Args&, Reply& reply) {
  std::string line = "version";
  for (uint32_t w : version_) line += " " + std::to_string(w);
  reply.line(line + " queries=" + std::to_string(queries_));
}

void Voice::versionCommand(Args& args, Reply&) {
  Version v;
  for (uint32_t& w : v) w = uint32_t(args.number("word", 0, 0xFFFFFFFF));
  if (args) setVersion(v);
}

void Voice::channelsCommand(Args& args, Reply& reply) {
  if (!args.more()) {
    for (const auto& c : channels_) {
      reply.line("type " + std::to_string(c.first) + " count " + std::to_string(c.second.count) + " asked " +
                 std::to_string(c.second.asked));
    }
    return;
  }
  const uint32_t type = uint32_t(args.number("type", 0, UINT32_MAX));
  const int32_t count = int32_t(args.number("count", 0, INT32_MAX));
  if (!args) return;
  const auto known = channels_.find(type);
  if (known == channels_.end()) return reply.fail("unknown channel type: " + std::to_string(type));
  known->second.count = count;
}

void Voice::resetState() {
  version_ = powerOnVersion;
  channels_ = powerOnChannels;
  queries_ = 0;
}

}  // namespace Sim
}  // namespace Board
