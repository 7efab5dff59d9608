#include "board/sim/Models.h"

#include "board/sim/Dsp.h"
#include "board/sim/DspData.h"
#include "board/sim/Dtmf.h"
#include "board/sim/E1Cas.h"
#include "board/sim/Hal.h"
#include "board/sim/Maintenance.h"
#include "board/sim/Mcc.h"
#include "board/sim/MixerDevice.h"
#include "board/sim/ModemCtl.h"
#include "board/sim/NetInterfaces.h"
#include "board/sim/Rtp.h"
#include "board/sim/RtpExt.h"
#include "board/sim/Voice.h"
#include "board/sim/Watchdog.h"

namespace Board {
namespace Sim {

namespace {

template <class M>
std::unique_ptr<Device> make() {
  return std::make_unique<M>();
}

// One line per modelled device.
std::unique_ptr<Device> (*const models[])() = {
    make<Watchdog>, make<Hal>,    make<Maintenance>,   make<E1Cas>,       make<Mcc>,
    make<Dtmf>,     make<Dsp>,    make<DspData>,       make<MixerDevice>, make<Voice>,
    make<Rtp>,      make<RtpExt>, make<NetInterfaces>, make<ModemCtl>,
};

}  // namespace

std::vector<std::unique_ptr<Device>> makeModels() {
  std::vector<std::unique_ptr<Device>> all;
  for (auto model : models) all.push_back(model());
  return all;
}

}  // namespace Sim
}  // namespace Board
