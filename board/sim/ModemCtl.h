#pragma once
// The modem control device "/dev/mctl": the board's DSP modems, each with
// its number and TDM channel. An open file allocates at most one modem (the
// first free one) and keeps it until its last descriptor closes; the data
// modes, DSP parameters and the call (answer, originate, fax) it set are
// then forgotten. Every allocation, data-mode, parameter, answer and
// originate request is journaled. No modem at power-on: a test adds them.

#include "board/dev/Mctl.h"
#include "board/sim/Device.h"
#include "board/sim/PerFile.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Board {
namespace Sim {

class ModemCtl : public Device {
public:
  enum class CallState { Idle, Answer, Originate, FaxOriginate };
  static const char* name(CallState state);

  struct Modem {
    int32_t channel = -1;
    bool allocated = false;
    uint32_t dataModes = 0;
    std::vector<std::pair<int32_t, int32_t>> parameters;  // offset, value, in the order set
    CallState call = CallState::Idle;
  };

  ModemCtl();

  // By number.
  const std::map<int32_t, Modem>& modems() const { return modems_; }
  // Adds a modem on a TDM channel, or moves it to that channel.
  void add(int32_t number, int32_t channel);

protected:
  void resetState() override;

private:
  static const Answer<ModemCtl> requestTable[];
  static const Control<ModemCtl> commandTable[];

  // The modem the request names, when this file holds it; else null.
  Modem* held(Call& call, int32_t number);
  // Answer or originate on the modem the request names.
  int placeCall(Call& call, CallState state);
  int enumerate(Call& call);
  int allocate(Call& call);
  int timeslot(Call& call);
  int setDataModes(Call& call);
  int resetParameters(Call& call);
  int setParameter(Call& call);
  int answerCall(Call& call);
  int originate(Call& call);
  int originateFax(Call& call);
  void modemsCommand(Args& args, Reply& reply);
  void addCommand(Args& args, Reply& reply);

  std::map<int32_t, Modem> modems_;
  PerFile<int32_t> allocations_;  // the modem each file holds
};

}  // namespace Sim
}  // namespace Board
