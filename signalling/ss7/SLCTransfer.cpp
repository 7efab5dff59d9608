// Message transfer in service with the basic error correction method of
// Q.703 5: MSUs wait in the TB, are sent with the next FSN and kept in the
// RTB until a BSN acknowledges them; a BIB that changes (negative
// acknowledgement) sends everything unacknowledged again, oldest first.

#include <iostream>

#include "signalling/ss7/SLC.h"

namespace SS7 {

void SLC::Rtb::clear() {
  for (Packet& p : su) p.release();
  first = Seq(0);
  last = Seq(127);
  count = 0;
}

void SLC::reset() {
  rtb_.clear();
  nackOutstanding_ = badBsn_ = badFib_ = false;
  accepted_ = Seq(127);
  fsn_ = Seq(127);
  fib_ = true;
  bib_ = true;
}

void SLC::put_to_tb(Packet& payload) {
  if (tb_.count() >= TbLimit) {
    ++stats_.overflow;
    line(std::cerr) << "no space in TB buffer,"
                    << " TB=" << tb_.count() << " RTB=" << rtb_.count << " ignoring msu: " << payload.text()
                    << std::endl;
    return;
  }
  tb_.put(payload);
}

void SLC::process_tb() {
  if (state_ != State::inService) return;
  if (tb_.empty()) {
    fisu();
    return;
  }
  Packet payload;
  while (rtb_.count < RtbLimit && tb_.preview(&payload)) {
    fsn_ = rtb_.last + Seq(1);
    const Tx result = send(payload);
    if (result != Tx::sent) {
      // FISUs go on carrying the FSN of the last MSU that went out. A refused
      // MSU waits for on_hdlc_ready(); one that found no buffer is lost.
      fsn_ = rtb_.last;
      if (result == Tx::noBuffer) tb_.get(payload);
      return;
    }
    tb_.get(payload);
    rtb_.last = fsn_;
    rtb_.su[unsigned(fsn_)] = payload;
    if (++rtb_.count == 1) arm(T7);
  }
}

void SLC::ack(const SignalUnit& su) {
  accepted_ = su.fsn;
  bsnt_ = su.fsn;
  if (log.msuProcessing) line(std::cerr) << "ack!" << std::endl;
  fisu();
}

void SLC::nack(Expected& expected) {
  bib_ = !bib_;
  expected.bib = bib_;
  nackOutstanding_ = true;
  fisu();
  ++stats_.badSequence;
  if (log.msuProcessing) line(std::cerr) << "nack!" << std::endl;
}

void SLC::retransmit(const SignalUnit& su) {
  if (log.msuProcessing)
    line(std::cerr) << "retransmit"
                    << " rtb=" << rtb_.count << std::endl;
  ++stats_.repeat;
  fsn_ = rtb_.first - Seq(1);
  fib_ = su.bib;
  // Newest first to the head of the TB, so the oldest goes out first again,
  // with its former FSN.
  for (; rtb_.last != fsn_; --rtb_.last) {
    Packet& stored = rtb_.su[unsigned(rtb_.last)];
    tb_.append(stored);
    stored.release();
  }
  rtb_.count = 0;
  process_tb();
}

void SLC::process_bsnr(const SignalUnit& su, const Expected& expected) {
  const Seq lower = rtb_.first - Seq(1);
  if (unsigned(rtb_.last - lower) < unsigned(su.bsn - lower)) {
    // Acknowledges something never sent: one is tolerated, two in a row fail the link.
    if (!badBsn_) {
      badBsn_ = true;
      return;
    }
    if (log.msuProcessing) line(std::cerr) << "bad su acknowledgement received: " << DumpPtr{su} << std::endl;
    next_state(State::idle);
    return;
  }
  badBsn_ = false;
  const Seq next = su.bsn + Seq(1);
  if (rtb_.first != next) arm(T7);
  for (; rtb_.first != next; ++rtb_.first) {
    rtb_.su[unsigned(rtb_.first)].release();
    --rtb_.count;
  }
  const bool released = rtb_.first != lower + Seq(1);
  if (rtb_.empty()) timer_.reset();
  if (su.bib != expected.fib)
    retransmit(su);
  else if (released && !tb_.empty())
    // Room in the RTB again for MSUs that waited while it was full.
    process_tb();
}

void SLC::worked_fisu(const SignalUnit& su) {
  Expected expected = make_expected();
  if (su.fib == expected.bib) {
    nackOutstanding_ = badFib_ = false;
    process_bsnr(su, expected);
    // The far end sent MSUs that never arrived.
    if (su.fsn != expected.accepted) nack(expected);
  } else if (nackOutstanding_) {
    process_bsnr(su, expected);
  } else if (badFib_) {
    if (log.msuProcessing) line(std::cerr) << "bad start of a retransmission: " << DumpPtr{su} << std::endl;
    next_state(State::idle);
  } else {
    badFib_ = true;
  }
}

void SLC::worked_msu(const SignalUnit& su, Packet& payload) {
  Expected expected = make_expected();
  if (su.fsn == expected.accepted) {
    if (log.msuProcessing)
      line(std::clog) << "discard msu due to 5.2.2/i Q.702"
                      << " fsnr=" << unsigned(su.fsn) << " fsnx=" << unsigned(expected.accepted) << std::endl;
    return;
  }
  if (su.fib == expected.bib) {
    nackOutstanding_ = badFib_ = false;
    process_bsnr(su, expected);
    if (su.fsn == expected.accepted + Seq(1)) {
      ack(su);
      if (log.mtpReceive) line(std::clog) << " mtp rx" << OctetTrace{payload} << std::endl;
      on_message(payload);
      return;
    }
    if (log.msuProcessing)
      line(std::clog) << "discard msu due to 5.2.2/ii Q.702"
                      << " fsnr=" << unsigned(su.fsn) << " fsnx=" << unsigned(expected.accepted) << std::endl;
    nack(expected);
  } else if (nackOutstanding_) {
    process_bsnr(su, expected);
  } else if (badFib_) {
    if (log.msuProcessing) line(std::cerr) << "bad start of a retransmission: " << DumpPtr{su} << std::endl;
    next_state(State::idle);
  } else {
    badFib_ = true;
  }
}

}  // namespace SS7
