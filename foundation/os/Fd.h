#pragma once
// An owned file descriptor. Copies are close-on-exec duplicates, so passing
// an Fd by value hands the callee a descriptor of its own, closed when the
// callee is done with it.

class Fd {
public:
  Fd() = default;
  // Takes ownership; a valid descriptor is marked close-on-exec.
  explicit Fd(int fd);
  Fd(const Fd& other);
  Fd(Fd&& other) noexcept;
  Fd& operator=(const Fd& other);
  Fd& operator=(Fd&& other) noexcept;
  ~Fd();

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // A close-on-exec duplicate; empty when this one is empty or dup fails.
  Fd dup() const;
  // -1 with errno EBADF when empty; else close()'s result, leaving this empty.
  int close();
  // Sets O_NONBLOCK; false when empty or when that fails.
  bool NonBlock() const;

private:
  int fd_ = -1;
};

// Set or clear O_NONBLOCK; false when reading or writing the flags fails.
bool NonBlockMode(int fd);
bool BlockMode(int fd);

// Sets or clears FD_CLOEXEC. Returns true when that failed.
bool SetCloexec(int fd, bool on);
