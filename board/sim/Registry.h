#pragma once
// The simulated board: its device models keyed by path, and the daemon's
// open descriptors keyed by inode (a descriptor keeps its inode through
// dup(), its number does not).

#include "board/sim/ControlServer.h"
#include "board/sim/Device.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace Board {
namespace Sim {

class Registry {
public:
  // The board with its models, made on first use and kept until the process
  // ends (daemon objects may still close descriptors from their destructors).
  // The first use also starts the control socket.
  static Registry& instance();

  // Guards every model, shared by the daemon's and the control thread.
  std::mutex& mutex() { return mutex_; }

  // The model at a path as the daemon opens it (with or without the root
  // directory in front); null when not modelled. `number` is the number the
  // path carries for a device named by a pattern, -1 otherwise.
  Device* atPath(const std::string& path, int& number) const;
  // The model at that path, or of that name.
  Device* find(const std::string& pathOrName) const;
  // Adds a model; one already at that path (for a model
  // without a path: of that name) is replaced.
  Device& add(std::unique_ptr<Device> device);
  const std::vector<std::unique_ptr<Device>>& devices() const { return devices_; }

  // A new descriptor on the device, or -errno.
  int open(Device& device, int flags, int pathNumber);

  struct Target {
    Device* device = nullptr;
    OpenFile* file = nullptr;
  };
  // The open file behind a descriptor; device null when it is no simulated one.
  Target lookup(int fd);
  // The open files by the device and inode of the daemon's end.
  const std::map<std::pair<dev_t, ino_t>, Target>& openFiles() const { return open_; }
  // Forgets open files whose every descriptor has been closed.
  void sweep();
  // Every model back to power-on.
  void reset();

private:
  Registry();
  // Runs the lines of the power-on file, if there is one.
  void powerOn();
  void afterForkInChild();

  std::mutex mutex_;
  std::vector<std::unique_ptr<Device>> devices_;
  std::map<std::pair<dev_t, ino_t>, Target> open_;
  ControlServer control_;
};

}  // namespace Sim
}  // namespace Board
