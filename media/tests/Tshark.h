#pragma once
// Wireshark's command-line dissector as an independent reader of what we
// put on the wire: datagrams go into a capture file that tshark reads back,
// field by field. Tests skip when tshark (Debian package tshark) is missing.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace Tshark {

using Bytes = std::vector<uint8_t>;

inline bool available() { return std::system("tshark -v > /dev/null 2>&1") == 0; }

// The message a test skips with when tshark is missing.
inline const char* missing() {
  return "tshark is not installed: apt-get install -y tshark (Debian package tshark) to check the wire "
         "format with an independent reader";
}

// A capture file (LINKTYPE_IPV4) of UDP datagrams from 10.0.0.1:port to
// 10.0.0.2:port, one per payload, under $SERVER_ROOT.
inline std::string writeCapture(const std::string& name, uint16_t port, const std::vector<Bytes>& payloads) {
  const char* root = std::getenv("SERVER_ROOT");
  const std::string path = std::string(root ? root : ".") + "/" + name + ".pcap";
  Bytes file;
  auto le32 = [&file](uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
  };
  le32(0xA1B2C3D4);
  le32(0x00040002);  // version 2.4
  le32(0);
  le32(0);
  le32(65535);
  le32(228);
  uint32_t second = 1;
  for (const Bytes& payload : payloads) {
    const unsigned udpLen = 8 + unsigned(payload.size());
    const unsigned ipLen = 20 + udpLen;
    Bytes ip = {0x45, 0, uint8_t(ipLen >> 8), uint8_t(ipLen), 0, 0, 0, 0, 64, 17, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2};
    uint32_t sum = 0;
    for (size_t i = 0; i < ip.size(); i += 2) sum += uint32_t(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = uint8_t(~sum >> 8);
    ip[11] = uint8_t(~sum);
    const Bytes udp = {uint8_t(port >> 8), uint8_t(port), uint8_t(port >> 8), uint8_t(port),
                       uint8_t(udpLen >> 8), uint8_t(udpLen), 0, 0};
    le32(second++);
    le32(0);
    le32(ipLen);
    le32(ipLen);
    file.insert(file.end(), ip.begin(), ip.end());
    file.insert(file.end(), udp.begin(), udp.end());
    file.insert(file.end(), payload.begin(), payload.end());
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return path;
}

// One line per packet: the fields, tab-separated, every occurrence of a
// field joined with ",". `options` go to tshark as they are (decode-as rules).
inline std::vector<std::string> fields(const std::string& capture, const std::string& options,
                                       const std::vector<std::string>& names) {
  std::string command = "tshark -n -r '" + capture + "' " + options +
                        " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
  for (const std::string& name : names) command += " -e " + name;
  command += " 2>/dev/null";
  std::vector<std::string> lines;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
      if (c != '\n') {
        line += char(c);
      } else {
        lines.push_back(line);
        line.clear();
      }
    }
    ::pclose(pipe);
  }
  return lines;
}

}  // namespace Tshark
