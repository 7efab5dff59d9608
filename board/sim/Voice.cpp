#include "board/sim/Voice.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace {

const Voice::Version powerOnVersion = {1, 0, 0, 0, 0};

}  // namespace

const Answer<Voice> Voice::requestTable[] = {
    {Dev::Voice::GetVersion, "version", &Voice::getVersion},
};

const Control<Voice> Voice::commandTable[] = {
    {"state", "", &Voice::stateCommand},
    {"version", "W1 W2 W3 W4 W5", &Voice::versionCommand},
};

Voice::Voice() : Device("voice", Dev::Voice::Path), version_(powerOnVersion) {
  answer(this, requestTable);
  control(this, commandTable);
}

int Voice::getVersion(Call& call) {
  ++queries_;
  for (size_t i = 0; i < VersionWords; ++i) call.out.put(Dev::Voice::Version::Word[i], version_[i]);
  return call.out.ok() ? 0 : -EINVAL;
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

void Voice::resetState() {
  version_ = powerOnVersion;
  queries_ = 0;
}

}  // namespace Sim
}  // namespace Board
