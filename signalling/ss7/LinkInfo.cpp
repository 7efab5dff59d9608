#include "signalling/ss7/LinkInfo.h"

#include "signalling/ss7/SLC.h"

namespace SS7 {

void fill(ACP::SS7LinkInfo& info, const SLC& link) {
  const SLC::Statistics s = link.statistics();
  info.set_msuTxCount(int(s.msuSent));
  info.set_msuRxCount(int(s.msuReceived));
  info.set_octetsTx(int(s.octetsSent));
  info.set_octetsRx(int(s.octetsReceived));
  info.set_speedRx(0);
  info.set_speedTx(0);
  info.set_overflowCntr(int(s.overflow));
  info.set_rtbSize(int(s.rtbSize));
  info.set_repeatCntr(int(s.repeat));
  info.set_badSeqCntr(int(s.badSequence));
  info.set_ss7state(ACP::SS7State::NamedNumber(link.get_state_id()));
}

void apply(const LGCP::SS7L2Log& switches, SLC& link) {
  SLC::LogSwitches& log = link.log;
  log.state = switches.get_state();
  log.rawReceive = switches.get_raw_receive();
  log.rawTransmit = switches.get_raw_transmit();
  log.mtpTransmit = switches.get_mtp_transmit();
  log.mtpReceive = switches.get_mtp_receive();
  log.mtpActivate = switches.get_mtp_activate();
  log.timers = switches.get_timers();
  log.msuProcessing = switches.get_msu_processing();
}

}  // namespace SS7
