#pragma once
// The controller of the soak: TPKT-framed LGCP messages over one TCP
// connection, each message encoded once and sent from then on as bytes.

#include <chrono>
#include <map>
#include <string>

class SoakController {
public:
  SoakController() = default;
  ~SoakController() { close(); }
  SoakController(const SoakController&) = delete;
  SoakController& operator=(const SoakController&) = delete;

  // Retries for a few seconds until the port accepts.
  bool connect(int port);
  void close();

  // Sends a message in value notation and reads until its reply: "success",
  // the error cause, or "" when none came in time. Signals on the way are counted.
  std::string command(const std::string& message);

  unsigned long signals() const { return signals_; }

private:
  using Clock = std::chrono::steady_clock;

  static std::string frame(const std::string& message);
  // The next frame's payload, reading as needed until the deadline.
  bool next(std::string& payload, Clock::time_point deadline);

  int fd_ = -1;
  std::string in_;
  std::map<std::string, std::string> frames_;
  unsigned long signals_ = 0;
};
