#pragma once
// The board's network interfaces, as the interface requests on a socket see
// them (Board::interfaceIoctl): each with its name, index, IPv4 address and
// flags. At power-on the board has the loop-back interface only; a test adds
// the interfaces it needs. No path opens this model: its name reaches it.
// A generic-HDLC interface (a digital modem) also has its TDM channel and
// the protocol SIOCWANDEV switched it to; its protocol cannot change while
// it is up, as the kernel refuses.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/Device.h"

namespace Board {
namespace Sim {

class NetInterfaces : public Device {
public:
  static constexpr const char* Name = "net";

  struct Interface {
    std::string name;
    int index;
    uint32_t address;       // host order; 0 for none
    uint16_t flags;         // IFF_UP, IFF_RUNNING, ...
    int32_t channel = -1;   // a generic-HDLC interface's TDM channel; -1 for other kinds
    uint32_t protocol = 0;  // Dev::HdlcIface::ProtoHdlc or ProtoPpp
  };

  NetInterfaces();

  // The size of the system's record a request takes (struct ifconf or struct ifreq).
  static size_t argumentSize(unsigned long request);

  // By index.
  const std::vector<Interface>& interfaces() const { return interfaces_; }
  // Adds the interface (at the lowest free index), or changes its address and flags.
  void set(const std::string& name, uint32_t address, uint16_t flags);
  bool remove(const std::string& name);
  // Makes the interface a generic-HDLC one on that TDM channel, in HDLC mode; false when there is none.
  bool makeWan(const std::string& name, int32_t channel);

protected:
  void resetState() override;

private:
  static const Answer<NetInterfaces> requestTable[];
  static const Control<NetInterfaces> commandTable[];

  Interface* byName(const Call& call);
  int listInterfaces(Call& call);
  int getAddress(Call& call);
  int getFlags(Call& call);
  int getName(Call& call);
  int getIndex(Call& call);
  int setFlags(Call& call);
  int wanDevice(Call& call);
  void showInterfaces(Args& args, Reply& reply);
  void addInterface(Args& args, Reply& reply);
  void removeInterface(Args& args, Reply& reply);
  void wanInterface(Args& args, Reply& reply);

  std::vector<Interface> interfaces_;
};

}  // namespace Sim
}  // namespace Board
