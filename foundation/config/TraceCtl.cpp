#include "foundation/config/TraceCtl.h"

#include <iostream>

#include "foundation/config/IniReader.h"

TraceCtl traces;

void TraceCtl::Clear() {
  signalling_hdlc = false;
  signalling_lemzgw = false;
  signalling_events = false;
  signalling_isdn = false;
  monitoring_internal = false;
}

void TraceCtl::Configure(IniFile::Section& section) {
  for (IniFile::SubSection& subSection : section) Configure(subSection);
}

void TraceCtl::Configure(IniFile::SubSection& subSection) {
  Clear();
  IniFile::Reader reader("traces: ", std::cerr);
  reader.optional().add(&signalling_hdlc, "signalling.hdlc");
  reader.optional().add(&signalling_lemzgw, "signalling.lemzgw");
  reader.optional().add(&signalling_events, "signalling.events");
  reader.optional().add(&signalling_isdn, "signalling.isdn");
  reader.optional().add(&monitoring_internal, "monitoring.internal");
  reader.parse(subSection);
}
