// LEMZ radio packets as received: the unpacker leaves the record alone when
// it refuses a packet; an accepted packet packs again and unpacks to the
// same; its state, mapped as a radio controller does, gives the controller a
// request that encodes. Unpacking fills a fixed record and takes no heap.
#include <cstring>
#include <vector>

#include "asn1/CoderEnv.h"
#include "asn1/modules/TERM.h"
#include "fuzz/Fuzz.h"
#include "radio/LemzRadioMapping.h"
#include "radio/SigProto.h"

namespace {

namespace Map = RTPSignalling::LemzRadioMapping;

// The longest layout: WM_SEL_CALL_TRANS with 255 caller ID octets.
constexpr int room = 20 + 255;

std::vector<unsigned char> repack(const sig_proto& p) {
  std::vector<unsigned char> out(room);
  const int n = sig_proto_pack(&p, out.data(), room);
  Fuzz::expect(n > 0 && n <= room, "an unpacked packet packs again");
  out.resize(size_t(n));
  return out;
}

void report(const sig_proto& p) {
  RTPSignalling::LemzRadioState s;
  if (Map::DecodeProto(p, s) != 0) return;
  RTPSignalling::LemzRadioState chan;
  Map::PutProtoFromChanToRadio(chan, s);
  TERM::RtpRadioRequest request;
  if (Map::EncodeASN(chan, s, request) != 0) return;
  std::vector<char> octets;
  Fuzz::expect(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(request, octets) > 0, "the request encodes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> in(data, data + size);
  sig_proto p;
  sig_proto_init(&p);
  sig_proto before = p;
  Fuzz::HeapWatch heap;
  const int result = sig_proto_unpack(&p, in.data(), int(in.size()));
  heap.within(0, 0, size, "unpacking");
  if (result < 0) {
    if (result == -ENOEXEC) before.type = p.type;
    Fuzz::expect(std::memcmp(&before, &p, sizeof p) == 0, "a refused packet leaves the record as it was");
    return 0;
  }
  const std::vector<unsigned char> once = repack(p);
  sig_proto again;
  sig_proto_init(&again);
  Fuzz::expect(sig_proto_unpack(&again, once.data(), int(once.size())) >= 0, "the packed packet unpacks");
  Fuzz::expect(repack(again) == once, "the packet unpacked again packs the same");
  report(p);
  return 0;
}
