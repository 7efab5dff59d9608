#include "signalling/ss7/SLC.h"

#include <iostream>
#include <iterator>
#include <new>

namespace SS7 {

namespace {

const char* const StateNames[] = {"idle", "not aligned", "aligned", "proving", "aligned ready", "worked"};

}  // namespace

const SLC::TimerSpec SLC::T1 = {45000, &SLC::on_T1};
const SLC::TimerSpec SLC::T2 = {7000, &SLC::on_T2};
const SLC::TimerSpec SLC::T3 = {1500, &SLC::on_T3};
const SLC::TimerSpec SLC::T4n = {8200, &SLC::on_T4};
const SLC::TimerSpec SLC::T4e = {500, &SLC::on_T4};
const SLC::TimerSpec SLC::T7 = {12000, &SLC::on_T7};

const char* SLC::state_name(State::type state) {
  return unsigned(state) < std::size(StateNames) ? StateNames[state] : "unknown";
}

// Sequence numbers start at 0 here and at 127 from reset(): a link that the
// far end aligns reaches aligned ready without a reset.
SLC::SLC() = default;

SLC::~SLC() = default;

void SLC::local_prepare_head(Packet& p) { p.reserve_head(HeaderOctets); }

void SLC::protocol_info(std::ostream& out) const { out << name_.name(); }

void SLC::PutShortInfo(std::ostream& out) const {
  out << "SS7/L2 "
      << "["
      << "dpc=" << params.dpc << ", slc=" << params.slc << ", trunk=" << params.trunk << "]";
}

void SLC::PutHeader(std::ostream& out) const {
  PutShortInfo(out);
  out << " "
      << "(" << state_name(state_) << ")"
      << ": ";
}

std::ostream& SLC::line(std::ostream& out) const {
  PutHeader(out);
  return out;
}

void SLC::local_activate() {
  if (state_ == State::idle) {
    if (log.mtpActivate) line(std::clog) << "local_activate: executing..." << std::endl;
    next_state(State::notAligned);
    return;
  }
  if (log.mtpActivate) line(std::clog) << "local_activate: ignored." << std::endl;
  if (state_ == State::inService) on_activate();
}

void SLC::local_deactivate() {
  if (log.mtpActivate) line(std::clog) << "local_deactivate()" << std::endl;
  next_state(State::idle);
}

bool SLC::accepts(unsigned length) const {
  if (length >= MinPayload && length <= MaxPayload) return true;
  line(std::cerr) << "msu of " << length << " octet(s) refused, an msu carries " << MinPayload << " to " << MaxPayload
                  << std::endl;
  return false;
}

void SLC::message(Packet& payload) {
  if (!accepts(payload.length())) return;
  if (log.mtpTransmit) line(std::clog) << " mtp tx" << OctetTrace{payload} << std::endl;
  if (state_ != State::inService) return;
  put_to_tb(payload);
  process_tb();
}

void SLC::on_hdlc_error(Cause::Type cause) {
  line(std::clog) << "hdlc error [cause=" << int(cause) << "]" << std::endl;
  // The channel has closed itself: nothing can be sent or received.
  if (state_ != State::idle) next_state(State::idle);
}

void SLC::on_hdlc_ready() {
  line(std::clog) << "hdlc ready" << std::endl;
  process_tb();
}

void SLC::OnTrunkHardStatus(bool up) {
  if (up || state_ == State::idle) return;
  line(std::clog) << " transport OFF by low level terminated" << std::endl;
  next_state(State::idle);
}

SLC::Statistics SLC::statistics() const {
  Statistics s = stats_;
  s.rtbSize = uint32_t(rtb_.count);
  return s;
}

void SLC::receive(Packet& frame) {
  if (log.rawReceive) line(std::clog) << " rx raw" << OctetTrace{frame} << std::endl;
  stats_.octetsReceived += frame.length();
  SignalUnit su;
  if (!su.read(frame)) {
    line(std::cerr) << "ignore packet, length too small " << frame.text() << std::endl;
    return;
  }
  try {
    // Cutting or stripping a frame that is shared copies it first.
    if (su.li != su.expected_li() && cut_to_li(su, frame)) su.following = su.li;
    if (su.following > 2)
      for (unsigned i = 0; i < HeaderOctets; ++i) frame.pull();
  } catch (const std::bad_alloc&) {
    pool_empty("received signal unit");
    return;
  }
  ++stats_.msuReceived;
  if (su.following == 0) return fisu_received(su);
  if (su.following <= 2) return lssu_received(su);
  msu_received(su, frame);
}

// A length indicator that disagrees with the frame. Only an LI below the
// octets received and below 63 can be believed; true when the frame was cut
// to it.
bool SLC::cut_to_li(const SignalUnit& su, Packet& frame) {
  const unsigned expected = su.expected_li();
  line(std::cerr) << "invalid packet length,"
                  << " expected = " << su.li << ", received = " << su.following << std::endl;
  if (expected == LongLI) {
    line(std::cerr) << "can't truncate signalling unit." << std::endl;
    return false;
  }
  if (su.li > expected) return false;
  const unsigned surplus = expected - su.li;
  line(std::cerr) << "truncate " << surplus << " octet(s) : " << frame.text() << std::endl;
  frame.cut_tail(surplus);
  return true;
}

SLC::Tx SLC::send(Packet su) {
  if (!channel_) {
    line(std::clog) << "no HDLC interface attached!!!" << std::endl;
    return Tx::refused;
  }
  try {
    // A FISU gets its buffer here; a stored payload is shared with the RTB
    // or the TB, so the header goes onto a copy and the stored one stays bare.
    if (su.null()) {
      prepare_head(su);
    } else if (su.headroom() < HeaderOctets) {
      Packet room;
      prepare_head(room);
      room.put(su);
      su = room;
    }
    su.push(uint8_t(SignalUnit::length_indicator(su.length())));
    su.push(uint8_t(unsigned(fsn_) | unsigned(fib_) << 7));
    su.push(uint8_t(unsigned(accepted_) | unsigned(bib_) << 7));
  } catch (const std::bad_alloc&) {
    pool_empty("signal unit");
    return Tx::noBuffer;
  }
  if (!channel_->hdlc_transmit(su)) {
    if (log.rawTransmit) line(std::clog) << " tx full!" << std::endl;
    return Tx::refused;
  }
  if (log.rawTransmit) line(std::clog) << " tx raw" << OctetTrace{su} << std::endl;
  ++stats_.msuSent;
  stats_.octetsSent += su.length();
  return Tx::sent;
}

// LSSUs carry BSN 127, BIB 1, FSN 127, FIB 1 whatever the sequence state.
void SLC::lssu(Indication status) {
  Packet su;
  try {
    prepare_head(su);
  } catch (const std::bad_alloc&) {
    pool_empty("LSSU");
    return;
  }
  su.put(uint8_t(status));
  su.push(1);
  su.push(0xFF);
  su.push(0xFF);
  if (channel_) channel_->hdlc_transmit(su);
}

void SLC::pool_empty(const char* what) {
  ++stats_.overflow;
  line(std::cerr) << "packet pool empty, " << what << " dropped" << std::endl;
}

}  // namespace SS7
