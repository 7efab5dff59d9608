#include "foundation/eventloop/ChildWait.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <iostream>

#include "foundation/os/Signal.h"

int ChildWait::UsageCounter = 0;
ChildWaitService* ChildWaitService::childWaitService = nullptr;

namespace {

// One exit record as it crosses the socket pair.
struct ExitRecord {
  int32_t pid;
  int32_t status;
};
static_assert(sizeof(ExitRecord) == 8, "an exit record is 8 bytes");

}  // namespace

ChildWait::ChildWait() : mStorage() { mHandler = new (mStorage) DummyHandler; }

ChildWait::~ChildWait() {
  destroyHandler();
  Detach();
}

void ChildWait::Attach(int pid) {
  mPid = pid;
  ChildWaitService* service = ChildWaitService::childWaitService;
  if (!service) return;
  service->waiters().remove(this);
  service->waiters().push_back(this);
}

void ChildWait::Detach() {
  ChildWaitService* service = ChildWaitService::childWaitService;
  if (service) service->waiters().remove(this);
}

bool ChildWait::waiting() const {
  ChildWaitService* service = ChildWaitService::childWaitService;
  return service && service->waiters().contains(this);
}

void ChildWait::Initialize() { ChildWaitService::childWaitService = new ChildWaitService; }

void ChildWait::Cleanup() {
  ChildWaitService* service = ChildWaitService::childWaitService;
  ChildWaitService::childWaitService = nullptr;
  service->Release();
  service->writeEnd().close();
  delete service;
}

void ChildWait::Activate() {
  ChildWaitService* service = ChildWaitService::childWaitService;
  if (!service) return;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends) != 0) {
    std::cerr << "ChildWaitService: initialize fails" << std::endl;
    return;
  }
  // A full socket pair must not stall the signal handler: the record is
  // dropped instead (the child is reaped all the same).
  service->writeEnd() = Fd(ends[0]);
  service->writeEnd().NonBlock();
  service->Bind("ChildWaitService::OnChildEvent", &ChildWaitService::OnChildEvent, service);
  Fd readEnd(ends[1]);
  readEnd.NonBlock();
  service->Schedule(readEnd, POLLIN);
  IPC::Signal::handle(SIGCHLD, &ChildWaitService::SigChldHandlerWrapper, IPC::Signal::Set(), SA_RESTART);
}

ChildWaitService::ChildWaitService() = default;

void ChildWaitService::SigChldHandlerWrapper(int) {
  const int savedErrno = errno;
  ChildWaitService* service = childWaitService;
  if (service) {
    int status = 0;
    for (pid_t pid; (pid = ::waitpid(-1, &status, WNOHANG)) > 0;) {
      const int writeEnd = service->mWriteEnd.get();
      if (writeEnd < 0) continue;
      ExitRecord record = {static_cast<int32_t>(pid), static_cast<int32_t>(status)};
      iovec pieces[2] = {{&record.pid, sizeof record.pid}, {&record.status, sizeof record.status}};
      (void)::writev(writeEnd, pieces, 2);
    }
  }
  errno = savedErrno;
}

void ChildWaitService::OnChildEvent(int fd, short revents) {
  if (!(revents & POLLIN)) return;
  ExitRecord record;
  while (::read(fd, &record, sizeof record) == static_cast<ssize_t>(sizeof record)) {
    std::clog << "terminate child process, pid=" << record.pid << " status=" << record.status << std::endl;
    ChildWait* waiter = mWaiters.head();
    while (waiter && waiter->pid() != record.pid) waiter = F_dual_list<ChildWait>::next(waiter);
    if (!waiter) continue;
    mWaiters.remove(waiter);
    waiter->mHandler->Invoke(*waiter, record.status);
  }
}
