// The PPP authentication plug-in's record stream into the proxy's client on
// a socket pair, beside a modem slot of the digital modem's session (-1).
// The first octet chooses the cuts (0: the stream in one piece, N: chunks
// of 1..N octets), the rest is the stream; each chunk arrives as one read.
// Whatever the cuts, the client follows the records that a reading of the
// stream by their length words finds, up to the first length outside
// 12..512, where it closes the connection: its session is the last
// record's; each request and accounting record of the slot's session gives
// one signal, a request's with the user name and password cut at their zero
// byte, each octet IA5 has not as '?'; every signal encodes for the
// controller. The client takes no heap
// beyond itself, and the closed one is deleted.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "fuzz/Fuzz.h"
#include "media/AuthClient.h"
#include "media/ModemFactory.h"
#include "media/PppAuth.h"
#include "server/CtrlServer.h"
#include "server/slot/Slots.h"
#include "testing/Loopback.h"

namespace {

constexpr int32_t session = -1;

uint32_t word(const std::string& s, size_t at) {
  uint32_t w = 0;
  for (size_t i = 0; i < 4; ++i) w = w << 8 | uint8_t(s[at + i]);
  return w;
}

// A text field of a request: up to its zero byte, at most 64 octets.
std::string text(const std::string& record, size_t at) {
  const std::string field = record.substr(at, 64);
  return field.substr(0, field.find('\0'));
}

// A text as the controller gets it.
std::string reported(std::string s) {
  for (char& c : s)
    if (c & 0x80) c = '?';
  return s;
}

// What the slot reports: "auth <name> <password>" or "acct".
struct Signals : CtrlSrv::Service {
  void OnConnect() override {}
  void OnDisconnect() override {}
  bool OnCommand(const LGCP::Command&) override { return false; }
  void OnSignal(const LGCP::Signal& sig) override {
    LGCP::Message msg;
    msg.get_pdu().select_signal() = sig;
    std::vector<char> octets;
    Fuzz::expect(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, octets) > 0, "the signal encodes");
    Fuzz::expect(sig.currentSelection() == LGCP::Signal::e_modemProceeding, "records give modem signals");
    const TERM::ModemProceeding& p = sig.get_modemProceeding();
    if (p.currentSelection() == TERM::ModemProceeding::e_acct) {
      seen.push_back("acct");
      return;
    }
    seen.push_back("auth " + p.get_auth().get_username().getValue() + " " + p.get_auth().get_password().getValue());
  }
  std::vector<std::string> seen;
};

Signals signals;
// The slot of the session, for the life of the process.
Slot* slot = nullptr;

// The stream read record by record, as the framing says.
struct Reading {
  explicit Reading(const std::string& stream) {
    size_t at = 0;
    for (; at + 4 <= stream.size(); at += word(stream, at)) {
      const uint32_t length = word(stream, at);
      if (length < PppAuth::MinLength || length > PppAuth::MaxLength) {
        closes = true;
        return;
      }
      if (at + length > stream.size()) return;
      const std::string record = stream.substr(at, length);
      last_session = int32_t(word(record, 8));
      if (last_session != session) continue;
      const uint32_t type = word(record, 4);
      if (type == PppAuth::Request && length == PppAuth::RequestRecord::Size) {
        signals.push_back("auth " + reported(text(record, 12)) + " " + reported(text(record, 76)));
      }
      if (type == PppAuth::Accounting && length == PppAuth::AccountingRecord::Size) signals.push_back("acct");
    }
  }
  std::vector<std::string> signals;
  int32_t last_session = -1;
  bool closes = false;
};

int unread(int fd) {
  int n = 0;
  ioctl(fd, FIONREAD, &n);
  return n;
}

// The client closed its end: the far end reads the end of the stream, or a
// reset when bytes were left unread.
bool closed(const Fd& far) {
  char c;
  const ssize_t n = recv(far.get(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno == ECONNRESET);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  // The proxy listens, unused, where it takes no daemon's port.
  setenv("SERVER_AUTH_PORT", std::to_string(Testing::freePort()).c_str(), 0);
  CtrlSrv::ctrlServer.Bind(&Slots::instance());
  CtrlSrv::ctrlServer.Bind(&signals);
  LGCP::CreateParams params;
  params.select_modem();
  slot = ModemFactory::instance().INewSlot(params);
  Fuzz::expect(slot != nullptr, "a modem slot");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 16 * 1024) return 0;
  const std::string stream = Fuzz::text(data + 1, size - 1);
  const Reading reading(stream);
  signals.seen.clear();
  Fuzz::HeapWatch heap;
  int ends[2];
  Fuzz::expect(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends) == 0, "a socket pair");
  const int near = ends[0];
  Fd far(ends[1]);
  auto* client = new AuthClient(Fd(near), INet4::Addr(), ModemFactory::instance());
  uint32_t random = data[0];
  bool open = true;
  for (size_t at = 0; at < stream.size() && open;) {
    size_t n = stream.size() - at;
    if (data[0]) {
      random = random * 1103515245u + 12345u;
      n = std::min<size_t>(n, (random >> 16) % data[0] + 1);
    }
    Fuzz::expect(send(far.get(), stream.data() + at, n, MSG_NOSIGNAL) == ssize_t(n), "the chunk is written whole");
    at += n;
    while (open && unread(near) > 0) {
      client->OnSocketEvent(near, POLLIN);
      open = !closed(far);
    }
  }
  Fuzz::expect(open != reading.closes, "the connection closes at the first bad length");
  if (open) {
    Fuzz::expect(client->session() == reading.last_session, "the session follows the last record");
    delete client;
  }
  Fuzz::expect(signals.seen == reading.signals, "the slot reports the records of its session");
  heap.within(64 * 1024, 64, size, "the client");
  return 0;
}
