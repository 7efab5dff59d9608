#pragma once
// A modem slot terminates a dial-up data or fax call on a TDM channel. For a
// data call it runs the PPP daemon as a child process, whose authentication
// plug-in reaches the controller through the factory's authentication proxy;
// the controller's activation answers with the link's addresses. A slot whose
// child still runs defers its destruction: the child gets SIGHUP, and
// SIGKILL when it has not ended within 5000 ms.

#include <iosfwd>

#include "asn1/modules/TERM.h"
#include "foundation/eventloop/ChildWait.h"
#include "foundation/eventloop/Timer.h"
#include "server/slot/Slot.h"

class ChildProgram;
class ModemFactory;
class attr;
struct voacct;
struct voauth;

class ModemSlot : public Slot {
public:
  static constexpr unsigned TerminateTimeoutMs = 5000;
  // The controller's arguments a child takes at most.
  static constexpr unsigned MaxExecArgs = 62;

  ModemSlot(ModemFactory& factory, const TERM::ModemParams& params);
  // A child still running is killed.
  ~ModemSlot() override;

  bool IBeforeDestroy() override;
  // The link's addresses, sent to the PPP daemon's plug-in.
  bool IActivate(const TERM::TermActivateParams& params) override;
  const char* GetName() const override { return "generic-modem"; }

  // The DSP modem's number, the session of its authentication records; -1 for a digital modem.
  virtual int modem_id() const = 0;
  // The slot leaves the factory's lists.
  virtual void unbind() = 0;

  // Runs the PPP daemon on the device with the option file, unless a child runs.
  void pppd_exec(const char* device, const char* options);
  void pppd_kill();

  // A complete record of the authentication link for this slot's session.
  void OnAuth(const attr& record);
  bool EqAuthId(int session) const { return modem_id() == session; }

  // The running child; -1 when none.
  int childPid() const { return pid; }
  void PutHeader(std::ostream& out) const;

protected:
  void OnAuthRequest(const voauth& request);
  void OnAcctInformation(const voacct& accounting);
  void on_terminate(int status);
  void on_terminate_timeout();
  // Starts the program and keeps its pid; on a failed fork logs "vfork fail: ", aborts and answers false.
  bool spawn(const ChildProgram& program);
  // Logs the failure with the error text, aborts with errno (Slot::OnAbort).
  void abortOn(const char* what);

  ModemFactory& factory;
  const TERM::ModemParams params;
  int pid = -1;
  ChildWait childWait;
  Timer terminateTimer;
};
