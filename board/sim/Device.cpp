#include "board/sim/Device.h"

#include "board/Request.h"
#include "board/sim/PerFile.h"

#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace Board {
namespace Sim {

namespace {

// What a command's usage says of its argument count: words outside brackets
// are needed, words inside may follow, and "..." repeats without end.
void arity(const std::string& usage, size_t& least, size_t& most) {
  least = most = 0;
  int depth = 0;
  bool endless = false;
  for (size_t at = 0; at < usage.size();) {
    const size_t end = std::min(usage.find(' ', at), usage.size());
    std::string word = usage.substr(at, end - at);
    at = end + 1;
    for (; !word.empty() && word.front() == '['; word.erase(0, 1)) ++depth;
    const size_t closing = word.find(']');
    const int closes = closing == std::string::npos ? 0 : int(word.size() - closing);
    word = word.substr(0, closing);
    if (word == "...") {
      endless = true;
    } else if (!word.empty()) {
      ++most;
      if (depth == 0) ++least;
    }
    depth -= closes;
  }
  if (endless) most = SIZE_MAX;
}

}  // namespace

Device::Device(std::string name, std::string path, unsigned common) : name_(std::move(name)), path_(std::move(path)) {
  if (common & JournalCommands) {
    addCommand("journal", "", [this](Args&, Reply& r) { journal_.put(r); });
    addCommand("clear", "", [this](Args&, Reply&) { journal_.clear(); });
  }
  if (common & RawCommand) addCommand("raw", "HEX", [this](Args& a, Reply& r) { rawCommand(a, r); });
  if (common & HangupCommand) addCommand("hangup", "", [this](Args& a, Reply& r) { hangupCommand(a, r); });
}

Device::~Device() {
  for (const OpenFile& f : files_) ::close(f.peer);
  for (int fd : followers_) ::close(fd);
}

void Device::addCommand(const char* name, const char* usage, std::function<void(Args&, Reply&)> run) {
  Command c{name, usage, 0, 0, std::move(run)};
  arity(c.usage, c.least, c.most);
  commands_.push_back(std::move(c));
}

ssize_t Device::write(OpenFile&, const uint8_t*, size_t) { return -EINVAL; }

int Device::request(Call& call, Form form) {
  for (const Route& r : routes_) {
    if (r.request != call.request) continue;
    if (r.form != form) return -ENOTTY;
    const int result = r.run(call);
    if (call.journaled_) journal_.add(call.text_.empty() ? r.name : r.name + (" " + call.text_));
    return result;
  }
  return -ENOTTY;
}

size_t Device::recordSize(uint32_t request) const {
  for (const Route& r : routes_) {
    if (r.request == request && r.size) return r.size;
  }
  return Request::size(request);
}

void Device::reset() {
  present_ = true;
  heal();
  journal_.clear();
  for (FileStates* s : fileStates_) s->clear();
  resetState();
}

int Device::requestRefusal(uint32_t request) const {
  auto it = refusedRequests_.find(request);
  return it == refusedRequests_.end() ? 0 : it->second;
}

void Device::heal() {
  refusedRequests_.clear();
  refusedWrites_ = 0;
  refusedReads_ = 0;
}

size_t Device::inject(const void* record, size_t len) {
  size_t reached = 0;
  for (const OpenFile& f : files_) {
    if (::send(f.peer, record, len, MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(len)) ++reached;
  }
  return reached;
}

size_t Device::hangUp() {
  size_t reached = 0;
  for (const OpenFile& f : files_) reached += ::shutdown(f.peer, SHUT_RDWR) == 0;
  return reached;
}

void Device::rawCommand(Args& args, Reply& reply) {
  const std::string bytes = args.bytes("hex");
  if (args) reply.line("reached " + std::to_string(inject(bytes.data(), bytes.size())));
}

void Device::hangupCommand(Args&, Reply& reply) { reply.line("reached " + std::to_string(hangUp())); }

void Device::publish(const std::string& line) {
  const std::string text = line + "\n";
  for (auto it = followers_.begin(); it != followers_.end();) {
    // A follower that stopped reading is dropped rather than stalling the daemon.
    if (::send(*it, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(text.size())) {
      ++it;
    } else {
      ::close(*it);
      it = followers_.erase(it);
    }
  }
}

OpenFile& Device::attach(int peer, int accessMode, int pathNumber) {
  static unsigned nextId = 1;
  files_.push_back(OpenFile{nextId++, accessMode, peer, pathNumber});
  opened(files_.back());
  return files_.back();
}

void Device::detach(unsigned id) {
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    if (it->id != id) continue;
    closed(*it);
    for (FileStates* s : fileStates_) s->drop(id);
    ::close(it->peer);
    files_.erase(it);
    return;
  }
}

}  // namespace Sim
}  // namespace Board
