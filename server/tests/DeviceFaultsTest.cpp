// Device faults across the real daemon. Each row of the golden script (a
// paragraph) starts a daemon on a board with the fault, or brings it on later,
// drives it as the controller and shows what came back and what was logged
// beyond a healthy start; "alive" shows that it still answers, pings the
// watchdog and idles. Rows run side by side (one at a time under the
// emulator), each with a daemon of its own, which must also stop in order
// (the harness checks it).
//
// A step is over once the daemon has handled all it caused, not after a
// quiet spell: its loop takes what reaches it in order, so two pings sent one
// after the other, each once the one before is answered, come back only after
// everything the step made ready. What the daemon does on its own timers is
// awaited by name ("await"), or raced only from just after one of its
// once-a-second rounds ("round"); a "wait" is room for what must not happen.

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

using namespace e2e;

namespace {

const char* const script = "server/tests/golden/device-faults.txt";
// Standard error is read once it has not grown for this long: a child
// program's end comes by a signal, a little after its output ended.
constexpr int SettleMs = 50;
// The seq of the pings that end each step.
constexpr long Marker = 2147483647;
// How long a watchdog that works may take to be pinged again: the loop passes
// at least once a second and pings at the first pass a second after the last
// ping, so up to two seconds; the rest is room for a loaded machine.
constexpr int FreshPingMs = 6000;
// Under the emulator one at a time: qemu-user 7.2 can fork a process while
// another of its threads holds one of the emulator's own locks, and the child
// then hangs at its first descriptor call, before it starts the daemon.
const size_t RowsAtOnce = Testing::emulator().empty() ? 6 : 1;
// The BRI line interfaces, whose status registers a round reads one each.
constexpr unsigned long BriLines = 8;

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

// The last number of a line ("... reads 7"), 0 for none.
unsigned long lastNumber(const Lines& lines, size_t index) {
  if (lines.size() <= index) return 0;
  const std::string& line = lines[index];
  return std::stoul(line.substr(line.rfind(' ') + 1));
}

// One row: inputs "start [LINE; ...]" (a fresh daemon on a board that ran those lines at power-on), a message
// in value notation, "wait MS", "await N TEXT" (until TEXT came N times, in a message or a logged line),
// "round" (until a round of the daemon's once-a-second status reads is over), "alive", or a board line; each
// answered by the board's reply (without "OK"), the messages that came and the lines logged meanwhile.
class Row {
public:
  explicit Row(const std::set<std::string>& healthy)
      : healthy_(healthy),
        marker_(coded(Testing::cmd(Marker, Testing::NoSlot, "ping : NULL"))),
        markerReply_(coded(Testing::ok(Marker, Testing::NoSlot))) {}

  std::string step(const std::string& input) {
    if (input.rfind("start", 0) == 0) {
      launch(input.size() > 6 ? input.substr(6) : "");
      shown_ = 0;
      if (!daemon_) return "(no daemon)\n";
      const std::string came = messages_;
      messages_.clear();
      return came + logged(true);
    }
    if (!daemon_) return "(no daemon)\n";
    if (input == "alive") return alive();
    if (input == "round") return round();
    std::string answer;
    bool command = false;
    if (input.rfind("{", 0) == 0) {
      controller_->sendHex(coded(input));
      command = input.find("pdu command") != std::string::npos;
    } else if (input.rfind("wait ", 0) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(input.substr(5))));
    } else if (input.rfind("await ", 0) == 0) {
      await(input.substr(6));
    } else {
      for (const std::string& line : (*control_)(input)) answer += line + "\n";
    }
    return answer + received(command) + logged();
  }

