#include <gtest/gtest.h>

#include "signalling/ss7/LinkInfo.h"
#include "signalling/ss7/SLC.h"

namespace {

using L = SS7::SLC::LogSwitches;
using Log = LGCP::SS7L2Log;

// Each switch of the controller's ss7Log turns on the link's switch of the same place and no other.
TEST(LinkInfo, LogSwitchesInTheControllersOrder) {
  const std::pair<void (Log::*)(bool), bool L::*> order[] = {{&Log::set_state, &L::state},
                                                             {&Log::set_raw_receive, &L::rawReceive},
                                                             {&Log::set_raw_transmit, &L::rawTransmit},
                                                             {&Log::set_mtp_transmit, &L::mtpTransmit},
                                                             {&Log::set_mtp_receive, &L::mtpReceive},
                                                             {&Log::set_mtp_activate, &L::mtpActivate},
                                                             {&Log::set_timers, &L::timers},
                                                             {&Log::set_msu_processing, &L::msuProcessing}};
  for (const auto& on : order) {
    Log log;
    for (const auto& each : order) (log.*each.first)(&each == &on);
    SS7::SLC link;
    SS7::apply(log, link);
    for (const auto& each : order) EXPECT_EQ(link.log.*each.second, &each == &on);
  }
}

}  // namespace
