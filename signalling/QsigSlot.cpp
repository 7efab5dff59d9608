#include "signalling/QsigSlot.h"

#include <algorithm>
#include <iostream>

#include "foundation/os/Ext.h"
#include "signalling/DspDataLink.h"
#include "signalling/IsdnFactory.h"

AtsQsigSlot::AtsQsigSlot(const Fd& fd, int channel, ISDN::LAPD* lapd)
    : IsdnSlot(fd, channel, lapd, "AtsQsigSlot::OnEvent") {}

AtsQsigSlot::~AtsQsigSlot() {
  // Deleted without a destroy: the device frees the channels with the descriptor.
  for (AtsQsigBSlot* b : bslots) b->released = true;
}

bool AtsQsigSlot::IBeforeDestroy() {
  while (!bslots.empty()) ReleaseBChannel(*bslots.front());
  m_event.Release();
  return true;
}

AtsQsigBSlot* AtsQsigSlot::NewBChannel(int32_t bchannel) {
  int32_t tdm = -1;
  if (DspDataLink::addBChannel(descriptor(), bchannel, tdm) < 0) {
    std::cerr << "ats-qsig: "
              << "add B channel fail !!!" << std::endl;
    return nullptr;
  }
  bslots.push_back(new AtsQsigBSlot(uint32_t(GetId()), bchannel, tdm));
  return bslots.back();
}

void AtsQsigSlot::ReleaseBChannel(AtsQsigBSlot& b) {
  // The device's answer is not examined: the slot goes either way.
  DspDataLink::releaseBChannel(descriptor(), b.bchannel, b.channel);
  b.released = true;
  bslots.erase(std::remove(bslots.begin(), bslots.end(), &b), bslots.end());
}

bool AtsQsigSlot::Holds(const AtsQsigBSlot& b) const {
  return std::find(bslots.begin(), bslots.end(), &b) != bslots.end();
}

AtsQsigBSlot::AtsQsigBSlot(uint32_t sig_slot, int32_t bchannel, int32_t tdm)
    : OneChannelSlot(tdm), sig_slot(sig_slot), bchannel(bchannel) {}

AtsQsigBSlot::~AtsQsigBSlot() {
  // Deleted without a destroy: the QSIG slot must not keep a pointer to it.
  if (AtsQsigSlot* qsig = released ? nullptr : owner()) qsig->ReleaseBChannel(*this);
}

void AtsQsigBSlot::PutHeader(std::ostream& out) const { out << "ats-qsig-b: "; }

AtsQsigSlot* AtsQsigBSlot::owner() const {
  auto* qsig = dynamic_cast<AtsQsigSlot*>(IsdnFactory::instance().FindSlot(sig_slot));
  return qsig && qsig->Holds(*this) ? qsig : nullptr;
}

bool AtsQsigBSlot::IBeforeDestroy() {
  if (released) return true;
  if (AtsQsigSlot* qsig = owner()) {
    qsig->ReleaseBChannel(*this);
  } else {
    std::clog << ext::header(this) << "Can't find signalling slot" << std::endl;
  }
  return true;
}
