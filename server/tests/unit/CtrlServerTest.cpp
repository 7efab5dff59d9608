// The controller server's reply rules, signals and send failures, against a
// real socket in this process (the plain replies are checked end to end).

#include <iostream>

#include "testing/CtrlServerFixture.h"

using Testing::Capture;
using Testing::count;
using Testing::ctrlHeader;
using Testing::firstProbe;
using Testing::secondProbe;
using Replies = std::vector<std::string>;

namespace {

// {signal number "2"}, to be sent with or without a slot.
LGCP::Signal digit() {
  LGCP::Signal sig;
  sig.select_number().setValue("2");
  return sig;
}

}  // namespace

class CtrlServerTest : public Testing::CtrlServerTest {};

TEST_F(CtrlServerTest, AnErrorMayFollowASuccessButNeverASecondError) {
  auto c = connect();
  firstProbe().take = [](Testing::Probe& p, const LGCP::Command&) {
    p.Success();
    p.Success();
    p.Error(LGCP::ErrorCause::busError);
    p.Error(LGCP::ErrorCause::internal);
    p.Success();
    return true;
  };
  EXPECT_EQ(exchange(*c, "0000", 2), (Replies{"10", "1a80"}));
  c->pump();
  EXPECT_EQ(c->frames.size(), 2u);

  Capture err(std::cerr);
  firstProbe().take = [](Testing::Probe&, const LGCP::Command&) { return true; };
  EXPECT_EQ(exchange(*c, "0000"), Replies{"1940"});  // error internal
  EXPECT_EQ(count(err.str(), "]: software error: server do NOT send ack!!!\n"), 1u);
  EXPECT_EQ(count(err.str(), "\n"), 2u);
}

TEST_F(CtrlServerTest, ADelayedSuccessCarriesTheTokenAndTheGivenSlot) {
  auto c = connect();
  unsigned token = 0;
  firstProbe().take = [&](Testing::Probe& p, const LGCP::Command& cmd) {
    if (cmd.currentSelection() != LGCP::Command::e_destroy) return false;
    EXPECT_EQ(p.GetSlot(), p.IsSlotPresent() ? 5u : CtrlSrv::Server::NoSlot);
    token = p.delayResponse();
    return true;
  };
  Capture err(std::cerr);
  // seq 33, slot 5, destroy: no reply yet, and no complaint, once the loop
  // has read it, however late the machine lets it.
  const auto taken = [&] { return token != 0; };
  EXPECT_TRUE(sendQuietly(*c, "c0012100050a", taken).empty());
  EXPECT_EQ(token, 33u);
  firstProbe().delayedSuccess(5, token);
  EXPECT_EQ(exchange(*c, "0600", 2), (Replies{"c00121000540", "10"}));
  // A destroy without seq gets the last seq seen as its token.
  token = 0;
  EXPECT_TRUE(sendQuietly(*c, "0280", taken).empty());
  EXPECT_EQ(token, 33u);
  firstProbe().delayedSuccess(9, token);
  EXPECT_EQ(exchange(*c, "0600", 2), (Replies{"c00121000940", "10"}));
  EXPECT_EQ(err.str(), "");
}

TEST_F(CtrlServerTest, SignalsTakeTheCommandsSlotAndAreShownToTheOtherServicesFirst) {
  auto c = connect();
  firstProbe().take = [](Testing::Probe& p, const LGCP::Command& cmd) {
    if (cmd.currentSelection() != LGCP::Command::e_query) return false;
    p.SendSignal(digit());
    p.Success();
    return true;
  };
  // seq 5, slot 3, query: the signal carries slot 3 and no seq.
  EXPECT_EQ(exchange(*c, "c00105000300", 2), (Replies{"400003820132", "c00105000340"}));
  EXPECT_TRUE(firstProbe().seen.empty());
  EXPECT_EQ(secondProbe().seen, std::vector<std::string>{"number : \"2\""});

  // Outside a command: no slot, unless one is given.
  c->frames.clear();
  secondProbe().SendSignal(digit());
  secondProbe().SendSignal(12, digit());
  EXPECT_TRUE(Testing::runUntil([&] {
    c->pump();
    return c->frames.size() >= 2;
  }));
  EXPECT_EQ(c->frames, (Replies{"20800132", "40000c820132"}));
  EXPECT_EQ(firstProbe().seen.size(), 2u);
  EXPECT_EQ(secondProbe().seen.size(), 1u);
}

