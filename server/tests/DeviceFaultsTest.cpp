// Device faults across the real daemon: every simulated device absent from
// power-on, refusing requests, hanging up and failing reads while slots use
// it. Each row of the golden script (a paragraph) starts a daemon on a board
// with the fault, or brings the fault on later, drives it as the controller
// and shows what came back and what the daemon logged beyond a healthy
// start; "alive" then shows that it still answers, pings the watchdog and
// idles. Every daemon must also stop in order (the harness checks it). Rows
// run side by side, each with a daemon of its own.

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "board/Paths.h"
#include "server/tests/Harness.h"
#include "testing/Golden.h"
#include "testing/Loopback.h"

using namespace e2e;

namespace {

const char* const script = "server/tests/golden/device-faults.txt";
// How long nothing must arrive for a step to be over.
constexpr int QuietMs = 100;
constexpr size_t RowsAtOnce = 6;

uint64_t monotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

Lines lines(const std::string& text) {
  Lines all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  return all;
}

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
std::string ping() { return coded(Testing::cmd(Testing::NoSeq, Testing::NoSlot, "ping : NULL")); }

// Lines naming the controller's port.
bool transport(const std::string& line) {
  return line.rfind("ctrl [", 0) == 0 || line.rfind("control connection ", 0) == 0;
}

// One row: inputs "start [LINE; ...]" (a fresh daemon on a board that ran
// those lines at power-on), a message in value notation, "wait MS", "alive",
// or a line for the board; each answered by the board's reply (without
// "OK"), the messages that came and the lines logged meanwhile.
class Row {
public:
  explicit Row(const Lines& healthy) : healthy_(healthy) {}

  std::string step(const std::string& input) {
    if (input.rfind("start", 0) == 0) return start(input.size() > 6 ? input.substr(6) : "");
    if (!daemon_) return "(no daemon)\n";
    if (input == "alive") return alive();
    std::string answer;
    if (input.rfind("{", 0) == 0) {
      controller_->sendHex(coded(input));
      answer = received(input.find("pdu command") != std::string::npos);
    } else if (input.rfind("wait ", 0) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(input.substr(5))));
      answer = received(false);
    } else {
      for (const std::string& line : (*control_)(input)) answer += line + "\n";
      answer += received(false);
    }
    return answer + logged();
  }

  // What a healthy start logs.
  Lines healthyStart() {
    launch("");
    return lines(daemon_->err());
  }

private:
  std::string start(const std::string& powerOn) {
    launch(powerOn);
    if (!daemon_) return "(no daemon)\n";
    std::map<std::string, int> usual;
    for (const std::string& line : healthy_) ++usual[line];
    std::string answer;
    for (const std::string& line : lines(daemon_->err())) {
      if (usual[line]-- <= 0 && !transport(line)) answer += shown(line);
    }
    shown_ = daemon_->err().size();
    return answer;
  }

  void launch(const std::string& powerOn) {
    // A port found free may be taken before the daemon binds it (by another row's daemon, too): then it
    // starts again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      control_.reset();
      controller_.reset();
      daemon_ = std::make_unique<Daemon>();
      const std::string file = daemon_->file(Board::Paths::SimPowerOn);
      std::filesystem::create_directories(std::filesystem::path(file).parent_path());
      std::string text = powerOn + "\n";
      for (size_t at; (at = text.find("; ")) != std::string::npos;) text.replace(at, 2, "\n");
      std::ofstream(file) << text;
      // The PPP authentication proxy's port, of this daemon alone.
      daemon_->setenv("SERVER_AUTH_PORT", std::to_string(Testing::freePort()));
      controller_ = std::make_unique<Controller>();
      control_ = std::make_unique<BoardControl>();
      if (!daemon_->serve() || !controller_->connect(daemon_->port()) || !control_->connect(*daemon_)) continue;
      controller_->sendHex(ping());
      const bool answered = controller_->receive() == coded(Testing::ok(Testing::NoSeq, Testing::NoSlot));
      settled();
      const std::string err = daemon_->err();
      if (answered && err.find("fail to bind auth socket") == std::string::npos &&
          err.find("can't bind to socket") == std::string::npos)
        return;
    }
    ADD_FAILURE() << "no daemon in " << daemon_->root();
    daemon_.reset();
  }

  std::string alive() {
    controller_->sendHex(ping());
    const bool answered = controller_->receive() == coded(Testing::ok(Testing::NoSeq, Testing::NoSlot));
    const Lines journal = (*control_)("watchdog journal");
    const bool pinged = !journal.empty() && journal.back().find(" PING") != std::string::npos &&
                        monotonicMs() - std::stoull(journal.back()) < 1500;
    const uint64_t before = cpuTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool idle = cpuTicks() - before < 8;
    return std::string(answered ? "ping answered" : "ping unanswered") +
           (pinged ? ", watchdog pinged" : ", watchdog silent") + (idle ? ", idle\n" : ", busy\n") + logged();
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

  // Waits until standard error stops growing.
  void settled() {
    for (size_t size = SIZE_MAX; size != daemon_->err().size();) {
      size = daemon_->err().size();
      std::this_thread::sleep_for(std::chrono::milliseconds(QuietMs / 2));
    }
  }

  // The lines logged since the last look.
  std::string logged() {
    settled();
    const std::string err = daemon_->err();
    std::string answer;
    for (const std::string& line : lines(err.substr(std::min(shown_, err.size())))) {
      if (!transport(line)) answer += shown(line);
    }
    shown_ = err.size();
    return answer;
  }

  // A logged line as the script shows it: paths without the daemon's root.
  std::string shown(std::string line) const {
    for (size_t at; (at = line.find(daemon_->root())) != std::string::npos;) line.erase(at, daemon_->root().size());
    return "| " + line + "\n";
  }

  uint64_t cpuTicks() const {
    const std::string stat = readFile("/proc/" + std::to_string(daemon_->pid()) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
    uint64_t user = 0, system = 0;
    fields >> user >> system;
    return user + system;
  }

  const Lines& healthy_;
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<BoardControl> control_;
  size_t shown_ = 0;
};

// The script's paragraphs, each a row: its comments and inputs.
std::vector<Lines> rows() {
  std::vector<Lines> all(1);
  std::ifstream in(std::string(std::getenv("GW_SOURCE_DIR")) + "/" + script);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      if (!all.back().empty()) all.emplace_back();
    } else if (line[0] == '#' || line.rfind("> ", 0) == 0) {
      all.back().push_back(line);
    }
  }
  if (all.back().empty()) all.pop_back();
  return all;
}

TEST(DeviceFaults, TheDaemonAnswersLogsAndServesOn) {
  const std::vector<Lines> paragraphs = rows();
  ASSERT_FALSE(paragraphs.empty());
  Lines healthy;
  healthy = Row(healthy).healthyStart();
  std::vector<std::string> texts(paragraphs.size());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (size_t w = 0; w < RowsAtOnce; ++w) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < paragraphs.size();) {
        Row row(healthy);
        for (const std::string& line : paragraphs[i]) {
          texts[i] += line + "\n";
          if (line[0] == '>') texts[i] += row.step(line.substr(2));
        }
      }
    });
  }
  for (std::thread& t : workers) t.join();
  std::string transcript;
  for (const std::string& text : texts) transcript += (transcript.empty() ? "" : "\n") + text;
  EXPECT_TRUE(Testing::matchesGolden(script, transcript));
}

}  // namespace
