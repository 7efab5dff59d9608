// The ED-137 radio signalling block as received, read as a TX and as an RX
// header: an accepted block packs again, and that packs to the same octets
// once unpacked. Unpacking fills a fixed record and takes no heap.
#include <cstring>
#include <vector>

#include "fuzz/Fuzz.h"
#include "radio/R2sProto.h"

namespace {

using Unpack = int (*)(r2s_proto*, const unsigned char*, int);
using Pack = int (*)(const r2s_proto*, unsigned char*, int);

// Two header octets and 16 blocks of at most 16 octets.
constexpr int room = 2 + 16 * 16;

std::vector<unsigned char> repack(const r2s_proto& p, Pack pack) {
  std::vector<unsigned char> out(room);
  const int n = pack(&p, out.data(), room);
  Fuzz::expect(n > 0 && n <= room, "an unpacked block packs again");
  out.resize(size_t(n));
  return out;
}

void roundTrip(Unpack unpack, Pack pack, const uint8_t* data, size_t size) {
  // A copy of just the input's length, so any read past it shows.
  std::vector<unsigned char> in(data, data + size);
  r2s_proto p;
  r2s_proto_init(&p, R2S_PROTO_NONE);
  Fuzz::HeapWatch heap;
  const int result = unpack(&p, in.data(), int(in.size()));
  heap.within(0, 0, size, "unpacking");
  if (result < 0) return;
  Fuzz::expect(p.count <= R2S_PROTO_MAX_BLOCKS, "at most 16 blocks");
  const std::vector<unsigned char> once = repack(p, pack);
  r2s_proto again;
  r2s_proto_init(&again, R2S_PROTO_NONE);
  Fuzz::expect(unpack(&again, once.data(), int(once.size())) >= 0, "the packed block unpacks");
  Fuzz::expect(repack(again, pack) == once, "the block unpacked again packs the same");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  roundTrip(r2s_proto_unpack_tx, r2s_proto_pack_tx, data, size);
  roundTrip(r2s_proto_unpack_rx, r2s_proto_pack_rx, data, size);
  return 0;
}
