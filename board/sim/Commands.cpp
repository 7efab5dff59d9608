#include "board/sim/Commands.h"

#include "board/sim/Registry.h"

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <sstream>

namespace Board {
namespace Sim {

namespace {

using Outcome = Commands::Outcome;

struct BoardCommand {
  const char* name;
  const char* usage;
  size_t args;  // the arguments after the name, exactly
  void (*run)(Registry&, const Words&, Outcome&, int connection);
};

void help(Registry& board, const Words&, Outcome& out, int);
std::string usage(const std::string& name);

Device* device(Registry& board, const std::string& name, Outcome& out) {
  Device* d = board.find(name);
  if (!d) out.reply.fail("unknown device: " + name);
  return d;
}

void devices(Registry& board, const Words&, Outcome& out, int) {
  for (const auto& d : board.devices()) {
    if (d->path().none()) continue;
    std::ostringstream line;
    line << d->path().text() << ' ' << d->name() << ' ' << (d->present() ? "present" : "absent")
         << " open=" << d->files().size();
    out.reply.line(line.str());
  }
}

// As /proc/PID/fd shows a socket, so that one found there can be named.
std::string shown(ino_t inode) { return "socket:[" + std::to_string(inode) + "]"; }

// The daemon's end, and the model's, which lives in the daemon's process too.
void files(Registry& board, const Words&, Outcome& out, int) {
  for (const auto& f : board.openFiles()) {
    struct stat peer;
    const std::string modelEnd = ::fstat(f.second.file->peer, &peer) == 0 ? shown(peer.st_ino) : "none";
    out.reply.line(shown(f.first.second) + " " + f.second.device->path().opened(f.second.file->pathNumber) + " " +
                   modelEnd);
  }
}

void absent(Registry& board, const Words& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->setPresent(false);
}

void present(Registry& board, const Words& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->setPresent(true);
}

void failRequest(Registry& board, const Words& w, Outcome& out, int) {
  if (w[2] != "ioctl") return out.reply.fail(usage(w[0]));
  Args a(Words(w.begin() + 3, w.end()), out.reply);
  const int64_t request = a.number("request number", 0, 0xFFFFFFFF);
  const int err = a.error("errno");
  if (!a) return;
  if (Device* d = device(board, w[1], out)) d->refuseRequest(uint32_t(request), err);
}

void failTransfers(Registry& board, const Words& w, Outcome& out, int) {
  if (w[2] != "write" && w[2] != "read") return out.reply.fail(usage(w[0]));
  Args a(Words(w.begin() + 3, w.end()), out.reply);
  const int err = a.error("errno");
  if (!a) return;
  Device* d = device(board, w[1], out);
  if (d && w[2] == "write") d->refuseWrites(err);
  if (d && w[2] == "read") d->refuseReads(err);
}

void heal(Registry& board, const Words& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->heal();
}

void follow(Registry& board, const Words& a, Outcome& out, int connection) {
  Device* d = device(board, a[1], out);
  if (!d) return;
  if (connection < 0) return out.reply.fail("follow needs a control connection");
  d->history(out.reply);
  out.follow = d;
}

void reset(Registry& board, const Words&, Outcome&, int) { board.reset(); }

const BoardCommand boardCommands[] = {
    {"help", "", 0, help},
    {"devices", "", 0, devices},
    {"files", "", 0, files},
    {"absent", "DEV", 1, absent},
    {"present", "DEV", 1, present},
    {"fail", "DEV ioctl REQUEST ERRNO", 4, failRequest},
    {"fail", "DEV write|read ERRNO", 3, failTransfers},
    {"heal", "DEV", 1, heal},
    {"follow", "DEV", 1, follow},
    {"reset", "", 0, reset},
};

std::string synopsis(const char* name, const char* usage) { return std::string(name) + (*usage ? " " : "") + usage; }

// "usage: " and every form of the command, joined by " | ".
std::string usage(const std::string& name) {
  std::string text = "usage:";
  for (const BoardCommand& c : boardCommands) {
    if (name == c.name) text += (text.size() > 6 ? " | " : " ") + synopsis(c.name, c.usage);
  }
  return text;
}

void help(Registry& board, const Words&, Outcome& out, int) {
  for (const BoardCommand& c : boardCommands) out.reply.line(synopsis(c.name, c.usage));
  for (const auto& d : board.devices()) {
    for (const Device::Command& c : d->commands()) {
      out.reply.line(d->name() + " " + synopsis(c.name.c_str(), c.usage.c_str()));
    }
  }
}

// The command of `device` that the words after its name start with (the
// longest one), null when none does.
const Device::Command* match(const Device& device, const Words& words, size_t& taken) {
  const Device::Command* found = nullptr;
  for (const Device::Command& c : device.commands()) {
    const Words name = Commands::split(c.name);
    if (words.size() < 1 + name.size() || !std::equal(name.begin(), name.end(), words.begin() + 1)) continue;
    if (!found || name.size() > taken) {
      found = &c;
      taken = name.size();
    }
  }
  return found;
}

// "unknown command: " and the words that named none: the model, its command
// word, and the next one when some command starts with that word.
std::string unknown(const Device& device, const Words& words) {
  std::string text = "unknown command: " + device.name() + " " + (words.size() > 1 ? words[1] : "");
  for (const Device::Command& c : device.commands()) {
    const Words name = Commands::split(c.name);
    if (name.size() > 1 && words.size() > 2 && name[0] == words[1]) return text + " " + words[2];
  }
  return text;
}

void runModelCommand(Device& device, const Words& words, Reply& reply) {
  size_t taken = 0;
  const Device::Command* c = match(device, words, taken);
  if (!c) return reply.fail(unknown(device, words));
  const size_t count = words.size() - 1 - taken;
  if (count < c->least || count > c->most) {
    return reply.fail("usage: " + device.name() + " " + synopsis(c->name.c_str(), c->usage.c_str()));
  }
  Args args(Words(words.begin() + 1 + long(taken), words.end()), reply);
  c->run(args, reply);
}

}  // namespace

Words Commands::split(const std::string& line) {
  Words words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

Commands::Outcome Commands::run(const std::string& line, int connection) {
  Outcome out;
  // Descriptors the daemon closed since the last command are closed for
  // every command, not only once something looks at the open files.
  board_.sweep();
  const Words words = split(line);
  if (words.empty()) {
    out.reply.fail("empty line");
    return out;
  }
  bool known = false;
  for (const BoardCommand& c : boardCommands) {
    if (words[0] != c.name) continue;
    known = true;
    if (words.size() == c.args + 1) {
      c.run(board_, words, out, connection);
      return out;
    }
  }
  if (known) {
    out.reply.fail(usage(words[0]));
    return out;
  }
  for (const auto& d : board_.devices()) {
    if (d->name() != words[0]) continue;
    runModelCommand(*d, words, out.reply);
    return out;
  }
  out.reply.fail("unknown command: " + words[0]);
  return out;
}

}  // namespace Sim
}  // namespace Board
