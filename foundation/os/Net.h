#pragma once
// The host's name and IPv4 interfaces. The interfaces are asked through the
// board layer, so on the simulated board they are its network-interface model.

#include <list>
#include <string>

#include "foundation/os/INet4.h"

namespace Net {

// Interface selection bits; 0 takes every IPv4 interface, otherwise an
// interface is taken when any given bit matches.
using ifconfig_mode_t = unsigned;
constexpr ifconfig_mode_t ifAll = 0;
constexpr ifconfig_mode_t ifNotLoopback = 1;  // name other than "lo", any case
constexpr ifconfig_mode_t ifLinkLocal = 2;    // 169.254.0.0/16
constexpr ifconfig_mode_t ifPrivate = 4;      // 10/8, 172.16/12, 192.168/16

// "" when the name cannot be read.
std::string hostname();
int hostname(const std::string& name);

// Append the selected interfaces' addresses (or names, of interfaces whose
// flags hold all of requiredFlags) in the kernel's order. The number
// appended, or -1 when the interfaces cannot be listed.
int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode);
int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, unsigned requiredFlags);

}  // namespace Net
