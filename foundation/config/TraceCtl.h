#pragma once
// The process-wide switches that gate optional detail in the log. Section
// "traces" of the configuration file turns them on.

#include "foundation/config/IniFile.h"

class TraceCtl {
public:
  TraceCtl() { Clear(); }

  void Clear();
  // Applies every occurrence of the section in file order: the last one decides.
  void Configure(IniFile::Section& section);
  // Clears every switch, then sets those the occurrence names; problems go to
  // standard error behind "traces: ".
  void Configure(IniFile::SubSection& subSection);

  bool signalling_hdlc;
  bool signalling_lemzgw;
  bool signalling_events;
  bool signalling_isdn;
  bool monitoring_internal;
};

extern TraceCtl traces;
