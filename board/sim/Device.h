#pragma once
// The model of one simulated device. A model answers the daemon's requests
// the way the driver would, keeps the state a test reads, and writes events
// into the daemon's descriptors when a test injects them.
//
// Every member runs with the board locked (Registry::mutex): the daemon's
// thread and the control thread both reach the models.

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>
#include <sys/types.h>

namespace Board {
namespace Sim {

// One open file of a device. The daemon holds one end of a socket pair,
// the model keeps the other (peer) to write event records into.
struct OpenFile {
  unsigned id;     // unique on the board, for models that keep per-open state
  int accessMode;  // O_RDONLY, O_WRONLY or O_RDWR
  int peer;
};

using Args = std::vector<std::string>;

// The answer to one control line: text lines, then "OK" or "ERR <why>".
class Reply {
public:
  void line(std::string text) { lines_.push_back(std::move(text)); }
  void fail(std::string why) {
    failed_ = true;
    error_ = std::move(why);
  }
  bool failed() const { return failed_; }
  const std::vector<std::string>& lines() const { return lines_; }
  // Every line as sent, the closing "OK" or "ERR ..." included.
  std::vector<std::string> text() const;

private:
  std::vector<std::string> lines_;
  std::string error_;
  bool failed_ = false;
};

class Device;

// One control command of a model, reached as "<model name> <name> <args>".
struct Command {
  const char* name;
  const char* usage;  // the arguments, "" when there are none
  void (*run)(Device&, const Args&, Reply&);
};

class Device {
public:
  Device(std::string name, std::string path);
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  const std::string& name() const { return name_; }
  const std::string& path() const { return path_; }

  // The daemon's side. Results as the system call gives them, or -errno.
  virtual void opened(OpenFile&) {}
  virtual void closed(OpenFile&) {}
  virtual ssize_t write(OpenFile&, const uint8_t* data, size_t len);
  // `record` holds the request's full argument size, whatever its direction bits say.
  virtual int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len);
  virtual int ioctlValue(OpenFile&, uint32_t request, unsigned long value);

  // This model's control commands (static data of the model).
  virtual std::vector<Command> commands() const { return {}; }
  // What "follow" sends before the lines published from then on.
  virtual void history(Reply&) const {}

  // Back to power-on: present, no injected fault, the model's own state cleared.
  void reset();

  // Injected faults.
  bool present() const { return present_; }
  void setPresent(bool present) { present_ = present; }
  void refuseRequest(uint32_t request, int err) { refusedRequests_[request] = err; }
  int requestRefusal(uint32_t request) const;  // 0 when accepted
  void refuseWrites(int err) { refusedWrites_ = err; }
  int writeRefusal() const { return refusedWrites_; }
  void heal();

  // Writes one event record into every open descriptor of the device.
  // Returns the number of descriptors it reached; a full queue is skipped.
  size_t inject(const void* record, size_t len);

  // Lines of this device's activity go to every follower connection.
  void follow(int fd) { followers_.push_back(fd); }
  void publish(const std::string& line);

  // Open files, kept by the registry.
  OpenFile& attach(int peer, int accessMode);
  void detach(unsigned id);
  const std::list<OpenFile>& files() const { return files_; }

protected:
  virtual void resetState() {}

private:
  std::string name_;
  std::string path_;
  bool present_ = true;
  std::map<uint32_t, int> refusedRequests_;
  int refusedWrites_ = 0;
  std::list<OpenFile> files_;
  std::vector<int> followers_;
};

}  // namespace Sim
}  // namespace Board