TEST_F(CtrlServerTest, MessagesThatCannotGoAreLoggedAndDropped) {
  {
    // Before any controller: the transport's line once, not once per signal.
    Capture log(std::clog);
    firstProbe().SendSignal(digit());
    firstProbe().SendSignal(digit());
    EXPECT_EQ(log.str(), "Control::Service::Send() ignore Send request in Connecting state.\n");
  }
  auto c = connect();
  {
    Capture err(std::cerr);
    firstProbe().SendSignal(LGCP::Signal());  // nothing selected: cannot be encoded
    // The value notation follows the text at once.
    EXPECT_EQ(count(err.str(), "]: send fail: encode error!"), 1u);
    EXPECT_EQ(count(err.str(), "]: send fail: encode error! "), 0u);
    Testing::runFor(30);
    c->pump();
    EXPECT_TRUE(c->frames.empty());
  }
  {
    // After the controller went: again one line for the disconnection.
    c.reset();
    ASSERT_TRUE(Testing::runUntil([] { return firstProbe().disconnects == 1; }));
    Capture log(std::clog);
    firstProbe().SendSignal(digit());
    secondProbe().SendSignal(digit());
    EXPECT_EQ(log.str(), "Control::Service::Send() ignore Send request in Connecting state.\n");
  }
  {
    CtrlSrv::ctrlServer.Deactivate();
    Capture err(std::cerr);
    firstProbe().SendSignal(digit());
    firstProbe().SendSignal(digit());
    EXPECT_EQ(err.str(),
              "ctrl [null]: send fail: Service not attached!\nctrl [null]: send fail: Service not attached!\n");
  }
}

TEST_F(CtrlServerTest, TheHeaderNamesTheControllerWhileConnected) {
  EXPECT_EQ(ctrlHeader(), "ctrl [not connected]: ");
  Capture log(std::clog);
  auto c = connect();
  bool connected = false;
  EXPECT_TRUE(firstProbe().CheckServerConnection(connected));
  EXPECT_TRUE(connected);
  const std::string h = ctrlHeader();
  EXPECT_EQ(h.compare(0, 16, "ctrl [127.0.0.1:"), 0) << h;
  EXPECT_EQ(log.str().find(h + "controller connect.\n"), 0u) << log.str();
  CtrlSrv::ctrlServer.Deactivate();
  EXPECT_EQ(ctrlHeader(), "ctrl [null]: ");
  EXPECT_FALSE(firstProbe().CheckServerConnection(connected));
  EXPECT_EQ(firstProbe().disconnects, 1);
  EXPECT_EQ(secondProbe().disconnects, 1);
}

TEST(CtrlService, AnUnboundServiceComplainsAndDoesNothing) {
  Testing::Probe loose;
  Capture err(std::cerr);
  loose.Success();
  loose.Error(LGCP::ErrorCause::internal);
  EXPECT_EQ(loose.GetSlot(), CtrlSrv::Server::NoSlot);
  EXPECT_FALSE(loose.IsSlotPresent());
  EXPECT_EQ(loose.delayResponse(), CtrlSrv::Server::NoSlot);
  loose.SendSignal(digit());
  EXPECT_EQ(count(err.str(), "CtrlSrv::Service error! service not connected to server.\n"), 6u);
  bool connected = true;
  EXPECT_FALSE(loose.CheckServerConnection(connected));
  EXPECT_EQ(count(err.str(), "\n"), 6u);
}
