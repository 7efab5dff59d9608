#include "board/sim/Commands.h"

#include "board/sim/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace Board {
namespace Sim {

namespace {

using Outcome = Commands::Outcome;

struct BoardCommand {
  const char* name;
  const char* usage;
  size_t args;  // the arguments after the name, exactly
  void (*run)(Registry&, const Args&, Outcome&, int connection);
};

struct ErrnoName {
  const char* name;
  int value;
};

const ErrnoName errnoNames[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EINTR", EINTR},   {"EIO", EIO},         {"ENXIO", ENXIO},
    {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM}, {"EACCES", EACCES}, {"EFAULT", EFAULT},   {"EBUSY", EBUSY},
    {"ENODEV", ENODEV}, {"EINVAL", EINVAL}, {"ENOSPC", ENOSPC}, {"ENOTTY", ENOTTY},   {"ERANGE", ERANGE},
    {"ENOSYS", ENOSYS}, {"EPIPE", EPIPE},   {"ETIMEDOUT", ETIMEDOUT},
};

// A decimal, octal or 0x number that fills the whole word and fits `max`.
bool number(const std::string& word, unsigned long max, unsigned long& value) {
  if (word.empty() || word[0] == '-' || word[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoul(word.c_str(), &end, 0);
  return errno == 0 && *end == '\0' && value <= max;
}

bool errnoValue(const std::string& word, int& err) {
  for (const ErrnoName& e : errnoNames) {
    if (word == e.name) {
      err = e.value;
      return true;
    }
  }
  unsigned long v;
  if (!number(word, 4095, v) || v == 0) return false;
  err = int(v);
  return true;
}

void help(Registry& board, const Args&, Outcome& out, int);
std::string usage(const std::string& name);

Device* device(Registry& board, const std::string& name, Outcome& out) {
  Device* d = board.find(name);
  if (!d) out.reply.fail("unknown device: " + name);
  return d;
}

void devices(Registry& board, const Args&, Outcome& out, int) {
  for (const auto& d : board.devices()) {
    std::ostringstream line;
    line << d->path() << ' ' << d->name() << ' ' << (d->present() ? "present" : "absent")
         << " open=" << d->files().size();
    out.reply.line(line.str());
  }
}

void absent(Registry& board, const Args& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->setPresent(false);
}

void present(Registry& board, const Args& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->setPresent(true);
}

void failRequest(Registry& board, const Args& a, Outcome& out, int) {
  unsigned long request;
  int err;
  if (a[2] != "ioctl") return out.reply.fail(usage(a[0]));
  if (!number(a[3], 0xFFFFFFFFul, request)) return out.reply.fail("bad request number: " + a[3]);
  if (!errnoValue(a[4], err)) return out.reply.fail("bad errno: " + a[4]);
  if (Device* d = device(board, a[1], out)) d->refuseRequest(uint32_t(request), err);
}

void failWrites(Registry& board, const Args& a, Outcome& out, int) {
  int err;
  if (a[2] != "write") return out.reply.fail(usage(a[0]));
  if (!errnoValue(a[3], err)) return out.reply.fail("bad errno: " + a[3]);
  if (Device* d = device(board, a[1], out)) d->refuseWrites(err);
}

void heal(Registry& board, const Args& a, Outcome& out, int) {
  if (Device* d = device(board, a[1], out)) d->heal();
}

void follow(Registry& board, const Args& a, Outcome& out, int connection) {
  Device* d = device(board, a[1], out);
  if (!d) return;
  if (connection < 0) return out.reply.fail("follow needs a control connection");
  d->history(out.reply);
  out.follow = d;
}

void reset(Registry& board, const Args&, Outcome&, int) { board.reset(); }

const BoardCommand boardCommands[] = {
    {"help", "", 0, help},
    {"devices", "", 0, devices},
    {"absent", "DEV", 1, absent},
    {"present", "DEV", 1, present},
    {"fail", "DEV ioctl REQUEST ERRNO", 4, failRequest},
    {"fail", "DEV write ERRNO", 3, failWrites},
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

void help(Registry& board, const Args&, Outcome& out, int) {
  for (const BoardCommand& c : boardCommands) out.reply.line(synopsis(c.name, c.usage));
  for (const auto& d : board.devices()) {
    for (const Command& c : d->commands()) {
      out.reply.line(d->name() + " " + synopsis(c.name, c.usage));
    }
  }
}

}  // namespace

Args Commands::split(const std::string& line) {
  Args words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

Commands::Outcome Commands::run(const std::string& line, int connection) {
  Outcome out;
  // Descriptors the daemon closed since the last command are closed for
  // every command, not only once something looks at the open files.
  board_.sweep();
  const Args words = split(line);
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
    const std::string sub = words.size() > 1 ? words[1] : "";
    for (const Command& c : d->commands()) {
      if (sub == c.name) {
        c.run(*d, Args(words.begin() + 2, words.end()), out.reply);
        return out;
      }
    }
    out.reply.fail("unknown command: " + d->name() + " " + sub);
    return out;
  }
  out.reply.fail("unknown command: " + words[0]);
  return out;
}

}  // namespace Sim
}  // namespace Board
