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

inline const char* missing() {
  return "tshark is not installed: apt-get install -y tshark (Debian package tshark) to check the wire "
         "format with an independent reader";
}

// A capture file (pcap, LINKTYPE_IPV4) under $SERVER_ROOT of one UDP
// datagram per payload, 10.0.0.1:port to 10.0.0.2:port.
inline std::string writeCapture(const std::string& name, uint16_t port, const std::vector<Bytes>& payloads) {
  Bytes file;
  auto le32 = [&file](uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
  };
  for (uint32_t word : {0xA1B2C3D4u, 0x00040002u, 0u, 0u, 65535u, 228u}) le32(word);
  for (const Bytes& payload : payloads) {
    const unsigned udpLen = 8 + unsigned(payload.size()), ipLen = 20 + udpLen;
    Bytes ip = {0x45,
                0,
                uint8_t(ipLen >> 8),
                uint8_t(ipLen),
                0,
                0,
                0,
                0,
                64,
                17,
                0,
                0,
                10,
                0,
                0,
                1,
                10,
                0,
                0,
                2,
                uint8_t(port >> 8),
                uint8_t(port),
                uint8_t(port >> 8),
                uint8_t(port),
                uint8_t(udpLen >> 8),
                uint8_t(udpLen),
                0,
                0};
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum += uint32_t(ip[i] << 8 | ip[i + 1]);
    sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = uint8_t(~sum >> 8);
    ip[11] = uint8_t(~sum);
    for (uint32_t word : {1u, 0u, ipLen, ipLen}) le32(word);
    file.insert(file.end(), ip.begin(), ip.end());
    file.insert(file.end(), payload.begin(), payload.end());
  }
  const char* root = std::getenv("SERVER_ROOT");
  const std::string path = std::string(root ? root : ".") + "/" + name + ".pcap";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return path;
}

// One line per packet: the fields tab-separated, the occurrences of a field
// joined with ","; `options` go to tshark as they are (decode-as rules).
inline std::vector<std::string> fields(const std::string& capture, const std::string& options,
                                       const std::vector<std::string>& names) {
  std::string command = "tshark -n -r '" + capture + "' " + options + " -T fields -E separator=/t -E aggregator=,";
  for (const std::string& name : names) command += " -e " + name;
  std::vector<std::string> lines(1);
  if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
      if (c == '\n')
        lines.emplace_back();
      else
        lines.back().push_back(char(c));
    }
    ::pclose(pipe);
  }
  lines.pop_back();
  return lines;
}

}  // namespace Tshark
