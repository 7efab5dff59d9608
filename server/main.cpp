// The gateway daemon: reads its configuration and command line, creates its
// slot factories and services in their fixed orders, serves the controller
// on the control port and runs the main loop until SIGTERM or SIGINT.

#include <iostream>

#include "board/Paths.h"
#include "foundation/config/IniFile.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/control/AcceptorNet.h"
#include "foundation/eventloop/ChildWait.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Run.h"
#include "foundation/os/Version.h"
#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwMux.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "media/ModemFactory.h"
#include "media/RtpFactory.h"
#include "media/T38SoftSlot.h"
#include "media/VoiceFactory.h"
#include "monitoring/MonitoringCtl.h"
#include "radio/RtpExtFactory.h"
#include "server/CommandLine.h"
#include "server/CtrlServer.h"
#include "server/HeartBeatCtl.h"
#include "server/ProcessControl.h"
#include "server/slot/Slot.h"
#include "server/slot/Slots.h"
#include "signalling/HdlcSlot.h"
#include "signalling/IsdnFactory.h"
#include "signalling/PstnSlot.h"
#include "slots/tdm/EchoSlot.h"
#include "slots/tdm/ExtSlot.h"
#include "slots/tdm/MapSlot.h"
#include "slots/tdm/MccSlot.h"
#include "slots/tdm/MixerFactory.h"

int main(int argc, char* argv[]) {
  // A missing configuration file is no error: the defaults stay.
  IniFile::File config;
  if (config.Open(Board::Paths::path(Board::Paths::ConfigFile))) {
    traces.Clear();
    traces.Configure(config["traces"]);
  }

  InstallSignalHandlers();
  const CommandLine::Options options = CommandLine::Parse(argc, argv, [] { BusCtl::instance().DisableControl(); });

  // Slot factories, once each, in their creation order (each heads the
  // factory chain); then the TDM switch, then the monitoring service's
  // share of the configuration.
  MapFactory::instance();
  PstnFactory::instance();
  RtpFactory::instance();
  ModemFactory::instance();
  Mixer::MixerFactory::instance();
  ExtFactory::instance();
  MccFactory::instance();
  EchoFactory::instance();
  VoiceFactory::instance();
  T38SoftFactory::instance();
  IsdnFactory::instance();
  RtpLEMZFactory::instance();
  RtpED137Factory::instance();
  HdlcSlotFactory::instance();
  UseSwitch(HwMux::instance());
  MonitoringCtl::instance().Configure(config);

  if (options.daemon) RunDaemon();
  Linux::Run pidFile("server");
  std::cout << "Starting server [" << Version::current << "], port=" << options.port << std::endl;

  // Control services, in the order every command is offered to them.
  CtrlSrv::ctrlServer.Bind(&HeartBeatCtl::instance());
  CtrlSrv::ctrlServer.Bind(&Slots::instance());
  CtrlSrv::ctrlServer.Bind(&HwTests::instance());
  CtrlSrv::ctrlServer.Bind(&BusCtl::instance());
  CtrlSrv::ctrlServer.Bind(&E1Ctl::instance());
  CtrlSrv::ctrlServer.Bind(&spiCtrl::instance());
  CtrlSrv::ctrlServer.Bind(&MonitoringCtl::instance());

  ChildWait::Activate();
  Dpc signalCheck;
  signalCheck.Bind(new DpcHandler1(CheckSignals));
  signalCheck.Activate();
  CtrlSrv::ctrlServer.Activate(new Control::AcceptorNetCheckConnection(options.port));

  multiplexer.run(true, true);

  CtrlSrv::ctrlServer.Deactivate();
  signalCheck.Deactivate();
  return 0;
}
