#pragma once
// State that belongs to one open file of a device: an HDLC channel, a modem
// allocation, a session.

#include <functional>
#include <map>

#include "board/sim/Device.h"

namespace Board {
namespace Sim {

// The state a model keeps for each open file of its device: dropped when the
// file's last descriptor closes (after the model's closed()) and at reset.
class FileStates {
public:
  explicit FileStates(Device& device) { device.keep(*this); }
  virtual ~FileStates() = default;
  FileStates(const FileStates&) = delete;
  FileStates& operator=(const FileStates&) = delete;
  virtual void drop(unsigned file) = 0;
  virtual void clear() = 0;
};

template <class T>
class PerFile : public FileStates {
public:
  // `released` runs on a file's state when its file closes.
  explicit PerFile(Device& device, std::function<void(T&)> released = nullptr)
      : FileStates(device), released_(std::move(released)) {}

  // The file's state, made when it has none.
  T& of(const OpenFile& file) { return states_[file.id]; }
  // Null when the file has none.
  T* find(const OpenFile& file) {
    auto it = states_.find(file.id);
    return it == states_.end() ? nullptr : &it->second;
  }
  // Every file's state by file id, in opening order.
  const std::map<unsigned, T>& all() const { return states_; }

  void drop(unsigned file) override {
    auto it = states_.find(file);
    if (it == states_.end()) return;
    if (released_) released_(it->second);
    states_.erase(it);
  }
  void clear() override { states_.clear(); }

private:
  std::map<unsigned, T> states_;
  std::function<void(T&)> released_;
};

}  // namespace Sim
}  // namespace Board
