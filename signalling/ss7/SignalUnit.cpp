#include "signalling/ss7/SignalUnit.h"

#include <iterator>
#include <ostream>

#include "board/Record.h"

namespace SS7 {

namespace {

// By status value: SIO, SIN, SIE, SIOS.
const char* const StatusNames[] = {"out of alignment", "normal alignment", "emergency alignment", "out of service"};

}  // namespace

bool SignalUnit::read(const Packet& frame) {
  Board::RecordReader in(frame.data(), frame.length());
  const uint8_t backward = in.u8(0);
  const uint8_t forward = in.u8(1);
  li = in.u8(2);
  if (!in.ok()) return false;
  bsn = Seq(backward & 0x7F);
  bib = backward & 0x80;
  fsn = Seq(forward & 0x7F);
  fib = forward & 0x80;
  following = frame.length() - HeaderOctets;
  status = following ? in.u8(HeaderOctets) : 0;
  return true;
}

std::ostream& operator<<(std::ostream& out, const DumpPtr& dump) {
  const SignalUnit& su = dump.su;
  return out << " BSN=" << unsigned(su.bsn) << " BIB=" << su.bib << " FSN=" << unsigned(su.fsn) << " FIB=" << su.fib;
}

std::ostream& operator<<(std::ostream& out, const StatusName& name) {
  if (name.status < std::size(StatusNames)) return out << StatusNames[name.status];
  return out << "unknown:" << std::hex << name.status << std::dec;
}

std::ostream& operator<<(std::ostream& out, const OctetTrace& trace) {
  const uint8_t* data = trace.packet.data();
  const std::ios_base::fmtflags flags = out.flags();
  out << std::hex << std::uppercase;
  for (unsigned i = 0; i < trace.packet.length(); ++i) out << " 0x" << unsigned(data[i]);
  out.flags(flags);
  return out;
}

}  // namespace SS7
