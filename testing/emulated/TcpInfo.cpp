// Preloaded into the programs the tests run under qemu-user (7.2), never
// linked into anything: the emulator answers getsockopt(TCP_INFO) with 4
// bytes, converted as if they were one int, so on a big-endian target the
// state in the first byte reads as the last and a connection in
// TCP_ESTABLISHED looks closed. The bytes come back in the order the kernel
// wrote them; a full answer (the board's kernel gives one) is left alone.
// LD_PRELOAD leaves the environment here: programs of the host that a test
// starts would refuse the library loudly, and the programs of this build it
// starts get it again from the emulator's command line.

#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

using GetSockOpt = int (*)(int, int, int, void*, socklen_t*);

__attribute__((constructor)) void leaveTheEnvironment() { ::unsetenv("LD_PRELOAD"); }

}  // namespace

extern "C" int getsockopt(int fd, int level, int name, void* value, socklen_t* size) {
  static const GetSockOpt next = reinterpret_cast<GetSockOpt>(::dlsym(RTLD_NEXT, "getsockopt"));
  const socklen_t asked = size ? *size : 0;
  const int result = next(fd, level, name, value, size);
  if (result == 0 && level == IPPROTO_TCP && name == TCP_INFO && asked > sizeof(uint32_t) &&
      *size == sizeof(uint32_t)) {
    uint8_t* bytes = static_cast<uint8_t*>(value);
    std::reverse(bytes, bytes + sizeof(uint32_t));
  }
  return result;
}
