#pragma once
// Every fixed file-system path of the daemon is named here, once.
// With SERVER_ROOT set in the environment every path is placed under that
// directory ("/var/run/server.pid" becomes "$SERVER_ROOT/var/run/server.pid"),
// so a host run needs no root and touches nothing of the machine.

#include <string>

namespace Board {
namespace Paths {

// Devices
constexpr const char* Watchdog = "/dev/misc/gw-wd";
constexpr const char* Hal = "/dev/hal";
constexpr const char* MccCtl = "/dev/mcc/ctl";
constexpr const char* Maintenance = "/dev/maintenance";
constexpr const char* E1Cas = "/dev/e1-cas";
constexpr const char* Dtmf = "/dev/dtmf";
constexpr const char* Dsp = "/dev/dsp";
constexpr const char* DspData = "/dev/dsp-data";
constexpr const char* Rtp = "/dev/rtp";
constexpr const char* RtpExt = "/dev/rtp_ext";
constexpr const char* Voice = "/dev/voice";
constexpr const char* Mixer = "/dev/mixer";
constexpr const char* ModemCtl = "/dev/mctl";
constexpr const char* ModemData = "/dev/mdm%d";
constexpr const char* Console = "/dev/console";
constexpr const char* SyslogSocket = "/dev/log";

// Files
constexpr const char* ConfigFile = "/usr/local/etc/server.conf";
constexpr const char* ConfigDir = "/usr/local/etc/";
constexpr const char* RunDir = "/var/run/";
constexpr const char* StatusDump = "/var/log/server-status";
constexpr const char* MonitoringDir = "/var/monitoring/";
constexpr const char* Proc = "/proc";
constexpr const char* FramerStatus = "/proc/driver/hdlc/peb22554/";
constexpr const char* Temperature = "/proc/temperature";
constexpr const char* VoiceVersion = "/proc/voice/version";
// The versions of the software build, the boot loader, the FPGA and the board.
constexpr const char* BuildVersion = "/var/version";
constexpr const char* BootVersion = "/var/u-boot-version";
constexpr const char* FpgaVersion = "/var/fpga-version";
constexpr const char* BoardVersion = "/var/board-version";
constexpr const char* VoicePhrases = "/usr/local/voice/";

// Child programs and their files
constexpr const char* Pppd = "/usr/local/sbin/pppd";
constexpr const char* PppdAuthOptions = "/usr/local/etc/ppp/aoptions";
constexpr const char* PppdCallOptions = "/usr/local/etc/ppp/coptions";
constexpr const char* PppdInOptions = "/usr/local/etc/ppp/ioptions";
constexpr const char* FaxSend = "/usr/local/sbin/fax";
constexpr const char* FaxReceive = "/usr/local/bin/fax";
constexpr const char* T38 = "/usr/local/sbin/t38";
// The fax receiver's file, a strftime() pattern of the local time.
constexpr const char* FaxReceiveFile = "/var/fax-%H-%M-%S.g3";

// The simulated board's control socket (host builds only).
constexpr const char* SimControl = "/var/run/board-sim.sock";
// Control lines the simulated board runs as it powers on, one per line (a device absent from the start).
constexpr const char* SimPowerOn = "/etc/board-sim.conf";
// The far end of a simulated HDLC controller channel, by its switch channel.
constexpr const char* SimMccFarEnd = "/var/run/board-sim-mcc-%d.sock";
// The far end of a simulated QSIG D channel on "/dev/dsp-data", by its switch channel.
constexpr const char* SimDspDataFarEnd = "/var/run/board-sim-dsp-data-%d.sock";

// The directory that every path is placed under: $SERVER_ROOT, or "" when
// unset; read once, at the first call.
const std::string& root();
// The root a value of $SERVER_ROOT names: without trailing slashes ("" for
// "/"), and a relative one made absolute from the working directory.
std::string root(const char* value);

// A fixed path placed under the root directory.
std::string path(const char* fixed);

// The local TCP port of the PPP authentication proxy: 52000, or
// $SERVER_AUTH_PORT when set (so that daemons run side by side by tests
// each have their own); read once.
unsigned short authPort();
// The port a value of $SERVER_AUTH_PORT names, in decimal digits from 1 to
// 65535; 52000 for no value or an empty one, and, with a line on std::cerr,
// for one that names no port.
unsigned short authPort(const char* value);

}  // namespace Paths
}  // namespace Board
