#pragma once
// Octet strings written as hexadecimal text in the tests ("03 54 09 65").

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  for (std::string octet; in >> octet;) out.push_back(uint8_t(std::strtoul(octet.c_str(), nullptr, 16)));
  return out;
}

// Calls `unpack` with every length 0..1024 on octets of exactly that length
// (so the sanitizers see any read past them), random or starting with each
// of `leads` as the first octet.
template <class Unpack>
void feedEveryLength(const Bytes& leads, Unpack unpack) {
  std::mt19937 random(1024);
  for (int len = 0; len <= 1024; ++len) {
    for (int round = 0; round < 4 + int(leads.size()); ++round) {
      std::unique_ptr<uint8_t[]> buf(new uint8_t[size_t(len)]);
      for (int i = 0; i < len; ++i) buf[size_t(i)] = uint8_t(random());
      if (len > 0 && round < int(leads.size())) buf[0] = leads[size_t(round)];
      unpack(buf.get(), len);
    }
  }
}
