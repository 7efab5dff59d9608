#include "signalling/IsdnFactory.h"

#include <fcntl.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>

#include "board/dev/Mcc.h"
#include "foundation/os/Ext.h"
#include "hardware/MccChannel.h"
#include "signalling/DspDataLink.h"
#include "signalling/IsdnSlot.h"
#include "signalling/QsigSlot.h"

namespace {

namespace Ctl = Board::Dev::Mcc;

// The controller channel of a D channel: a basic-rate line's, or a primary-rate one's.
constexpr uint32_t RxPacketSize = 512;
constexpr uint32_t RxThreshold = 1;
constexpr uint32_t TxThreshold = 1;

ISDN::Side::type sideOf(const LGCP::IsdnSide& side) {
  return side.currentSelection() == LGCP::IsdnSide::e_network ? ISDN::Side::network : ISDN::Side::user;
}

}  // namespace

IsdnFactory& IsdnFactory::instance() {
  static IsdnFactory factory;
  return factory;
}

void IsdnFactory::PutHeader(std::ostream& out) const { out << "mcc/isdn: "; }

Slot* IsdnFactory::INewSlot(const LGCP::CreateParams& params) {
  switch (params.currentSelection()) {
    case LGCP::CreateParams::e_isdn: return NewIsdnSlot(params.get_isdn());
    case LGCP::CreateParams::e_ats_qsig: return NewAtsQsigSlot(params.get_ats_qsig());
    case LGCP::CreateParams::e_ats_qsig_b: return NewAtsQsigBSlot(params.get_ats_qsig_b());
    default: return nullptr;
  }
}

Slot* IsdnFactory::FindSlot(unsigned number) const {
  for (Slot* slot : GetSlots()) {
    if (slot->GetId() == int(number)) return slot;
  }
  return nullptr;
}

Slot* IsdnFactory::NewIsdnSlot(const LGCP::IsdnParams& params) {
  MccChannel mcc = MccChannel::open(O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (!mcc) return refused(mcc);
  // The link layer is made before the channel is allocated, so its trace line
  // comes first; a refusal deletes it before it has started anything.
  const bool bri = params.get_type().getValue() == LGCP::IsdnType::bri;
  auto lapd = std::make_unique<ISDN::LAPD>(sideOf(params.get_side()), unsigned(params.get_log().getValue()));
  if (bri) lapd->change_to_bri();
  lapd->trunk = uint32_t(params.get_trunk().getValue());
  mcc.allocate({bri ? Ctl::Bri : Ctl::Data, RxPacketSize, RxThreshold, TxThreshold});
  if (!mcc) return refused(mcc);
  return new IsdnSlot(mcc.fd, mcc.timeslot, lapd.release());
}

Slot* IsdnFactory::refused(const MccChannel& mcc) const {
  std::cerr << ext::header(this)
            << mcc.failure("fail to open MCC device: ", "MCC_ALLOCATE fail: ", "MCC_TIMESLOT fail: ")
            << std::strerror(mcc.error) << std::endl;
  return nullptr;
}

Slot* IsdnFactory::NewAtsQsigSlot(const LGCP::AtsQsigParams& params) {
  const Fd fd = DspDataLink::open();
  if (!fd) {
    std::cerr << ext::header(this) << "fail to open dsp-data device: " << std::strerror(errno) << std::endl;
    return nullptr;
  }
  auto lapd = std::make_unique<ISDN::LAPD>(sideOf(params.get_side()), unsigned(params.get_log().getValue()));
  const int channel = DspDataLink::dChannel(fd.get());
  if (channel < 0) {
    std::cerr << ext::header(this) << "D channel query fail: " << std::strerror(errno) << std::endl;
    return nullptr;
  }
  lapd->trunk = uint32_t(channel);
  return new AtsQsigSlot(fd, channel, lapd.release());
}

Slot* IsdnFactory::NewAtsQsigBSlot(const LGCP::AtsQsigBParams& params) {
  auto* qsig = dynamic_cast<AtsQsigSlot*>(FindSlot(unsigned(params.get_slot().getValue())));
  const long subslot = params.get_subslot().getValue();
  if (!qsig || subslot == 0) return nullptr;
  return qsig->NewBChannel(int32_t(subslot - 1));
}