private:
  void launch(const std::string& powerOn) {
    control_ = std::make_unique<BoardControl>();
    controller_ = std::make_unique<Controller>();
    daemon_ = std::make_unique<Daemon>();
    messages_.clear();
    const std::string file = daemon_->file(Board::Paths::SimPowerOn);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::string text = powerOn + "\n";
    for (size_t at; (at = text.find("; ")) != std::string::npos;) text.replace(at, 2, "\n");
    std::ofstream(file) << text;
    // The PPP authentication proxy's port, of this daemon alone.
    daemon_->ownAuthPort();
    if (daemon_->serve() && controller_->connect(daemon_->port()) && control_->connect(*daemon_) && ping() && sync())
      return;
    ADD_FAILURE() << "no daemon in " << daemon_->root();
    daemon_.reset();
  }

  bool ping() {
    controller_->sendHex(coded(Testing::cmd(Testing::NoSeq, Testing::NoSlot, "ping : NULL")));
    return controller_->receive() == coded(Testing::ok(Testing::NoSeq, Testing::NoSlot));
  }

  // One message within the time, kept for the step's answer, or the marker's reply; false on timeout or close.
  bool pull(int timeoutMs, bool* marked = nullptr) {
    const std::string hex = controller_->receive(timeoutMs);
    if (hex.empty()) return false;
    if (hex == markerReply_) {
      if (marked) *marked = true;
    } else {
      messages_ += readable(hex) + "\n";
    }
    return true;
  }

  // Two pings, the second once the first is answered: the loop pass that took the first took too whatever was
  // ready then, and the second is taken once that pass is over.
  bool sync() {
    for (int round = 0; round < 2; ++round) {
      controller_->sendHex(marker_);
      for (bool marked = false; !marked;)
        if (!pull(PatienceMs, &marked)) return false;
    }
    return true;
  }

  // Takes in messages until the condition holds; false when it did not in time.
  bool until(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PatienceMs);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pull(20);
    }
    return true;
  }

  // The messages the step brought: for a command, up to its reply (what it caused may come first), then
  // whatever the daemon sent before it answered the pings that end the step.
  std::string received(bool command) {
    if (command) until([&] { return messages_.find("pdu response") != std::string::npos; });
    const bool synced = sync();
    std::string answer = messages_;
    messages_.clear();
    if (command && answer.find("pdu response") == std::string::npos) answer += "(no reply)\n";
    if (!synced) answer += "(pings unanswered)\n";
    return answer;
  }

  // "N TEXT": until TEXT came N times since the last look, in the messages or on standard error.
  void await(const std::string& spec) {
    const size_t space = spec.find(' ');
    const size_t times = std::stoul(spec.substr(0, space));
    const std::string text = spec.substr(space + 1);
    until([&] {
      const std::string err = daemon_->err();
      return Testing::count(messages_ + err.substr(std::min(shown_, err.size())), text) >= times;
    });
  }

  // Until the daemon has just read every E1 trunk's status and every BRI line's status register, which it does
  // in one pass of its loop once a second: the steps after it, a few loop passes each, come before the next.
  std::string round() {
    const auto e1 = [&] { return lastNumber((*control_)("maintenance status"), 3); };
    const auto bri = [&] { return lastNumber((*control_)("hal spi reads"), 0); };
    const unsigned long e1Before = e1(), briBefore = bri();
    const bool over = waitFor([&] {
      const unsigned long lines = bri();
      return e1() > e1Before && lines > briBefore && lines % BriLines == 0;
    });
    return over ? "" : "(no round)\n";
  }

  std::string alive() {
    if (!ping()) return "ping unanswered\n";
    // A ping written since this step began.
    (*control_)("watchdog clear");
    const bool pinged = waitFor(
        [&] {
          const Lines journal = (*control_)("watchdog journal");
          return !journal.empty() && journal.back().find(" PING") != std::string::npos;
        },
        FreshPingMs);
    const long long before = onCpuNs();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool idle = onCpuNs() - before < 50000000;
    return std::string("ping answered") + (pinged ? ", watchdog pinged" : ", watchdog silent") +
           (idle ? ", idle\n" : ", busy\n") + logged();
  }

  // The lines logged since the last look, once standard error stops growing, paths without the daemon's root
  // process numbers as "pid=N" and the radio controllers' times;
  // not those naming the controller's port, nor, for a start, those a healthy start logs too.
  std::string logged(bool start = false) {
    std::string err;
    do {
      err = daemon_->err();
      std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));
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
  const std::string marker_, markerReply_;
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<BoardControl> control_;
  // The messages taken in and not yet shown.
  std::string messages_;
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
