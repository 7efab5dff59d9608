#pragma once
// The software T.38 slot: a transparent channel of the multichannel HDLC
// controller, handed as standard input to one T.38 program per call, which
// does the fax and T.38 work towards the remote peer. The slot exists only
// while its child runs: it is made after a successful fork, sends SIGTERM
// when destroyed and reports the child's own end as an abort.

#include <iosfwd>

#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/ChildWait.h"
#include "server/slot/OneChannelSlot.h"
#include "server/slot/SlotFactory.h"

class T38SoftSlot : public OneChannelSlot {
public:
  T38SoftSlot(int pid, int channel);

  void IAfterCreate() override;
  bool IBeforeDestroy() override;
  const char* GetName() const override { return "t38 soft"; }

  void OnT38Terminate(int status);
  int childPid() const { return pid; }
  void PutHeader(std::ostream& out) const;

private:
  int pid;
  ChildWait childWait;
};

class T38SoftFactory : public SlotFactory {
public:
  // The command line holds at most this many words: the controller's arguments fill it up.
  static constexpr unsigned MaxArgs = 31;
  // The exec failure status (seen by the parent as 237).
  static constexpr int ExecFailure = 1005;
  // How long the instance query waits for the program's answer.
  static constexpr int QueryLimitMs = 2000;
  static constexpr size_t AnswerLimit = 31;

  static T38SoftFactory& instance();

  const char* GetName() const override { return "T.38 soft"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  void Query(LGCP::Resources& resources) override;
  // Asks the T.38 program how many instances it can run; 0 when it cannot tell.
  int QueryNumOfInstances();
  void PutHeader(std::ostream& out) const;

private:
  T38SoftFactory() = default;
};
