// PSTN signalling slots driven by the controller on the simulated board, one
// transcript per scenario (PstnFixture.h; GW_REWRITE_GOLDEN=1 rewrites what
// followed each step).

#include "signalling/tests/pstn/PstnFixture.h"

namespace pstn {
namespace {

class Scenario : public PstnTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Scenario, Replays) { replay(std::string("signalling/tests/pstn/golden/") + GetParam() + ".txt"); }

INSTANTIATE_TEST_SUITE_P(Pstn, Scenario, ::testing::Values("ss7-back-to-back", "ss7-emergency-t7", "isdn-and-cas"));

}  // namespace
}  // namespace pstn
