// The states of the link and what each does with the events that reach it.
// Q.703's initial alignment control and link state control are folded into
// one machine: idle, not aligned, aligned and proving align the link,
// aligned ready waits for the far end to finish proving, worked is in service.

#include <iostream>

#include "foundation/os/Ext.h"
#include "signalling/ss7/SLC.h"

namespace SS7 {

// The one place the state changes. The timer of the state left is cancelled;
// the state entered may be the current one, and its entry action runs again.
void SLC::next_state(State::type to) {
  if (log.state) {
    PutShortInfo(std::clog);
    std::clog << ": "
              << "change state from " << ext::quoted(state_name(state_)) << " to " << ext::quoted(state_name(to))
              << std::endl;
  }
  timer_.reset();
  state_ = to;
  on_enter(to);
}

void SLC::on_enter(State::type state) {
  switch (state) {
    case State::idle:
      reset();
      sios();
      on_deactivate(new Protocol_status_error(this, "impossible phasing"));
      break;
    case State::notAligned:
      reset();
      arm(T2);
      sio();
      break;
    case State::aligned:
      arm(T3);
      if (log.timers) line(std::clog) << "set T3" << std::endl;
      params.emergency ? sie() : sin();
      break;
    case State::proving:
      arm(params.emergency ? T4e : T4n);
      params.emergency ? sie() : sin();
      if (log.timers) line(std::clog) << "set T4" << std::endl;
      break;
    case State::alignedReady:
      arm(T1);
      fisu();
      break;
    case State::inService:
      if (!tb_.empty()) line(std::cerr) << "discard " << tb_.count() << " msu in TB" << std::endl;
      tb_.clear();
      reset();
      bsnt_ = accepted_;
      fisu();
      process_tb();
      on_activate();
      break;
  }
}

void SLC::fisu_received(const SignalUnit& su) {
  switch (state_) {
    case State::proving:
    case State::alignedReady:
      // The far end has finished proving and is in service.
      next_state(State::inService);
      break;
    case State::inService: worked_fisu(su); break;
    default: break;
  }
}

void SLC::lssu_received(const SignalUnit& su) {
  const unsigned status = su.status;
  const bool starting = status == SIN || status == SIE;
  switch (state_) {
    case State::idle:
    case State::notAligned:
      if (status == SIO)
        next_state(State::aligned);
      else if (starting)
        next_state(State::proving);
      break;
    case State::aligned:
      if (starting) next_state(State::proving);
      break;
    case State::proving:
    case State::alignedReady:
      if (!starting) next_state(State::idle);
      break;
    case State::inService:
      line(std::cerr) << "receive lssu: " << StatusName{status} << " " << DumpPtr{su} << std::endl;
      next_state(State::idle);
      break;
  }
}

void SLC::msu_received(const SignalUnit& su, Packet& payload) {
  switch (state_) {
    case State::proving:
    case State::alignedReady: next_state(State::inService); break;
    case State::inService: worked_msu(su, payload); break;
    default: break;
  }
}

void SLC::on_T1(Timer*) {
  if (log.timers) line(std::clog) << "T1 expired" << std::endl;
  next_state(State::idle);
}

void SLC::on_T2(Timer*) {
  if (log.timers) line(std::clog) << "T2 expired" << std::endl;
  next_state(State::idle);
}

void SLC::on_T3(Timer*) {
  if (log.timers) line(std::clog) << "T3 expired" << std::endl;
  next_state(State::idle);
}

void SLC::on_T4(Timer*) {
  if (log.timers) line(std::clog) << "T4 expired." << std::endl;
  next_state(State::alignedReady);
}

void SLC::on_T7(Timer*) {
  if (log.timers) line(std::clog) << "T7 expired: " << rtb_.count << " packets in RTB." << std::endl;
  next_state(State::idle);
}

}  // namespace SS7
