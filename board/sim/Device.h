#pragma once
// The model of one simulated device. A model answers the daemon's requests
// the way the driver would, keeps the state a test reads, and writes events
// into the daemon's descriptors when a test injects them.
//
// A model is mostly its device logic: it gives the base a table of the
// requests it answers (number, name, handler) and a table of its control
// commands (name, usage, handler). The base dispatches and journals the
// requests, checks the commands' argument counts, and carries what every
// model may want: the request journal, raw event injection, the hang-up of
// every descriptor, state kept per open file, and injected faults.
//
// Every member runs with the board locked (Registry::mutex): the daemon's
// thread and the control thread both reach the models.

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "board/sim/Args.h"
#include "board/sim/Call.h"
#include "board/sim/DevicePath.h"
#include "board/sim/RequestJournal.h"

namespace Board {
namespace Sim {

// One request a model answers. The handler's result is the request's: 0 or
// more, or -errno.
template <class M>
struct Answer {
  uint32_t request;
  const char* name;  // in the journal
  int (M::*run)(Call&);
  Form form = Form::Record;
  // The record's size, for a driver whose request numbers do not carry it; 0 takes the number's.
  size_t size = 0;
};

// One control command of a model, reached as "<model name> <name> <arguments>".
template <class M>
struct Control {
  const char* name;   // one word, or two for a model made of parts ("switch map")
  const char* usage;  // the arguments: words, [optional ones], "..." for more of the same
  void (M::*run)(Args&, Reply&);
};

// The commands every model may offer, each with its standard name.
enum Common : unsigned {
  JournalCommands = 1,  // "journal" and "clear"
  RawCommand = 2,       // "raw HEX": the bytes as one event record
  HangupCommand = 4,    // "hangup": every descriptor hangs up
};

class FileStates;

class Device {
public:
  struct Command {
    std::string name;
    std::string usage;
    size_t least;  // the arguments it takes
    size_t most;
    std::function<void(Args&, Reply&)> run;
  };

  // `path` is empty for a model that no path opens.
  Device(std::string name, std::string path, unsigned common = 0);
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  const std::string& name() const { return name_; }
  const DevicePath& path() const { return path_; }

  // The request and command tables of `model` (the device, or a part of it).
  template <class M, size_t N>
  void answer(M* model, const Answer<M> (&table)[N]);
  template <class M, size_t N>
  void control(M* model, const Control<M> (&table)[N]);

  // False for a driver whose read() fails with EAGAIN when nothing is queued, whatever the open flags.
  virtual bool readsWait() const { return true; }

  // The daemon's side. Results as the system call gives them, or -errno.
  virtual void opened(OpenFile&) {}
  virtual void closed(OpenFile&) {}
  virtual ssize_t write(OpenFile&, const uint8_t* data, size_t len);
  // `call.record` holds the request's full argument size, whatever its direction bits say.
  int request(Call& call, Form form);
  // The size of a request's record: as its table gives it, else as its number does.
  size_t recordSize(uint32_t request) const;

  const std::vector<Command>& commands() const { return commands_; }
  // What "follow" sends before the lines published from then on.
  virtual void history(Reply&) const {}

  // Back to power-on: present, no injected fault, no journal, the model's own state cleared.
  void reset();

  // Injected faults.
  bool present() const { return present_; }
  void setPresent(bool present) { present_ = present; }
  void refuseRequest(uint32_t request, int err) { refusedRequests_[request] = err; }
  int requestRefusal(uint32_t request) const;  // 0 when accepted
  void refuseWrites(int err) { refusedWrites_ = err; }
  int writeRefusal() const { return refusedWrites_; }
  void refuseReads(int err) { refusedReads_ = err; }
  int readRefusal() const { return refusedReads_; }
  void heal();

  // Writes one event record into every open descriptor of the device.
  // Returns the number of descriptors it reached; a full queue is skipped.
  size_t inject(const void* record, size_t len);
  // Shuts the model's end of every open descriptor: the daemon's ends report
  // a hang-up and read end of file. Returns the number of descriptors reached.
  size_t hangUp();

  const RequestJournal& journal() const { return journal_; }
  void clearJournal() { journal_.clear(); }

  // Lines of this device's activity go to every follower connection.
  void follow(int fd) { followers_.push_back(fd); }
  void publish(const std::string& line);

  // Open files, kept by the registry.
  OpenFile& attach(int peer, int accessMode, int pathNumber);
  void detach(unsigned id);
  const std::list<OpenFile>& files() const { return files_; }
  // Where a model's per-file state registers itself, to be dropped with its files.
  void keep(FileStates& states) { fileStates_.push_back(&states); }

protected:
  virtual void resetState() {}
  // A line of the journal that is no request (the watchdog journals its writes).
  void journalLine(std::string text) { journal_.add(std::move(text)); }
  // The common commands, for a model that offers one under another name.
  void rawCommand(Args& args, Reply& reply);
  void hangupCommand(Args& args, Reply& reply);

private:
  struct Route {
    uint32_t request;
    const char* name;
    Form form;
    size_t size;
    std::function<int(Call&)> run;
  };
  void addCommand(const char* name, const char* usage, std::function<void(Args&, Reply&)> run);

  std::string name_;
  DevicePath path_;
  std::vector<Route> routes_;
  std::vector<Command> commands_;
  RequestJournal journal_;
  bool present_ = true;
  std::map<uint32_t, int> refusedRequests_;
  int refusedWrites_ = 0;
  int refusedReads_ = 0;
  std::list<OpenFile> files_;
  std::vector<FileStates*> fileStates_;
  std::vector<int> followers_;
};

template <class M, size_t N>
void Device::answer(M* model, const Answer<M> (&table)[N]) {
  for (const Answer<M>& a : table) {
    auto run = a.run;
    routes_.push_back(Route{a.request, a.name, a.form, a.size, [model, run](Call& c) { return (model->*run)(c); }});
  }
}

template <class M, size_t N>
void Device::control(M* model, const Control<M> (&table)[N]) {
  for (const Control<M>& c : table) {
    auto run = c.run;
    addCommand(c.name, c.usage, [model, run](Args& a, Reply& r) { (model->*run)(a, r); });
  }
}

}  // namespace Sim
}  // namespace Board
