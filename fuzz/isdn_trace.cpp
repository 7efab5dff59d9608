// The D-channel frame trace. The first octet gives the direction (bit 0)
// and the size of the text buffer (the other bits, 9 characters a step: 0
// to 1143), the rest is the frame, which like the buffer lies in a heap
// block of exactly its size. The text ends where the count says, within
// the buffer; a smaller buffer holds the start of the text a large one
// takes; a frame shorter than 3 octets gives none; the trace takes no heap.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/Fuzz.h"
#include "signalling/isdn/Trace.h"

namespace {

// Room for any frame a D channel carries.
constexpr size_t whole = 64 * 1024;
char reference[whole];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int to_user = data[0] & 1;
  const size_t room = size_t(data[0] >> 1) * 9;
  const unsigned char* frame = data + 1;
  const int length = int(size - 1);

  const size_t full = ISDN::dlogframe(frame, length, to_user, reference, whole);
  Fuzz::expect(full < whole && std::strlen(reference) == full, "the text ends where the count says");
  Fuzz::expect(full > 0 || length < 3, "a frame of 3 octets or more gives a text");

  std::unique_ptr<char[]> text(new char[room ? room : 1]);
  text[0] = '#';
  Fuzz::HeapWatch heap;
  const size_t n = ISDN::dlogframe(frame, length, to_user, text.get(), room);
  heap.within(0, 0, size, "the trace");
  if (room == 0) {
    Fuzz::expect(n == 0 && text[0] == '#', "no room, nothing written");
    return 0;
  }
  Fuzz::expect(n == std::min(full, room - 1) && text[n] == '\0', "the text is cut to the buffer and terminated");
  Fuzz::expect(std::memcmp(text.get(), reference, n) == 0, "a smaller buffer holds the start of the text");
  return 0;
}
