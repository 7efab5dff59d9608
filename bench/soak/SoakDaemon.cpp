#include "bench/soak/SoakDaemon.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "board/Paths.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned short freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(fd);
  return ntohs(a.sin_port);
}

}  // namespace

SoakDaemon::SoakDaemon(std::string server, std::string standin, bool keep)
    : server_(std::move(server)), standin_(std::move(standin)), keep_(keep) {
  char dir[] = "/tmp/gw-soak.XXXXXX";
  root_ = ::mkdtemp(dir) ? dir : "";
  if (root_.empty()) return;
  for (const char* fixed :
       {Board::Paths::RunDir, Board::Paths::StatusDump, Board::Paths::ConfigFile, Board::Paths::VoicePhrases})
    fs::create_directories(fs::path(file(fixed)).parent_path());
  std::ofstream(file(Board::Paths::VoicePhrases) + "one") << "\x01\x02";
  // pppd waits for its hang-up; the T.38 program answers the instance query and ends.
  install(Board::Paths::Pppd, "wait");
  install(Board::Paths::T38, "print 4");
}

SoakDaemon::~SoakDaemon() {
  if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (!keep_ && !root_.empty()) fs::remove_all(root_);
}

bool SoakDaemon::start() {
  if (root_.empty()) return false;
  port_ = freePort();
  const std::string port = std::to_string(port_);
  const std::string auth = std::to_string(freePort());
  const std::string out = root_ + "/stdout", err = root_ + "/stderr";
  pid_ = ::fork();
  if (pid_ != 0) return pid_ > 0;
  ::setenv("SERVER_ROOT", root_.c_str(), 1);
  ::setenv("SERVER_AUTH_PORT", auth.c_str(), 1);
  ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
  ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
  // Nothing of this program's but the standard streams: the daemon's descriptors are its own.
  for (int fd = 3; fd < 1024; ++fd) ::close(fd);
  ::execl(server_.c_str(), server_.c_str(), "--port", port.c_str(), nullptr);
  ::_exit(127);
}

bool SoakDaemon::stop() {
  ::kill(pid_, SIGTERM);
  int status = 0;
  const bool ended = ::waitpid(pid_, &status, 0) == pid_;
  pid_ = -1;
  return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long SoakDaemon::residentKb() const {
  std::istringstream status(readFile(proc("status")));
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

std::map<std::string, int> SoakDaemon::descriptors(const std::map<std::string, std::string>& devices) const {
  std::map<std::string, int> kinds;
  for (const auto& entry : fs::directory_iterator(proc("fd"))) {
    std::error_code error;
    std::string target = fs::read_symlink(entry.path(), error).string();
    if (error) continue;
    const auto device = devices.find(target);
    target = device != devices.end() ? device->second : target.substr(0, target.find(":["));
    ++kinds[target.rfind(root_, 0) == 0 ? target.substr(root_.size()) : target];
  }
  return kinds;
}

unsigned SoakDaemon::children() const {
  unsigned count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = readFile(entry.path().string() + "/stat");
    const size_t end = stat.rfind(") ");
    if (end == std::string::npos) continue;
    std::istringstream fields(stat.substr(end + 2));
    std::string state;
    long parent = 0;
    fields >> state >> parent;
    count += parent == pid_;
  }
  return count;
}

int SoakDaemon::freePackets() const {
  const std::string dump = file(Board::Paths::StatusDump);
  fs::remove(dump);
  ::kill(pid_, SIGUSR2);
  // Whole once the handler table's closing line and the empty line are there.
  for (int i = 0; i < 300; ++i) {
    const std::string text = readFile(dump);
    const size_t at = text.find("\npackets : ");
    if (at != std::string::npos && text.size() > 3 && text.compare(text.size() - 3, 3, "+\n\n") == 0)
      return std::atoi(text.c_str() + at + 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

std::string SoakDaemon::proc(const char* what) const { return "/proc/" + std::to_string(pid_) + "/" + what; }

void SoakDaemon::install(const char* program, const char* steps) const {
  const std::string path = file(program);
  fs::create_directories(fs::path(path).parent_path());
  fs::copy_file(standin_, path);
  std::ofstream(path + ".do") << steps << "\n";
}
