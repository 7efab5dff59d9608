#pragma once
// A client of the simulated board's control socket, for tests that drive a
// daemon running in another process.

#include <string>
#include <vector>

namespace Board {
namespace Sim {

class ControlClient {
public:
  ControlClient() = default;
  ~ControlClient();
  ControlClient(const ControlClient&) = delete;
  ControlClient& operator=(const ControlClient&) = delete;

  // Connects to the socket at `path` (by default the board's own), retrying
  // until it accepts or `timeoutMs` has passed.
  bool connect(int timeoutMs, const std::string& path = std::string());
  bool connected() const { return fd_ >= 0; }

  // Sends one line and returns its reply, the closing "OK" or "ERR ..."
  // included; empty when the connection failed or no reply came in time.
  std::vector<std::string> command(const std::string& line, int timeoutMs = 2000);
  // Sends raw bytes, newlines included.
  bool send(const std::string& bytes);
  // Waits until the board has read every byte sent, so that what is sent
  // next reaches it in reads of its own.
  bool drained(int timeoutMs);
  // The next line, without its newline; false on timeout or end of stream.
  bool readLine(std::string& line, int timeoutMs);

private:
  int fd_ = -1;
  std::string input_;
};

}  // namespace Sim
}  // namespace Board
