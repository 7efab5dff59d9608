#include "board/sim/Voice.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t Voice::VersionRequest = Request::ior('V', 10, 20);

namespace {

const Voice::Version powerOnVersion = {1, 0, 0, 0, 0};

Voice& voice(Device& d) { return static_cast<Voice&>(d); }

void stateCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: voice state");
  std::string line = "version";
  for (uint32_t w : voice(d).version()) line += " " + std::to_string(w);
  reply.line(line + " queries=" + std::to_string(voice(d).versionQueries()));
}

void versionCommand(Device& d, const Args& args, Reply& reply) {
  Voice::Version v;
  if (args.size() != Voice::VersionWords) return reply.fail("usage: voice version W1 W2 W3 W4 W5");
  for (size_t i = 0; i < Voice::VersionWords; ++i) {
    long w;
    if (!argNumber(args[i], 0, 0xFFFFFFFFl, w)) return reply.fail("bad word: " + args[i]);
    v[i] = uint32_t(w);
  }
  voice(d).setVersion(v);
}

}  // namespace

Voice::Voice() : Device("voice", Paths::Voice), version_(powerOnVersion) {}

int Voice::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != VersionRequest) return -ENOTTY;
  ++queries_;
  RecordWriter out(record, len);
  for (size_t i = 0; i < VersionWords; ++i) out.u32(4 * i, version_[i]);
  return out.ok() ? 0 : -EINVAL;
}

std::vector<Command> Voice::commands() const {
  static const Command table[] = {
      {"state", "", stateCommand},
      {"version", "W1 W2 W3 W4 W5", versionCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Voice::resetState() {
  version_ = powerOnVersion;
  queries_ = 0;
}

}  // namespace Sim
}  // namespace Board
