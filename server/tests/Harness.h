#pragma once
// The end-to-end harness: the real daemon (named by GW_SERVER_BINARY, else
// the build tree's; started through the build's emulator
// when there is one) in a root directory of its own (fresh per test) on the
// simulated board and a free control port, a controller speaking
// TPKT-framed LGCP messages to it over TCP, written in value notation and
// compared byte for byte, and bounded waits that poll for a condition
// instead of sleeping. A daemon still running at the end of a test is
// stopped in order and must exit cleanly.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "board/Paths.h"
#include "board/sim/ControlClient.h"
#include "testing/Capture.h"
#include "testing/Lgcp.h"
#include "testing/Loop.h"

namespace e2e {

using Lines = std::vector<std::string>;

using Testing::cmd;
using Testing::count;
using Testing::err;
using Testing::NoSeq;
using Testing::NoSlot;
using Testing::ok;
using Testing::resources;
using Testing::sig;

std::string readFile(const std::string& path);
bool exists(const std::string& path);

using Testing::PatienceMs;

// Polls the condition every few milliseconds; false when it did not hold in time.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = PatienceMs);

class Daemon {
public:
  Daemon();
  ~Daemon();
  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

  // Runs the daemon with exactly these arguments, its standard output and
  // error into files of the root directory.
  void start(const std::vector<std::string>& args);
  // On a free port (plus the given arguments); true once it has started.
  // A controller's connect retries until it listens.
  bool serve(const std::vector<std::string>& args = {});
  // The same with a command line made for the free port given.
  bool serve(const std::function<std::vector<std::string>(const std::string& port)>& line);
  // Detached ("-D") on a free port: true once the process started has
  // ended with status 0 and the daemon it left behind listens on the port.
  bool serveDetached();
  // The daemons served from now on run the PPP authentication proxy on a
  // free port of their own (authPort()), not on the fixed one.
  void ownAuthPort() { ownAuthPort_ = true; }
  int authPort() const { return authPort_; }
  // An environment variable of the daemons started from now on (beside SERVER_ROOT).
  void setenv(const std::string& name, const std::string& value) { env_.emplace_back(name, value); }
  // The working directory of the daemons started from now on (a relative SERVER_ROOT is taken from it).
  void workIn(const std::string& dir) { workDir_ = dir; }

  // The exit status (128 + signal when killed), -1 when still running after the time.
  int wait(int timeoutMs = PatienceMs);
  void signal(int signo) const;

  pid_t pid() const { return pid_; }
  int port() const { return port_; }
  const std::string& root() const { return root_; }
  // A fixed path of the daemon, placed under its root.
  std::string file(const char* fixed) const { return root_ + fixed; }
  // The pid file a detached daemon writes.
  std::string pidFile() const { return file(Board::Paths::RunDir) + "server.pid"; }
  std::string out() const { return readFile(root_ + "/stdout"); }
  std::string err() const { return readFile(root_ + "/stderr"); }
  // Waits until the stream's file holds the text.
  bool outHas(const std::string& text, int timeoutMs = PatienceMs) const;
  bool errHas(const std::string& text, int timeoutMs = PatienceMs) const;

private:
  // SIGTERM to a daemon still running, then its exit status 0 and a
  // standard error free of sanitizer reports.
  void stopInOrder();
  // The pid the detached daemon wrote, 0 when there is none.
  pid_t detachedPid() const;

  std::string root_;
  std::vector<std::pair<std::string, std::string>> env_;
  std::string workDir_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool ownAuthPort_ = false;
  int authPort_ = 0;
  bool exited_ = false;
};

// The controller's end of the link.
class Controller {
public:
  Controller() = default;
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // Retries until the port accepts or the time is up.
  bool connect(int port, int timeoutMs = PatienceMs);
  // A message in value notation.
  void send(const std::string& message) { sendHex(Testing::lgcp(message)); }
  // Bytes no encoder would write, as hex.
  void sendHex(const std::string& hexPayload);
  // The next frame's payload as hex; "" on timeout or close.
  std::string receive(int timeoutMs = PatienceMs);
  // Expects exactly these messages next, in order (`after` names the cause).
  void expectNext(const Lines& messages, const std::string& after);
  // Sends one message and expects exactly these messages back, in order.
  void expect(const std::string& message, const Lines& messages) {
    send(message);
    expectNext(messages, message);
  }
  // A ping without seq and slot is answered.
  void expectPing() { expect(cmd(NoSeq, NoSlot, "ping : NULL"), {ok(NoSeq, NoSlot)}); }
  // True when the daemon closed the connection within the time.
  bool seesClose(int timeoutMs = PatienceMs);
  // True when nothing arrived within the time.
  bool quiet(int ms);
  // The E1 and BRI trunk statuses the daemon sends every second while a
  // controller is connected are set aside unless a test keeps them.
  void keepTrunkStatus(bool keep) { keepTrunkStatus_ = keep; }
  // So is the power state the monitoring sends on every connect and change.
  void keepPower(bool keep) { keepPower_ = keep; }
  // This end's port, as the daemon names the controller.
  int localPort() const;
  void close();

private:
  // Reads what arrives within the time; false on close or timeout.
  bool fill(int timeoutMs);
  // The next frame received that is not set aside.
  bool next(std::string& payload);

  int fd_ = -1;
  bool closed_ = false;
  bool keepTrunkStatus_ = false;
  bool keepPower_ = false;
  std::string received_;
};

// The simulated board's control socket in a daemon's root.
class BoardControl {
public:
  bool connect(const Daemon& daemon);
  // A command's reply lines without the closing "OK" it must end with.
  Lines operator()(const std::string& line);
  // A device's journal without the times; the journal is emptied.
  Lines journal(const std::string& device);
  Board::Sim::ControlClient& client() { return client_; }

private:
  Board::Sim::ControlClient client_;
};

// A daemon served, a controller connected to it and its board's control socket.
class Served : public ::testing::Test {
protected:
  void SetUp() override;
  void expect(const std::string& message, const Lines& messages) { controller.expect(message, messages); }

  Daemon daemon;
  Controller controller;
  BoardControl control;
};

}  // namespace e2e
