#include "server/tests/Harness.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

#include "board/Paths.h"
#include "testing/Emulator.h"
#include "testing/Environment.h"
#include "testing/Frames.h"
#include "testing/Loopback.h"

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

// UNIX socket paths (the board's control socket, the syslog socket) must fit
// sun_path; a root too deep for them goes to the temporary directory.
constexpr size_t MaxRootLength = 60;

// How long an orderly stop may take before the daemon is killed.
constexpr int StopLimitMs = 5000;

// What the sanitizers write when a build with them finds a fault.
const char* const sanitizerReports[] = {"ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer"};

// A process that no longer runs (a zombie nobody has reaped yet included).
bool gone(pid_t pid) {
  if (::kill(pid, 0) != 0) return errno == ESRCH;
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t state = stat.rfind(") ");
  return state != std::string::npos && stat.compare(state + 2, 1, "Z") == 0;
}

std::string freshRoot() {
  const char* base = std::getenv("SERVER_ROOT");
  std::string dir = base && *base ? base : "";
  if (dir.empty() || dir.size() > MaxRootLength) {
    const char* tmp = std::getenv("TMPDIR");
    dir = tmp && *tmp ? tmp : "/tmp";
  }
  std::string path = dir + "/gw.XXXXXX";
  // Without a root of its own the daemon would run on the machine's "/".
  if (!::mkdtemp(&path[0])) {
    std::perror(("e2e: cannot make a daemon root under " + dir).c_str());
    std::abort();
  }
  // The directories of the daemon's own files, as on the board.
  for (const char* fixed :
       {Board::Paths::RunDir, Board::Paths::StatusDump, Board::Paths::SyslogSocket, Board::Paths::ConfigFile})
    std::filesystem::create_directories(std::filesystem::path(path + fixed).parent_path());
  return path;
}

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

namespace {

// The inodes of the sockets that listen on the TCP port (any local address).
std::set<std::string> listeners(int port) {
  std::istringstream table(readFile("/proc/net/tcp"));
  std::string line;
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", unsigned(port));
  std::set<std::string> inodes;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
    if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0) inodes.insert(inode);
  }
  return inodes;
}

// True once the process itself listens on the TCP port: a port found free
// may have gone to another process meanwhile, whose listener is no proof.
bool listens(pid_t pid, int port) {
  const std::set<std::string> inodes = listeners(port);
  if (inodes.empty()) return false;
  std::error_code error;
  for (std::filesystem::directory_iterator fd("/proc/" + std::to_string(pid) + "/fd", error), end; !error && fd != end;
       fd.increment(error)) {
    std::error_code gone;
    const std::string target = std::filesystem::read_symlink(fd->path(), gone).string();
    if (target.rfind("socket:[", 0) == 0 && inodes.count(target.substr(8, target.size() - 9))) return true;
  }
  return false;
}

}  // namespace

Daemon::Daemon() : root_(freshRoot()) {}

Daemon::~Daemon() {
  stopInOrder();
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  const pid_t detached = detachedPid();
  if (detached > 0 && !gone(detached)) ::kill(detached, SIGKILL);
  // A failed test leaves its root behind to be looked at.
  if (!root_.empty() && !::testing::Test::HasFailure()) std::system(("rm -rf '" + root_ + "'").c_str());
}

void Daemon::stopInOrder() {
  if (pid_ > 0 && !exited_) {
    signal(SIGTERM);
    EXPECT_EQ(wait(StopLimitMs), 0) << "the daemon did not stop in order";
  }
  const pid_t detached = detachedPid();
  if (detached > 0 && !gone(detached)) {
    ::kill(detached, SIGTERM);
    EXPECT_TRUE(waitFor([&] { return gone(detached); }, StopLimitMs)) << "the detached daemon did not stop";
  }
  const std::string text = err();
  for (const char* report : sanitizerReports) EXPECT_EQ(text.find(report), std::string::npos) << text;
}

// Named by the pid file in this root only.
pid_t Daemon::detachedPid() const {
  const pid_t detached = std::atoi(readFile(pidFile()).c_str());
  return detached != pid_ ? detached : 0;
}

