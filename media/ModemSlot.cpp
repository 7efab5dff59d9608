#include "media/ModemSlot.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Paths.h"
#include "foundation/os/Ext.h"
#include "foundation/os/Text.h"
#include "media/ChildProgram.h"
#include "media/ModemFactory.h"
#include "media/PppAuth.h"

namespace {

BASE::INTEGER64Bits counter(const voacct::Counter& c) {
  BASE::INTEGER64Bits n;
  n.set_low(int(c.low));
  n.set_high(int(c.high));
  return n;
}

}  // namespace

ModemSlot::ModemSlot(ModemFactory& factory, const TERM::ModemParams& params) : factory(factory), params(params) {
  childWait.Bind(this, &ModemSlot::on_terminate);
}

ModemSlot::~ModemSlot() { pppd_kill(); }

void ModemSlot::PutHeader(std::ostream& out) const { out << *this << ": "; }

bool ModemSlot::IBeforeDestroy() {
  if (pid <= 0) {
    unbind();
    return true;
  }
  std::cerr << ext::header(this) << "sent HUP to pppd." << std::endl;
  ::kill(pid, SIGHUP);
  terminateTimer.set(TerminateTimeoutMs, &ModemSlot::on_terminate_timeout, this);
  return false;
}

void ModemSlot::on_terminate_timeout() {
  std::cerr << ext::header(this) << "pppd terminate timeout!" << std::endl;
  pppd_kill();
  unbind();
  on_release();
}

void ModemSlot::pppd_kill() {
  if (pid <= 0) return;
  std::cerr << ext::header(this) << "pppd isn't terminated, killing ..." << std::endl;
  ::kill(pid, SIGKILL);
  ::sleep(0);
  // Its number may soon belong to another process: never signal it again.
  pid = -1;
}

bool ModemSlot::spawn(const ChildProgram& program) {
  const pid_t child = program.start();
  if (child < 0) {
    abortOn("vfork fail: ");
    return false;
  }
  pid = child;
  childWait.Attach(pid);
  return true;
}

void ModemSlot::abortOn(const char* what) {
  const int err = errno;
  std::cerr << ext::header(this) << what << std::strerror(err) << std::endl;
  OnAbort(err);
}

void ModemSlot::pppd_exec(const char* device, const char* options) {
  if (pid > 0) return;
  const bool own = params.hasOptionalField(TERM::ModemParams::o_execfile);
  const std::string program = own ? params.get_execfile().getValue() : Board::Paths::Pppd;
  std::vector<std::string> args{program};
  if (params.hasOptionalField(TERM::ModemParams::o_execargs)) {
    const auto& extra = params.get_execargs();
    for (unsigned i = 0; i < extra.size() && i < MaxExecArgs; ++i) args.push_back(extra[i].getValue());
  } else {
    args.insert(args.end(), {"file", options, device});
    const std::string& cid = params.get_cid().getValue();
    if (!cid.empty()) args.insert(args.end(), {"remotenumber", cid});
  }
  childWait.Bind(this, &ModemSlot::on_terminate);
  if (!spawn(ChildProgram(own ? program : Board::Paths::path(Board::Paths::Pppd), args))) return;
  std::clog << ext::header(this) << "pppd executed"
            << " cid=" << ext::quoted(params.get_cid().getValue()) << " pid=" << pid << std::endl;
}

void ModemSlot::on_terminate(int status) {
  std::clog << ext::header(this) << "pppd terminated with code " << status << std::endl;
  pid = -1;
  if (!IsDestroyInProgress()) return OnAbort(status);
  terminateTimer.reset();
  unbind();
  on_release();
}

bool ModemSlot::IActivate(const TERM::TermActivateParams& activation) {
  if (activation.currentSelection() != TERM::TermActivateParams::e_modem) {
    std::cerr << ext::header(this) << "modem's activation requests parameter." << std::endl;
    return false;
  }
  const TERM::ModemUserParameters& user = activation.get_modem();
  factory.SendAuth(attr::accept(modem_id()));
  factory.SendAuth(attr::ip(modem_id(), user.get_remoteAddr().getValue(), user.get_netmask().getValue(),
                            user.get_gateway().getValue(), user.get_dns().getValue(), user.get_mtu().getValue()));
  return true;
}

void ModemSlot::OnAuth(const attr& record) {
  using namespace PppAuth;
  switch (record.type()) {
    case Request:
      if (record.length() == RequestRecord::Size) return OnAuthRequest(voauth(record));
      std::cerr << ext::header(this) << "auth request, invalid size: " << record.length() << std::endl;
      return;
    case Accept: std::cerr << ext::header(this) << "auth accept, ignored." << std::endl; return;
    case Ip: std::cerr << ext::header(this) << "auth ip, ignored." << std::endl; return;
    case Accounting:
      if (record.length() == AccountingRecord::Size) return OnAcctInformation(voacct(record));
      std::cerr << ext::header(this) << "auth accounting, invalid size: " << record.length() << std::endl;
      return;
    default:
      std::cerr << ext::header(this) << "unknown request from portslave: 0x" << std::hex << record.type() << std::dec
                << std::endl;
  }
}

void ModemSlot::OnAuthRequest(const voauth& request) {
  // pppd waits for an answer: a login the controller's texts cannot carry as it is still goes, with '?'.
  const std::string username = ia5Text(request.username);
  const std::string password = ia5Text(request.password);
  if (username != request.username || password != request.password) {
    std::cerr << ext::header(this) << "auth request, user name or password not IA5: sent with '?'." << std::endl;
  }
  TERM::ModemProceeding proceeding;
  TERM::MdmRequestUserAuth& auth = proceeding.select_auth();
  auth.set_username(username);
  auth.set_password(password);
  OnModem(proceeding);
}

void ModemSlot::OnAcctInformation(const voacct& accounting) {
  TERM::ModemProceeding proceeding;
  TERM::MdmAccounting& acct = proceeding.select_acct();
  acct.set_octetsOut(counter(accounting.octetsOut));
  acct.set_octetsIn(counter(accounting.octetsIn));
  acct.set_packetsOut(counter(accounting.packetsOut));
  acct.set_packetsIn(counter(accounting.packetsIn));
  acct.set_time(counter({0, accounting.time}));
  OnModem(proceeding);
}
