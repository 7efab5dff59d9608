#include "media/DspModemSlot.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

#include "board/Paths.h"
#include "board/dev/Mctl.h"
#include "foundation/os/Ext.h"
#include "media/ChildProgram.h"
#include "media/ModemControl.h"
#include "media/ModemFactory.h"

namespace {

namespace Ctl = Board::Dev::Mctl;

constexpr size_t FileNameSize = 64;

// Data-mode flags by TERM::DigitalDataModeEnum; V.120 adds none.
constexpr uint32_t DataModeFlags[] = {Ctl::V110, Ctl::EightBit, Ctl::SevenBit, 0};

using ModemControl::request;

// The receiver's file: the time of day, and the modem's number when a file of that time exists already.
std::string faxFileName(int modem) {
  const std::time_t now = std::time(nullptr);
  std::tm local;
  char name[FileNameSize];
  if (!localtime_r(&now, &local) || !std::strftime(name, sizeof name, Board::Paths::FaxReceiveFile, &local)) return "";
  std::string file = name;
  struct stat st;
  if (::stat(Board::Paths::path(file.c_str()).c_str(), &st) == 0) {
    file.insert(file.size() - 3, "-" + std::to_string(modem));
  }
  return file;
}

}  // namespace

DspModemSlot::DspModemSlot(ModemFactory& factory, const TERM::ModemParams& params) : ModemSlot(factory, params) {}

DspModemSlot::~DspModemSlot() { unbind(); }

void DspModemSlot::unbind() { factory.ReleaseModemSlot(this); }

bool DspModemSlot::IOnOutputStream() {
  InitModem();
  return true;
}

bool DspModemSlot::IOnInputStream() {
  InitModem();
  return true;
}

void DspModemSlot::abortStart(const char* what) {
  control.close();
  modem = -1;
  channel = -1;
  abortOn(what);
}

void DspModemSlot::InitModem() {
  if (modem >= 0) return;
  Fd local = ModemControl::open(O_RDONLY | O_CLOEXEC);
  if (!local) return abortOn("fail to open device: ");
  const int number = ModemControl::allocate(local);
  if (number < 0) return abortOn("insufficient resources : ");
  const int timeslot = ModemControl::timeslot(local);
  if (timeslot < 0) return abortOn("get timeslot fail : ");
  if (!configure(local, number)) return;
  channel = timeslot;
  modem = number;
  control = std::move(local);
  OnChangeOutputStream(true);
  OnChangeInputStream(true);
  startCall();
}

bool DspModemSlot::configure(const Fd& local, int number) {
  if (params.hasOptionalField(TERM::ModemParams::o_ddm)) {
    uint32_t flags = 0;
    for (const auto& mode : params.get_ddm()) {
      const unsigned m = unsigned(mode.getValue());
      if (m < sizeof DataModeFlags / sizeof DataModeFlags[0]) flags |= DataModeFlags[m];
    }
    if (request(local, Ctl::SetDdm, number, int32_t(flags)) < 0) {
      abortOn("set DDM failed : ");
      return false;
    }
  }
  if (request(local, Ctl::ResetDmp, number, -1) < 0) {
    std::cerr << ext::header(this) << "reset dmp parameters failed : " << std::strerror(errno) << std::endl;
  }
  if (!params.hasOptionalField(TERM::ModemParams::o_dmp)) return true;
  for (const TERM::DDModemParam& p : params.get_dmp()) {
    if (ModemControl::setParameter(local, number, p.get_offset().getValue(), p.get_value().getValue()) < 0) {
      std::cerr << ext::header(this) << "set dmp parameter "
                << "index=" << p.get_offset().getValue() << " value=" << p.get_value().getValue()
                << " failed : " << std::strerror(errno) << std::endl;
    }
  }
  return true;
}

void DspModemSlot::startCall() {
  const bool originate = params.hasOptionalField(TERM::ModemParams::o_originate);
  if (!params.hasOptionalField(TERM::ModemParams::o_fax)) {
    char device[FileNameSize];
    std::snprintf(device, sizeof device, Ctl::DataPath, modem);
    if (request(control, originate ? Ctl::Originate : Ctl::Answer, modem, -1) < 0) {
      return abortStart(originate ? "originate failed : " : "answer failed : ");
    }
    return pppd_exec(device, originate ? Board::Paths::PppdCallOptions : Board::Paths::PppdAuthOptions);
  }
  if (params.hasOptionalField(TERM::ModemParams::o_execargs)) return startFaxTransfer();
  if (!originate) return RunFaxReceiver();
  if (request(control, Ctl::OriginateFax, modem, -1) < 0) abortStart("originate failed : ");
}

void DspModemSlot::startFaxTransfer() {
  const bool own = params.hasOptionalField(TERM::ModemParams::o_execfile);
  const std::string program = own ? params.get_execfile().getValue() : Board::Paths::FaxSend;
  std::vector<std::string> args{program, "-m", std::to_string(modem)};
  const auto& extra = params.get_execargs();
  for (unsigned i = 0; i < extra.size() && i < MaxExecArgs; ++i) args.push_back(extra[i].getValue());
  // The fax program takes the modem over.
  control.close();
  childWait.Bind(this, &DspModemSlot::on_fax_terminate);
  ChildProgram fax(own ? program : Board::Paths::path(Board::Paths::FaxSend), args);
  if (!spawn(fax.announce(0, "executing fax transfer").onExecFailure(2, "fail to exec!"))) return;
  std::clog << ext::header(this) << "fax transfer executed"
            << " modem=" << modem << " ts=" << channel << std::endl;
}

void DspModemSlot::RunFaxReceiver() {
  control.close();
  const std::string file = faxFileName(modem);
  ChildProgram receiver(Board::Paths::path(Board::Paths::FaxReceive),
                        {Board::Paths::FaxReceive, "-m", std::to_string(modem), "receive", file});
  if (receiver.announce(1, "executing").onExecFailure(2, "fail to exec!").start() < 0) {
    return abortOn("vfork fail: ");
  }
  std::clog << ext::header(this) << "fax receiver executed"
            << " modem=" << modem << " ts=" << channel << std::endl;
}

void DspModemSlot::on_fax_terminate(int status) {
  std::clog << ext::header(this) << "fax terminated with code " << status << std::endl;
  pid = -1;
  if (status & 0xFF) std::clog << ext::header(this) << "fax transfer failed" << std::endl;
  const int pages = (status >> 8) & 0xFF;
  std::clog << ext::header(this) << "pages received: " << pages << std::endl;
  TERM::ModemProceeding proceeding;
  TERM::MdmAccounting& acct = proceeding.select_acct();
  for (BASE::INTEGER64Bits* n :
       {&acct.get_octetsOut(), &acct.get_octetsIn(), &acct.get_packetsOut(), &acct.get_packetsIn(), &acct.get_time()}) {
    n->set_low(0);
    n->set_high(0);
  }
  acct.get_octetsIn().set_low(pages);
  OnModem(proceeding);
  if (!IsDestroyInProgress()) return OnAbort(status);
  terminateTimer.reset();
  unbind();
  on_release();
}
