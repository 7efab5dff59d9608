// The connection logic between slots: a source feeds any number of
// listeners, a listener has at most one source, and the side with the
// higher connection priority drives the hardware.

#include <iostream>

#include "server/slot/Slot.h"
#include "server/slot/TdmSwitch.h"

namespace {

TdmSwitch* mux = nullptr;

}  // namespace

void UseSwitch(TdmSwitch& tdm) { mux = &tdm; }

bool Connect(Slot& src, Slot& dst) {
  if (dst.GetSource() == &src) return true;
  if (src.GetListeners().empty()) {
    if (!src.IOnOutputStream()) {
      std::cerr << "slot " << src << " don't have output stream to " << dst << std::endl;
      return false;
    }
    src.OnChangeOutputStream(true);
  }
  Slot* oldSource = dst.GetSource();
  if (!oldSource) {
    if (!dst.IOnInputStream()) {
      std::cerr << "slot " << dst << " don't have input stream from " << src << std::endl;
      return false;
    }
    dst.OnChangeInputStream(true);
  } else {
    llDisconnect(dst);
  }
  if (!llConnect(src, dst)) {
    if (!dst.GetSource()) dst.IOnInputRelease();
    if (src.GetListeners().empty()) src.IOnOutputRelease();
    return false;
  }
  if (oldSource) {
    dst.LogicalDisconnect();
    if (oldSource->GetListeners().empty()) oldSource->IOnOutputRelease();
  }
  dst.LogicalConnect(src);
  return true;
}

bool Disconnect(Slot& s) {
  Slot* oldSource = s.GetSource();
  if (!oldSource) return true;
  const bool r = llDisconnect(s);
  s.LogicalDisconnect();
  s.IOnInputRelease();
  if (oldSource->GetListeners().empty()) oldSource->IOnOutputRelease();
  return r;
}

bool llConnect(Slot& src, Slot& dst) {
  if (src.GetConnectionPriority() > dst.GetConnectionPriority()) return src.IHwConnectTransmitter(dst);
  return dst.IHwConnectReceiver(src);
}

bool llDisconnect(Slot& s) {
  Slot* src = s.GetSource();
  if (!src) return false;
  if (s.GetConnectionPriority() > src->GetConnectionPriority()) return s.IHwDisconnectReceiver(*src);
  return src->IHwDisconnectTransmitter(s);
}

bool MuxConnect(Slot& tx, Slot& rx) {
  const int t = tx.IGetTransmitChannel();
  const int r = rx.IGetReceiveChannel();
  if (!mux || !mux->Connect(t, r)) return false;
  std::clog << "mux: slot " << tx << " [" << t << "] -> " << rx << " [" << r << "]" << std::endl;
  return true;
}

bool MuxDisconnect(Slot& rx) {
  const int r = rx.IGetReceiveChannel();
  const bool ok = mux && mux->Disconnect(r);
  if (ok) std::clog << "mux: disconnect slot " << rx << " [" << r << "]" << std::endl;
  return ok;
}
