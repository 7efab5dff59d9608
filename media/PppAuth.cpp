#include "media/PppAuth.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

using namespace PppAuth;

namespace {

// inet_addr() keeps the address in network order: its bytes go out as they lie.
uint32_t address(const std::string& dotted) { return ntohl(::inet_addr(dotted.c_str())); }

std::string text(Board::RecordReader& in, Board::Bytes run) {
  char buf[64] = {};
  in.bytes(run, buf);
  return std::string(buf, strnlen(buf, std::min(sizeof buf, run.size)));
}

voacct::Counter counter(Board::RecordReader& in, size_t at) {
  return {in.get(Board::Field<uint32_t>{at}), in.get(Board::Field<uint32_t>{at + 4})};
}

}  // namespace

attr::attr(const uint8_t* data, size_t size) : size_(std::min(size, MaxLength)) {
  std::memcpy(bytes_.data(), data, size_);
}

attr attr::withHeader(size_t length, uint32_t type, int32_t session) {
  attr record;
  record.size_ = length;
  Board::RecordWriter out = record.writer();
  out.put(Header::Length, uint32_t(length));
  out.put(Header::Type, type);
  out.put(Header::Session, session);
  return record;
}

attr attr::accept(int32_t session) {
  attr record = withHeader(AcceptRecord::Size, Accept, session);
  record.writer().put(AcceptRecord::Result, AcceptRecord::Accepted);
  return record;
}

attr attr::ip(int32_t session, const std::string& remote, const std::string& netmask, const std::string& gateway,
              const std::string& dns, int32_t mtu) {
  attr record = withHeader(IpRecord::Size, Ip, session);
  Board::RecordWriter out = record.writer();
  out.put(IpRecord::Reserved, 0);
  out.put(IpRecord::RemoteAddress, address(remote));
  out.put(IpRecord::Netmask, address(netmask));
  out.put(IpRecord::Gateway, address(gateway));
  out.put(IpRecord::Dns, address(dns));
  out.put(IpRecord::Mtu, mtu);
  return record;
}

uint32_t attr::type() const { return reader().get(Header::Type); }

int32_t attr::session() const { return reader().get(Header::Session); }

voauth::voauth(const attr& record) {
  Board::RecordReader in = record.reader();
  username = text(in, RequestRecord::UserName);
  password = text(in, RequestRecord::Password);
}

voacct::voacct(const attr& record) {
  Board::RecordReader in = record.reader();
  octetsOut = counter(in, AccountingRecord::OctetsOut);
  octetsIn = counter(in, AccountingRecord::OctetsIn);
  packetsOut = counter(in, AccountingRecord::PacketsOut);
  packetsIn = counter(in, AccountingRecord::PacketsIn);
  time = in.get(AccountingRecord::Time);
}
