#include "radio/LemzRadioState.h"

namespace RTPSignalling {

bool isPTTCommand(int type) {
  const sig_proto_packet_name* row = sig_proto_packet(type);
  return row && row->ptt;
}

bool isDefaultInitCommand(int command) { return command <= 0; }

}  // namespace RTPSignalling
