// Mixer slots in this process, made by the factory on the simulated mixer,
// tone and DSP devices: the unit limit of a refresh, the per-kind ioctl
// table, the BSS score text, the release of a slot playing digits, and a
// vanished unit living on until its last slot is gone. Signals are seen
// as the other bound services see them, in value notation.

#include <gtest/gtest.h>
#include <poll.h>

#include <memory>

#include "hardware/DSProcReceiverService.h"
#include "slots/tdm/MixerSlots.h"
#include "slots/tdm/tests/SlotKinds.h"

using Mixer::MixerFactory;
using tdm::control;
using tdm::journal;
using tdm::Lines;

namespace {

MixerFactory& factory() { return MixerFactory::instance(); }

template <class T>
T from(const std::string& notation) {
  T value;
  EXPECT_TRUE(value.setFromValueNotation(notation)) << notation;
  return value;
}

struct SlotDeleter {
  void operator()(Slot* slot) const {
    slot->BeforeDestroy();
    delete slot;
  }
};
using SlotPtr = std::unique_ptr<Slot, SlotDeleter>;

// A slot the factory makes for the create parameters in value notation.
SlotPtr make(const std::string& create) { return SlotPtr(factory().NewSlot(from<LGCP::CreateParams>(create))); }
SlotPtr input(int unit, int channel) {
  return make("mixerIn : { unit " + std::to_string(unit) + ", channel tdm : " + std::to_string(channel) + " }");
}
bool ioctl(SlotPtr& slot, const std::string& params) { return slot->Ioctl(from<LGCP::IoctlParams>(params)); }

class MixerSlots : public ::testing::Test {
protected:
  void SetUp() override {
    tdm::setUpSlotKinds();
    Testing::firstProbe().clear();
    Board::Sim::reset();
    control("mixer unit 0 8 8");
    factory().RefreshResources();
    journal("mixer");
  }
  Testing::Capture errors{std::cerr};
  Testing::Capture logs{std::clog};
};

TEST_F(MixerSlots, ARefreshLearnsAtMostAHundredUnits) {
  for (int unit = 1; unit <= 100; ++unit) control("mixer unit " + std::to_string(unit) + " 8 8");
  factory().RefreshResources();
  EXPECT_EQ(factory().Mixers().size(), 100u);
  EXPECT_EQ(factory().Mixers().back()->GetUnit(), 99);
  size_t queries = 0;
  for (const std::string& line : journal("mixer")) queries += line.compare(0, 6, "query ") == 0;
  EXPECT_EQ(queries, 100u);
  // Once a unit has gone, the next one fits: the limit counts units learnt, not units known.
  control("mixer remove 0");
  factory().RefreshResources();
  ASSERT_EQ(factory().Mixers().size(), 100u);
  EXPECT_EQ(factory().Mixers().front()->GetUnit(), 1);
  EXPECT_EQ(factory().Mixers().back()->GetUnit(), 100);
}

TEST_F(MixerSlots, InputsAndOutputsAnswerTheirOwnRequests) {
  SlotPtr in = input(0, 1);
  SlotPtr out = make("mixerOut : { unit 0, channel tdm : 2, inputs { } }");
  ASSERT_TRUE(in && out);
  EXPECT_TRUE(ioctl(in, "delays : { rx 10, selcal 5 }"));
  EXPECT_EQ(errors.str(), "mixer [0]: error: selcal delay isn't supported for mixer!!! Set to zero.\n");
  EXPECT_TRUE(ioctl(in, "rx-gain : { gainDB -3 }"));
  EXPECT_FALSE(ioctl(out, "rx-gain : { gainDB -3 }"));
  EXPECT_TRUE(ioctl(out, "tone-filter : { freq 2600, enable TRUE, duration-th-msec 40, det-level-dB -30 }"));
  EXPECT_EQ(journal("dsp"),
            (Lines{"configure 4097 0x20 0000000a0000000000000000", "configure 4097 0x40 fd0000000000000000000000",
                   "configure 4098 0x100 0a2801000028e20000000000"}));

  const std::string toneOn = "tone-gen-enable : { freq 65976, amp 900 }";  // 0x10000 + 440
  EXPECT_FALSE(ioctl(in, "dtmf-reject-disable : NULL"));
  EXPECT_FALSE(ioctl(in, toneOn));
  EXPECT_FALSE(ioctl(out, "echoSuppressor : TRUE"));
  EXPECT_FALSE(ioctl(out, "dtmf-disable : NULL")) << "no digit sequence plays";
  EXPECT_TRUE(ioctl(out, "dtmf-reject-disable : NULL"));
  EXPECT_TRUE(ioctl(out, toneOn));
  EXPECT_TRUE(ioctl(in, "echoSuppressor : TRUE"));
  EXPECT_EQ(journal("dtmf"), (Lines{"reject-off 4098", "tone 4098 440 0 900 0", "echo-on 4097"}));
}

TEST_F(MixerSlots, TheBssScoreTextIsCutTo30Characters) {
  SlotPtr in = input(0, 3);
  ASSERT_TRUE(dynamic_cast<Mixer::TdmInput&>(*in).enableBSS(true));
  control("dsp bss 4099 1e30");
  Hardware::DSProcReceiverService& dsp = Hardware::DSProcReceiverService::instance();
  dsp.OnEvent(dsp.fd().get(), POLLIN);
  // Of 1000000015047466219876688855040.000000.
  EXPECT_EQ(Testing::firstProbe().seen,
            Lines{from<LGCP::Signal>("bss : { score \"100000001504746621987668885504\" }").asValueNotation()});
}

TEST_F(MixerSlots, ReleaseStopsDigitsAndAVanishedUnitWaitsForItsLastSlot) {
  SlotPtr in = make("mixerIn : { unit 0, channel tdm : 4, summator tdm : 6 }");
  SlotPtr out = make("mixerOut : { unit 0, channel tdm : 5, inputs { } }");
  ASSERT_TRUE(in && out);
  EXPECT_TRUE(ioctl(in, "translateDTMF : { digits { { freq1 1, freq2 2 } } }"));
  journal("dtmf");

  control("mixer remove 0");
  factory().RefreshResources();
  EXPECT_TRUE(factory().Mixers().empty());
  EXPECT_FALSE(input(0, 7)) << "the unit is gone for new slots";
  journal("mixer");
  const std::string abort = from<LGCP::Signal>("abort : 0").asValueNotation();
  EXPECT_EQ(Testing::firstProbe().seen, (Lines{abort, abort}));

  // The orphan still answers for its slots: their release reaches the device (which has lost the unit).
  in.reset();
  EXPECT_EQ(journal("dtmf"), (Lines{"tone 4100 1000 1000 0 0", "tone 4100 0 0 0 0"}));
  EXPECT_EQ(journal("mixer"), Lines{"remove 0.6 0.4"});
  EXPECT_NE(errors.str().find("mixer [0]: MIX_RX_REMOVE rx.number=6 tx.number=4 fail : Invalid argument\n"),
            std::string::npos)
      << errors.str();
  out.reset();
  EXPECT_EQ(journal("mixer"), Lines{"clear 0.5"});

  // A unit that comes back is learnt anew.
  control("mixer unit 0 8 8");
  factory().RefreshResources();
  ASSERT_EQ(factory().Mixers().size(), 1u);
  EXPECT_EQ(journal("mixer").front(), "query -1");
}

// Channel 0 is a channel like any other, as the summing point or as the
// input: added on create, removed on release, nothing left on the device.
TEST_F(MixerSlots, AnInputOnChannelZeroLeavesItsSummatorWhenReleased) {
  const struct {
    int channel;
    int summator;
  } cases[] = {{3, 0}, {0, 2}};
  for (const auto& c : cases) {
    const std::string in = "0." + std::to_string(c.channel), point = "0." + std::to_string(c.summator);
    SlotPtr slot = make("mixerIn : { unit 0, channel tdm : " + std::to_string(c.channel) +
                        ", summator tdm : " + std::to_string(c.summator) + " }");
    ASSERT_TRUE(slot) << in;
    EXPECT_EQ(journal("mixer"), (Lines{"tdm " + in, "add " + point + " " + in + " gain=32767"}));
    slot.reset();
    EXPECT_EQ(journal("mixer"), Lines{"remove " + point + " " + in});
    for (const std::string& line : control("mixer state")) EXPECT_NE(line.compare(0, 6, "point "), 0) << line;
  }
  EXPECT_EQ(errors.str(), "");
}

TEST_F(MixerSlots, ASummatorThatIsNoTdmChannelJoinsNothing) {
  SlotPtr slot = make("mixerIn : { unit 0, channel tdm : 7, summator rtp : 1 }");
  ASSERT_TRUE(slot);
  EXPECT_EQ(errors.str(), "mixer [0]: wrong summator coding !\n");
  EXPECT_EQ(journal("mixer"), Lines{"tdm 0.7"});
  slot.reset();
  EXPECT_EQ(journal("mixer"), Lines{});
}

}  // namespace
