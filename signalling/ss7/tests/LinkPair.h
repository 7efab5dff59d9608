#pragma once
// Two links, A and B, back to back through a ChannelPair on a pinned loop
// clock. One transcript takes everything in order: frames on the line, the
// links' log lines (error-stream lines marked "E "), what each owner hears
// from its link, and the clock's steps.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "asn1/modules/ACP.h"
#include "signalling/ss7/LinkInfo.h"
#include "signalling/ss7/SLC.h"
#include "signalling/ss7/tests/ChannelPair.h"
#include "testing/Capture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace ss7test {

// Appends to a shared text, marking each line.
class TaggedBuf : public std::streambuf {
public:
  TaggedBuf(std::string& text, const char* tag) : text_(text), tag_(tag) {}

protected:
  int overflow(int c) override {
    if (text_.empty() || text_.back() == '\n') text_ += tag_;
    text_ += char(c);
    return c;
  }

private:
  std::string& text_;
  const char* tag_;
};

// The protocol list a link reports to.
struct Owner : ProtocolsFamily {
  explicit Owner(char name) : name(name) {}
  void on_activated(Protocol*) override { std::clog << name << ": activated\n"; }
  void on_deactivated(Protocol*, Protocol_status s) override {
    std::clog << name << ": deactivated " << s->message() << "\n";
  }
  void on_message(Packet& p) override { std::clog << name << ": msu " << p.text() << "\n"; }
  const char name;
};

class LinkPair : public ::testing::Test {
protected:
  LinkPair() {
    setup(A, line.a, 2, 1);
    setup(B, line.b, 1, 2);
  }
  ~LinkPair() override {
    std::clog.rdbuf(clog_);
    std::cerr.rdbuf(cerr_);
  }

  // The clock moves on and the line settles.
  void wait(unsigned ms) {
    std::clog << "-- " << ms << " ms\n";
    clock.advance(ms);
    line.deliver();
  }
  void send(SS7::SLC& link, const std::string& bytes) {
    Packet p;
    link.prepare_head(p);
    p.put(bytes.data(), unsigned(bytes.size()));
    link.message(p);
  }
  // A starts; B follows the far end's alignment.
  void align() {
    A.local_activate();
    line.deliver();
    wait(SS7::SLC::T4n.ms);
  }
  // The transcript, then each link as the controller reads it, against the golden file.
  void golden(const std::string& name) {
    std::ostringstream s;
    for (const SS7::SLC* link : {&A, &B}) {
      ACP::SS7LinkInfo info;
      SS7::fill(info, *link);
      s << (link == &A ? "A " : "B ") << info << " bsn " << link->last_accepted_fsn() << "\n";
    }
    EXPECT_TRUE(Testing::matchesGolden("signalling/ss7/tests/golden/" + name + ".txt", text + s.str()));
  }

  std::string text;
  TaggedBuf out{text, ""};
  TaggedBuf err{text, "E "};
  std::streambuf* clog_ = std::clog.rdbuf(&out);
  std::streambuf* cerr_ = std::cerr.rdbuf(&err);
  Testing::PinnedClock clock;
  ChannelPair line;
  Owner ownerA{'A'};
  Owner ownerB{'B'};
  SS7::SLC& A = *new SS7::SLC;
  SS7::SLC& B = *new SS7::SLC;

private:
  void setup(SS7::SLC& link, ChannelPair::End& end, uint32_t dpc, uint32_t trunk) {
    (&link == &A ? ownerA : ownerB).add_protocol_tail(&link);
    link.params.dpc = dpc;
    link.params.trunk = trunk;
    link.set_channel(&end);
    end.notify = &link;
    link.log.state = link.log.timers = link.log.mtpActivate = link.log.msuProcessing = true;
    link.log.mtpTransmit = link.log.mtpReceive = true;
  }
};

}  // namespace ss7test