void Daemon::start(const std::vector<std::string>& args) {
  std::vector<std::string> line = Testing::commandLine(Testing::required("GW_SERVER_BINARY"), args);
  std::fflush(nullptr);
  // Emptied before the fork: what a daemon started before wrote is no answer of this one.
  for (const char* stream : {"/stdout", "/stderr"}) std::ofstream(root_ + stream, std::ios::trunc);
  exited_ = false;
  pid_ = ::fork();
  if (pid_ != 0) return;
  ::setenv("SERVER_ROOT", root_.c_str(), 1);
  for (const auto& e : env_) ::setenv(e.first.c_str(), e.second.c_str(), 1);
  if (!std::freopen((root_ + "/stdout").c_str(), "w", stdout)) ::_exit(127);
  if (!std::freopen((root_ + "/stderr").c_str(), "w", stderr)) ::_exit(127);
  if (!workDir_.empty() && ::chdir(workDir_.c_str()) != 0) ::_exit(127);
  std::vector<char*> argv;
  for (std::string& word : line) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

bool Daemon::serve(const std::vector<std::string>& args) {
  return serve([&](const std::string& port) {
    std::vector<std::string> all{"--port", port};
    all.insert(all.end(), args.begin(), args.end());
    return all;
  });
}

bool Daemon::serve(const std::function<std::vector<std::string>(const std::string& port)>& line) {
  // A port free when picked may be taken by another test before the daemon
  // binds it: then the daemon waits for it, and the test tries another.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = Testing::freePort();
    if (ownAuthPort_) {
      authPort_ = Testing::freePort();
      setenv("SERVER_AUTH_PORT", std::to_string(authPort_));
    }
    start(line(std::to_string(port_)));
    if (!outHas("Starting server [")) return false;
    bool bound = false;
    waitFor([&] {
      bound = listens(pid_, port_);
      return bound || err().find("can't bind to socket") != std::string::npos;
    });
    // The proxy binds its port before the daemon announces itself.
    const bool proxy = !ownAuthPort_ || err().find("fail to bind auth socket") == std::string::npos;
    if (bound && proxy) return true;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  return false;
}

bool Daemon::serveDetached() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = Testing::freePort();
    start({"-D", "--port", std::to_string(port_)});
    if (wait() != 0) return false;
    pid_t detached = 0;
    if (waitFor([&] { return (detached = detachedPid()) > 0 && listens(detached, port_); })) return true;
    if (detached > 0) {
      ::kill(detached, SIGKILL);
      waitFor([&] { return gone(detached); });
    }
    std::remove(pidFile().c_str());
  }
  return false;
}

int Daemon::wait(int timeoutMs) {
  int status = 0;
  const bool done = waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs);
  if (!done) return -1;
  exited_ = true;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Daemon::signal(int signo) const { ::kill(pid_, signo); }

bool Daemon::outHas(const std::string& text, int timeoutMs) const {
  return waitFor([&] { return out().find(text) != std::string::npos; }, timeoutMs);
}

bool Daemon::errHas(const std::string& text, int timeoutMs) const {
  return waitFor([&] { return err().find(text) != std::string::npos; }, timeoutMs);
}

Controller::~Controller() { close(); }

void Controller::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int Controller::localPort() const { return Testing::localPort(fd_); }

bool Controller::connect(int port, int timeoutMs) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  return waitFor(
      [&] {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
        ::close(fd_);
        fd_ = -1;
        return false;
      },
      timeoutMs);
}

void Controller::sendHex(const std::string& hexPayload) {
  const std::string bytes = Testing::tpkt(Testing::bytes(hexPayload));
  ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool Controller::fill(int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  if (closed_ || ::poll(&p, 1, timeoutMs) <= 0) return false;
  char buf[4096];
  const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
  if (n <= 0) {
    closed_ = true;
    return false;
  }
  received_.append(buf, size_t(n));
  return true;
}

// A trunkStatus signal without seq and slot: pdu signal, alternative 11; a
// power signal: alternative 17, its two bits of state, nothing more.
bool Controller::next(std::string& payload) {
  for (std::string raw; Testing::cutTpkt(received_, raw);) {
    payload = Testing::hex(raw);
    const bool trunkStatus = payload.compare(0, 4, "22c0") == 0;
    const bool power = payload.size() == 4 && payload.compare(0, 2, "24") == 0 && payload[2] >= '4' &&
                       payload[2] <= '7' && payload[3] == '0';
    if ((keepTrunkStatus_ || !trunkStatus) && (keepPower_ || !power)) return true;
  }
  return false;
}

std::string Controller::receive(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string payload;
  while (!next(payload)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !fill(int(left))) return std::string();
  }
  return payload;
}

void Controller::expectNext(const Lines& messages, const std::string& after) {
  Lines expected, received;
  for (const std::string& m : messages) {
    expected.push_back(Testing::lgcp(m));
    received.push_back(receive());
  }
  EXPECT_TRUE(Testing::sameFrames(expected, received)) << "after " << after;
}

bool Controller::seesClose(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!closed_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    fill(int(left));
  }
  return true;
}

bool Controller::quiet(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  std::string payload;
  for (;;) {
    if (next(payload)) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !fill(int(left))) return !closed_;
  }
}

bool BoardControl::connect(const Daemon& daemon) {
  return client_.connect(PatienceMs, daemon.file(Board::Paths::SimControl));
}

Lines BoardControl::operator()(const std::string& line) {
  Lines lines = client_.command(line, PatienceMs);
  EXPECT_FALSE(lines.empty()) << line;
  if (lines.empty()) return lines;
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

Lines BoardControl::journal(const std::string& device) {
  Lines texts;
  for (const std::string& line : (*this)(device + " journal")) texts.push_back(line.substr(line.find(' ') + 1));
  (*this)(device + " clear");
  return texts;
}

void Served::SetUp() {
  ASSERT_TRUE(daemon.serve());
  ASSERT_TRUE(controller.connect(daemon.port()));
  ASSERT_TRUE(control.connect(daemon));
}

}  // namespace e2e
