#pragma once
// The board's control services in this process, bound after the controller
// server fixture's heartbeat and probes (testing/ServiceFixture.h).

#include <string>
#include <vector>

#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "testing/ServiceFixture.h"

namespace hw {

using Lines = std::vector<std::string>;
using Testing::control;

const std::string success = "{ pdu response : success : NULL }";

// A command from its alternative in value notation, for a service called directly.
inline LGCP::Command commandOf(const std::string& notation) {
  LGCP::Message msg;
  EXPECT_TRUE(msg.setFromValueNotation("{ pdu command : " + notation + " }")) << notation;
  return msg.get_pdu().get_command();
}

// The frames that contain `what` ("type bri"), in order.
inline Lines only(const Lines& frames, const std::string& what) {
  Lines picked;
  for (const std::string& f : frames) {
    if (f.find(what) != std::string::npos) picked.push_back(f);
  }
  return picked;
}

inline void bindServices() {
  Testing::bindProbesOnce();
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HwTests::instance());
  CtrlSrv::ctrlServer.Bind(&BusCtl::instance());
  CtrlSrv::ctrlServer.Bind(&E1Ctl::instance());
  CtrlSrv::ctrlServer.Bind(&spiCtrl::instance());
}

class ServiceTest : public Testing::ServiceTest {
protected:
  void bind() override { bindServices(); }
  ::testing::AssertionResult script(const std::string& name) {
    return Testing::ServiceTest::script("hardware/tests/golden/" + name + ".txt");
  }
};

}  // namespace hw
