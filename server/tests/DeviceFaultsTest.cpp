// Device faults across the real daemon. Each row of the golden script (a
// paragraph) starts a daemon on a board with the fault, or brings it on later,
// drives it as the controller and shows what came back and what was logged
// beyond a healthy start; "alive" shows that it still answers, pings the
// watchdog and idles. Rows run side by side (one at a time under the
// emulator), each with a daemon of its own, which must also stop in order
// (the harness checks it).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "board/Paths.h"
#include "server/tests/Harness.h"
#include "testing/Emulator.h"
#include "testing/Environment.h"
#include "testing/Golden.h"
#include "testing/Loopback.h"

using namespace e2e;

namespace {

const char* const script = "server/tests/golden/device-faults.txt";
// How long nothing must arrive for a step to be over.
constexpr int QuietMs = 100;
// Under the emulator one at a time: qemu-user 7.2 can fork a process while
// another of its threads holds one of the emulator's own locks, and the child
// then hangs at its first descriptor call, before it starts the daemon.
const size_t RowsAtOnce = Testing::emulator().empty() ? 6 : 1;

// The message coders serve one thread at a time.
std::mutex coders;
std::string coded(const std::string& message) {
  std::lock_guard<std::mutex> guard(coders);
  return Testing::lgcp(message);
}
std::string readable(const std::string& hex) {
  std::lock_guard<std::mutex> guard(coders);
  return Testing::notation(hex);
}

// One row: inputs "start [LINE; ...]" (a fresh daemon on a board that ran those lines at power-on), a message
// in value notation, "wait MS", "alive", or a board line; each answered by the board's reply (without "OK"),
// the messages that came and the lines logged meanwhile.
class Row {
public:
  explicit Row(const std::set<std::string>& healthy) : healthy_(healthy) {}

