#include "media/T38SoftSlot.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "board/Paths.h"
#include "board/dev/Mcc.h"
#include "foundation/os/Ext.h"
#include "foundation/os/Fd.h"
#include "hardware/MccChannel.h"
#include "media/ChildProgram.h"

namespace Ctl = Board::Dev::Mcc;

T38SoftSlot::T38SoftSlot(int pid, int channel) : OneChannelSlot(channel), pid(pid) {
  childWait.Bind(this, &T38SoftSlot::OnT38Terminate);
  childWait.Attach(pid);
}

void T38SoftSlot::PutHeader(std::ostream& out) const { out << *this << ": "; }

void T38SoftSlot::IAfterCreate() {
  OnChangeOutputStream(true);
  OnChangeInputStream(true);
}

bool T38SoftSlot::IBeforeDestroy() {
  if (pid > 0) ::kill(pid, SIGTERM);
  return true;
}

void T38SoftSlot::OnT38Terminate(int status) {
  if (WIFSIGNALED(status)) {
    std::clog << ext::header(this) << "t38 daemon terminated by signal=" << WTERMSIG(status) << std::endl;
  } else if (WIFEXITED(status)) {
    std::clog << ext::header(this) << "t38 daemon terminated with code=" << WEXITSTATUS(status) << std::endl;
  }
  pid = -1;
  OnAbort(status);
}

T38SoftFactory& T38SoftFactory::instance() {
  static T38SoftFactory factory;
  return factory;
}

void T38SoftFactory::PutHeader(std::ostream& out) const { out << "t38soft: "; }

Slot* T38SoftFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_t38soft) return nullptr;
  const LGCP::T38Soft& t38 = params.get_t38soft();
  MccChannel mcc = MccChannel::open(
      O_RDWR | O_CLOEXEC, {Ctl::Transparent, uint32_t(t38.get_rx_packet_size().getValue()),
                           uint32_t(t38.get_rx_threshold().getValue()), uint32_t(t38.get_tx_threshold().getValue())});
  if (!mcc) {
    std::cerr << ext::header(this) << "T38SoftFactory::INewSlot - "
              << mcc.failure("FAIL to open </dev/mcc/ctl> [", "FAIL to ioctl MCC_ALLOCATE [",
                             "FAIL to ioctl MCC_TIMESLOT [")
              << mcc.error << "]" << std::endl;
    return nullptr;
  }
  const std::string remote = t38.get_dhost().get_iaddr().getValue() + "/" +
                             std::to_string(t38.get_dhost().get_port().getValue()) + "/" +
                             std::to_string(t38.get_shost().get_port().getValue());
  std::vector<std::string> args{Board::Paths::T38, "--child", "--remote", remote};
  for (const auto& arg : t38.get_args()) {
    if (args.size() >= MaxArgs) break;
    args.push_back(arg.getValue());
  }
  std::clog << ext::header(this) << "args for run t38 daemon:" << std::endl;
  for (size_t i = 0; i < args.size(); ++i) {
    std::clog << ext::header(this) << "arg[" << i << "]=" << args[i] << std::endl;
  }
  ChildProgram program(Board::Paths::path(Board::Paths::T38), args);
  const pid_t pid = program.input(mcc.fd.get()).onExecFailure(ExecFailure).start();
  // The child holds the channel from here on.
  mcc.fd.close();
  if (pid < 0) return nullptr;
  std::clog << ext::header(this) << "t38 daemon[" << pid << "] successfully started" << std::endl;
  return new T38SoftSlot(pid, mcc.timeslot);
}

void T38SoftFactory::Query(LGCP::Resources& resources) { resources.set_t38_instances(QueryNumOfInstances()); }

int T38SoftFactory::QueryNumOfInstances() {
  const std::string file = Board::Paths::path(Board::Paths::T38);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    std::cerr << ext::header(this) << "t38 daemon not found!" << std::endl;
    return 0;
  }
  Fd reader(ends[0]);
  Fd writer(ends[1]);
  const pid_t pid = ChildProgram(file, {Board::Paths::T38, "--num-of-instances"})
                        .output(writer.get())
                        .onExecFailure(ExecFailure)
                        .start();
  writer.close();
  if (pid < 0) {
    std::cerr << ext::header(this) << "t38 daemon not found!" << std::endl;
    return 0;
  }
  // The main loop waits for the program's first line, within the limit.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(QueryLimitMs);
  std::string line;
  bool timedOut = false;
  while (line.find('\n') == std::string::npos && line.size() < AnswerLimit) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd p{reader.get(), POLLIN, 0};
    const int ready = left > 0 ? ::poll(&p, 1, int(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timedOut = true;
      break;
    }
    char buf[AnswerLimit];
    const ssize_t n = ::read(reader.get(), buf, AnswerLimit - line.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    line.append(buf, size_t(n));
  }
  if (timedOut) ::kill(pid, SIGKILL);
  line = line.substr(0, line.find('\n'));
  if (timedOut || line.empty()) {
    std::cerr << ext::header(this) << "t38: can't detect T38 resources" << std::endl;
    return 0;
  }
  return int(std::strtol(line.c_str(), nullptr, 10));
}
