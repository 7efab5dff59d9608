#include <gtest/gtest.h>

#include <sstream>

#include "foundation/config/TraceCtl.h"

namespace {

std::vector<bool> switches(const TraceCtl& t) {
  return {t.signalling_hdlc, t.signalling_lemzgw, t.signalling_events, t.signalling_isdn, t.monitoring_internal};
}

TEST(TraceSwitches, StartClearAndTheLastOccurrenceDecides) {
  EXPECT_EQ(std::vector<bool>(5, false), switches(traces));

  IniFile::File file;
  std::istringstream in(
      "[traces]\n"
      "signalling.hdlc=yes\n"
      "signalling.lemzgw=enabled\n"
      "[other]\n"
      "signalling.isdn=1\n"
      "[traces]\n"
      "signalling.events=true\n"
      "monitoring.internal=enable\n"
      "signalling.isdn=1\n");
  in >> file;
  TraceCtl t;
  testing::internal::CaptureStderr();
  t.Configure(file["traces"]);
  EXPECT_EQ((std::vector<bool>{false, false, true, true, true}), switches(t));
  EXPECT_EQ("", testing::internal::GetCapturedStderr());

  t.Clear();
  EXPECT_EQ(std::vector<bool>(5, false), switches(t));
  t.Configure(file["absent"]);
  EXPECT_EQ(std::vector<bool>(5, false), switches(t));
}

TEST(TraceSwitches, BadWordsAreReportedAndLeaveTheSwitchOff) {
  IniFile::File file;
  std::istringstream in("[traces]\nsignalling.hdlc=on\nSignalling.events=yes\n");
  in >> file;
  TraceCtl t;
  t.signalling_events = true;
  testing::internal::CaptureStderr();
  t.Configure(file["traces"]);
  EXPECT_EQ(std::vector<bool>(5, false), switches(t));
  EXPECT_EQ("traces: optional key \"signalling.hdlc\" has invalid value=\"on\", line 2. Key will be ignored.\n",
            testing::internal::GetCapturedStderr());
}

}  // namespace
