#include "bench/soak/SoakController.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "asn1/CoderEnv.h"
#include "asn1/modules/LGCP.h"

bool SoakController::connect(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  for (int attempt = 0; attempt < 300; ++attempt) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
    close();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void SoakController::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  in_.clear();
}

std::string SoakController::command(const std::string& message) {
  auto known = frames_.find(message);
  if (known == frames_.end()) known = frames_.emplace(message, frame(message)).first;
  const std::string& bytes = known->second;
  if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size())) return "";
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  for (std::string payload; next(payload, deadline);) {
    LGCP::Message reply;
    if (!ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(payload.data(), payload.data() + payload.size(), reply))
      return "undecodable";
    if (reply.get_pdu().currentSelection() != LGCP::PDU::e_response) {
      ++signals_;
      continue;
    }
    const LGCP::Response& response = reply.get_pdu().get_response();
    return response.currentSelection() == LGCP::Response::e_success ? "success" : response.get_error().getName();
  }
  return "";
}

std::string SoakController::frame(const std::string& message) {
  LGCP::Message msg;
  std::vector<char> out;
  if (!msg.setFromValueNotation(message) || ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, out) < 0) {
    std::cerr << "soak: cannot encode " << message << std::endl;
    std::exit(2);
  }
  // TPKT: version 3, a reserved byte, the length with the header.
  const size_t length = out.size() + 4;
  return std::string{3, 0, char(length >> 8), char(length & 0xFF)} + std::string(out.begin(), out.end());
}

bool SoakController::next(std::string& payload, Clock::time_point deadline) {
  for (;;) {
    if (in_.size() >= 4) {
      const size_t length = size_t(uint8_t(in_[2])) << 8 | uint8_t(in_[3]);
      if (length >= 4 && in_.size() >= length) {
        payload = in_.substr(4, length - 4);
        in_.erase(0, length);
        return true;
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd_, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, int(left)) <= 0) return false;
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    in_.append(buf, size_t(n));
  }
}
