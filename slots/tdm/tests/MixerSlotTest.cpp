// Mixer slots in this process, made by the factory on the simulated mixer,
// tone and DSP devices: the unit limit of a refresh, the per-kind ioctl
// table, the BSS score text, the release of a slot playing digits, and a
// vanished unit living on until its last slot is gone. Signals are seen
// as the other bound services see them, in value notation.

#include <gtest/gtest.h>
#include <poll.h>

#include <iostream>
#include <memory>

#include "board/sim/Dsp.h"
#include "board/sim/Sim.h"
#include "hardware/DSProcReceiverService.h"
#include "server/slot/Slots.h"
#include "slots/tdm/MixerFactory.h"
#include "slots/tdm/MixerSlots.h"
#include "slots/tdm/tests/SlotKinds.h"

using Mixer::MixerFactory;
using tdm::control;
using tdm::journal;
using tdm::Lines;

namespace {

MixerFactory& factory() { return MixerFactory::instance(); }

struct SlotDeleter {
  void operator()(Slot* slot) const {
    slot->BeforeDestroy();
    delete slot;
  }
};
using SlotPtr = std::unique_ptr<Slot, SlotDeleter>;

SlotPtr input(int unit, int channel, int summator = -1) {
  LGCP::CreateParams p;
  LGCP::MixerInParams& in = p.select_mixerIn();
  in.set_unit(unit);
  in.get_channel().select_tdm().setValue(channel);
  if (summator >= 0) {
    in.includeOptionalField(LGCP::MixerInParams::o_summator, LGCP::MixerInParams::e_summator);
    in.get_summator().select_tdm().setValue(summator);
  }
  return SlotPtr(factory().NewSlot(p));
}

SlotPtr output(int unit, int channel) {
  LGCP::CreateParams p;
  LGCP::MixerOutParams& out = p.select_mixerOut();
  out.set_unit(unit);
  out.get_channel().select_tdm().setValue(channel);
  return SlotPtr(factory().NewSlot(p));
}

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
  SlotPtr out = output(0, 2);
  ASSERT_TRUE(in && out);
  LGCP::IoctlParams delays;
  LGCP::Delays& d = delays.select_delays();
  d.set_rx(10);
  d.set_selcal(5);
  EXPECT_TRUE(in->Ioctl(delays));
  EXPECT_EQ(errors.str(), "mixer [0]: error: selcal delay isn't supported for mixer!!! Set to zero.\n");
  LGCP::IoctlParams gain;
  gain.select_rx_gain().set_gainDB(-3);
  EXPECT_TRUE(in->Ioctl(gain));
  EXPECT_FALSE(out->Ioctl(gain));
  LGCP::IoctlParams filter;
  LGCP::ToneFilter& f = filter.select_tone_filter();
  f.set_freq(2600);
  f.set_enable(true);
  f.set_duration_th_msec(40);
  f.set_det_level_dB(-30);
  EXPECT_TRUE(out->Ioctl(filter));
  EXPECT_EQ(journal("dsp"), (Lines{"configure 4097 0x20 0000000a0000000000000000",
                                   "configure 4097 0x40 fd0000000000000000000000",
                                   "configure 4098 0x100 0a2801000028e20000000000"}));

  LGCP::IoctlParams rejectOff, toneOn, echo, dtmfOff;
  rejectOff.select_dtmf_reject_disable();
  LGCP::ToneGenerator& generator = toneOn.select_tone_gen_enable();
  generator.set_freq(0x10000 + 440);
  generator.set_amp(900);
  echo.select_echoSuppressor().setValue(true);
  dtmfOff.select_dtmf_disable();
  EXPECT_FALSE(in->Ioctl(rejectOff));
  EXPECT_FALSE(in->Ioctl(toneOn));
  EXPECT_FALSE(out->Ioctl(echo));
  EXPECT_FALSE(out->Ioctl(dtmfOff)) << "no digit sequence plays";
  EXPECT_TRUE(out->Ioctl(rejectOff));
  EXPECT_TRUE(out->Ioctl(toneOn));
  EXPECT_TRUE(in->Ioctl(echo));
  EXPECT_EQ(journal("dtmf"), (Lines{"reject-off 4098", "tone 4098 440 0 900 0", "echo-on 4097"}));
}

TEST_F(MixerSlots, TheBssScoreTextIsCutTo30Characters) {
  SlotPtr in = input(0, 3);
  auto& receiver = dynamic_cast<Mixer::TdmInput&>(*in);
  ASSERT_TRUE(receiver.enableBSS(true));
  control("dsp bss 4099 1e30");
  Hardware::DSProcReceiverService& dsp = Hardware::DSProcReceiverService::instance();
  dsp.OnEvent(dsp.fd().get(), POLLIN);
  LGCP::Signal expected;
  expected.select_bss().set_score("100000001504746621987668885504");  // of 1000000015047466219876688855040.000000
  ASSERT_FALSE(Testing::firstProbe().seen.empty());
  EXPECT_EQ(Testing::firstProbe().seen.back(), expected.asValueNotation());
}

TEST_F(MixerSlots, ReleaseStopsDigitsAndAVanishedUnitWaitsForItsLastSlot) {
  SlotPtr in = input(0, 4, 6);
  SlotPtr out = output(0, 5);
  ASSERT_TRUE(in && out);
  LGCP::IoctlParams digits;
  LGCP::DualTone tone;
  tone.set_freq1(1);
  tone.set_freq2(2);
  digits.select_translateDTMF().get_digits().push_back(tone);
  EXPECT_TRUE(in->Ioctl(digits));
  journal("dtmf");

  control("mixer remove 0");
  factory().RefreshResources();
  EXPECT_TRUE(factory().Mixers().empty());
  EXPECT_FALSE(input(0, 7)) << "the unit is gone for new slots";
  journal("mixer");
  LGCP::Signal abort;
  abort.select_abort().setValue(0);
  EXPECT_EQ(Testing::firstProbe().seen, (Lines{abort.asValueNotation(), abort.asValueNotation()}));

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

TEST_F(MixerSlots, ASummatorThatIsNoTdmChannelJoinsNothing) {
  LGCP::CreateParams p;
  LGCP::MixerInParams& in = p.select_mixerIn();
  in.set_unit(0);
  in.get_channel().select_tdm().setValue(7);
  in.includeOptionalField(LGCP::MixerInParams::o_summator, LGCP::MixerInParams::e_summator);
  in.get_summator().select_rtp().setValue(1);
  SlotPtr slot(factory().NewSlot(p));
  ASSERT_TRUE(slot);
  EXPECT_EQ(errors.str(), "mixer [0]: wrong summator coding !\n");
  EXPECT_EQ(journal("mixer"), Lines{"tdm 0.7"});
  slot.reset();
  EXPECT_EQ(journal("mixer"), Lines{});
}

}  // namespace
