#include "radio/LemzRadioState.h"

#include <algorithm>
#include <iterator>

namespace RTPSignalling {

namespace {

const int pttCommands[] = {GW_FLAG, GW_FLAG_PTT, GW_SEL_CALL, WM_FLAG, WM_TRANS, WM_SEL_CALL_TRANS};

}  // namespace

bool isPTTCommand(int type) {
  return std::find(std::begin(pttCommands), std::end(pttCommands), type) != std::end(pttCommands);
}

bool isDefaultInitCommand(int command) { return command <= 0; }

}  // namespace RTPSignalling