  std::string step(const std::string& input) {
    if (input.rfind("start", 0) == 0) {
      launch(input.size() > 6 ? input.substr(6) : "");
      shown_ = 0;
      return daemon_ ? logged(true) : "(no daemon)\n";
    }
    if (input == "alive") return alive();
    std::string answer;
    if (input.rfind("{", 0) == 0)
      controller_->sendHex(coded(input));
    else if (input.rfind("wait ", 0) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(input.substr(5))));
    else
      for (const std::string& line : (*control_)(input)) answer += line + "\n";
    return answer + received(input.find("pdu command") != std::string::npos) + logged();
  }

private:
  void launch(const std::string& powerOn) {
    // A port found free may be taken before the daemon binds it (by another row's daemon too): it starts again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      control_ = std::make_unique<BoardControl>();
      controller_ = std::make_unique<Controller>();
      daemon_ = std::make_unique<Daemon>();
      const std::string file = daemon_->file(Board::Paths::SimPowerOn);
      std::filesystem::create_directories(std::filesystem::path(file).parent_path());
      std::string text = powerOn + "\n";
      for (size_t at; (at = text.find("; ")) != std::string::npos;) text.replace(at, 2, "\n");
      std::ofstream(file) << text;
      // The PPP authentication proxy's port, of this daemon alone.
      daemon_->setenv("SERVER_AUTH_PORT", std::to_string(Testing::freePort()));
      if (!daemon_->serve() || !controller_->connect(daemon_->port()) || !control_->connect(*daemon_)) continue;
      const bool answered = ping();
      const std::string err = logged();
      if (answered && err.find("fail to bind auth socket") == std::string::npos &&
          err.find("can't bind to socket") == std::string::npos)
        return;
    }
    ADD_FAILURE() << "no daemon in " << daemon_->root();
    daemon_.reset();
  }

  bool ping() {
    controller_->sendHex(coded(Testing::cmd(Testing::NoSeq, Testing::NoSlot, "ping : NULL")));
    return controller_->receive() == coded(Testing::ok(Testing::NoSeq, Testing::NoSlot));
  }

  std::string alive() {
    if (!daemon_ || !ping()) return "ping unanswered\n";
    // The journal's times are the monotonic clock's milliseconds, as the steady clock's are.
    const Lines journal = (*control_)("watchdog journal");
    const long long now = std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(1);
    const bool pinged = !journal.empty() && journal.back().find(" PING") != std::string::npos &&
                        now - std::stoll(journal.back()) < 1500;
    const long long before = onCpuNs();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool idle = onCpuNs() - before < 50000000;
    return std::string("ping answered") + (pinged ? ", watchdog pinged" : ", watchdog silent") +
           (idle ? ", idle\n" : ", busy\n") + logged();
  }

  // The messages that came until a quiet spell (after the reply, for a command).
  std::string received(bool command) {
    std::string answer;
    bool replied = !command;
    for (std::string hex; !(hex = controller_->receive(replied ? QuietMs : 2000)).empty();) {
      const std::string text = readable(hex);
      replied |= text.find("pdu response") != std::string::npos;
      answer += text + "\n";
    }
    return replied ? answer : answer + "(no reply)\n";
  }

  // The lines logged since the last look, once standard error stops growing, paths without the daemon's root
  // process numbers as "pid=N" and the radio controllers' times;
  // not those naming the controller's port, nor, for a start, those a healthy start logs too.
  std::string logged(bool start = false) {
    std::string err;
    do {
      err = daemon_->err();
      std::this_thread::sleep_for(std::chrono::milliseconds(QuietMs / 2));
    } while (err.size() != daemon_->err().size());
    std::string answer;
    std::istringstream fresh(err.substr(std::min(shown_, err.size())));
    for (std::string line; std::getline(fresh, line);) {
      if (line.rfind("ctrl [", 0) == 0 || line.rfind("control connection ", 0) == 0) continue;
      for (size_t at; (at = line.find(daemon_->root())) != std::string::npos;) line.erase(at, daemon_->root().size());
      for (size_t at = line.find("pid="); at != std::string::npos; at = line.find("pid=", at + 5))
        line.replace(at + 4, line.find_first_not_of("0123456789", at + 4) - (at + 4), "N");
      line = Testing::withoutRadioTimes(line);
      if (!start || !healthy_.count("| " + line)) answer += "| " + line + "\n";
    }
    shown_ = err.size();
    return answer;
  }

  long long onCpuNs() const { return std::stoll(readFile("/proc/" + std::to_string(daemon_->pid()) + "/schedstat")); }

  const std::set<std::string>& healthy_;
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<BoardControl> control_;
  size_t shown_ = 0;
};

// The script's paragraphs, each a row: its comments and inputs.
std::vector<Lines> rows() {
  std::vector<Lines> all(1);
  std::ifstream in(Testing::required("GW_SOURCE_DIR") + "/" + script);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() && !all.back().empty()) all.emplace_back();
    if (line.rfind("#", 0) == 0 || line.rfind("> ", 0) == 0) all.back().push_back(line);
  }
  if (all.back().empty()) all.pop_back();
  return all;
}

TEST(DeviceFaults, TheDaemonAnswersLogsAndServesOn) {
  const std::vector<Lines> paragraphs = rows();
  std::set<std::string> healthy;
  std::istringstream usual(Row(healthy).step("start"));
  for (std::string line; std::getline(usual, line);) healthy.insert(line);
  std::vector<std::string> texts(paragraphs.size());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (size_t w = 0; w < RowsAtOnce; ++w) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < paragraphs.size();) {
        Row row(healthy);
        for (const std::string& line : paragraphs[i])
          texts[i] += line + "\n" + (line[0] == '>' ? row.step(line.substr(2)) : "");
      }
    });
  }
  for (std::thread& t : workers) t.join();
  std::string transcript;
  for (const std::string& text : texts) transcript += (transcript.empty() ? "" : "\n") + text;
  EXPECT_TRUE(Testing::matchesGolden(script, transcript));
}

}  // namespace
