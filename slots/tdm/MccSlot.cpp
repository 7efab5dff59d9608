#include "slots/tdm/MccSlot.h"

#include <fcntl.h>
#include <poll.h>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/dev/Mcc.h"
#include "foundation/os/Ext.h"
#include "hardware/MccChannel.h"

namespace {

namespace Ctl = Board::Dev::Mcc;

// Channel types by the controller's type code.
constexpr uint32_t TypeCodes[] = {Ctl::Data, Ctl::Bri, Ctl::Transparent};

}  // namespace

MccSlot::MccSlot(const Fd& fd, int channel) : OneChannelSlot(channel) {
  event.Bind("MccSlot::OnEvent", &MccSlot::OnEvent, this);
  event.Schedule(fd, POLLIN);
}

bool MccSlot::IUserData(const std::vector<char>& data) {
  const ssize_t n = Board::write(event.fd().get(), data.data(), data.size());
  if (n < 0) {
    std::cerr << "mcc: slot " << *this << " write fail: " << std::strerror(errno) << std::endl;
  } else if (size_t(n) != data.size()) {
    std::cerr << "mcc: slot " << *this << " short write: " << n << " of " << data.size() << std::endl;
  }
  return true;
}

void MccSlot::OnEvent(int, short revents) {
  const bool alive = !(revents & POLLIN) || DoRead();
  if (alive && !(revents & (POLLERR | POLLHUP | POLLNVAL))) return;
  // A dead descriptor would keep the loop spinning: stop watching it.
  std::cerr << "mcc: slot " << *this << " channel closed" << std::endl;
  event.Release();
}

bool MccSlot::DoRead() {
  char buf[ReadSize];
  for (;;) {
    const ssize_t n = Board::read(event.fd().get(), buf, sizeof buf);
    if (n > 0) {
      OnUserData(std::vector<char>(buf, buf + n));
    } else if (n == 0) {
      return false;
    } else if (errno != EINTR) {
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
  }
}

MccFactory& MccFactory::instance() {
  static MccFactory factory;
  return factory;
}

Slot* MccFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_mcc) return nullptr;
  MccChannel channel = MccChannel::open(O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (!channel) {
    std::cerr << ext::header(this) << "fail to open MCC device: " << std::strerror(channel.error) << std::endl;
    return nullptr;
  }
  const LGCP::MccParams& mcc = params.get_mcc();
  const unsigned type = unsigned(mcc.get_type().getValue());
  if (type >= sizeof TypeCodes / sizeof TypeCodes[0]) return nullptr;
  const uint32_t code = mcc.get_mode().getValue() == LGCP::MccMode::ss7 ? uint32_t(Ctl::Ss7) : TypeCodes[type];
  std::clog << ext::header(this) << "MCC_ALLOCATE"
            << " type=" << code << std::endl;

  channel.allocate({code, 512, 1, 1});
  if (!channel) {
    std::cerr << ext::header(this) << channel.failure("", "MCC_ALLOCATE fail: ", "timeslot query fail: ")
              << std::strerror(channel.error) << std::endl;
    return nullptr;
  }
  return new MccSlot(channel.fd, channel.timeslot);
}

void MccFactory::PutHeader(std::ostream& out) const { out << "mcc: "; }

void MccFactory::Query(LGCP::Resources& resources) {
  const MccChannel::FreeChannels free = MccChannel::freeChannels();
  resources.set_mcc_data(free.data);
  resources.set_mcc_bri(free.bri);
  resources.set_mcc_trans(free.transparent);
}
