#pragma once
// The bottom layer of every TCP (or UNIX stream) link: owns a connected,
// non-blocking stream socket, passes up whatever bytes arrive and writes
// whole packets. Any socket failure closes the socket and climbs to the
// stack's owner as an error status.

#include <iosfwd>
#include <string>

#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Measure.h"
#include "foundation/os/Fd.h"
#include "foundation/protocol/Protocol.h"

class StrmProtocol : public Protocol {
public:
  StrmProtocol();
  explicit StrmProtocol(const Fd& fd);
  ~StrmProtocol() override;

  // Holds a duplicate of the socket, not yet watched.
  void attach(const Fd& fd);
  // Stops watching and closes the socket, when one is held.
  void release();

  void local_activate() override;
  void local_deactivate() override;
  // Writes the whole packet, waiting at most 1000 ms for a full send buffer.
  void message(Packet& p) override;

  void on_event(int fd, short revents);

  // Socket figures for log lines; a failed query gives 0.
  int sendbuf_space() const;
  int recvbuf_space() const;
  int inq_space() const;
  int outq_space() const;
  int free_space() const;

  void service_name(const std::string& name) { name_ = name; }
  const std::string& service_name() const { return name_; }
  // "SockStream[<name>]: "
  void PutHeader(std::ostream& os) const;

  const Fd& fd() const { return fd_; }
  // Write errors and write timeouts since construction.
  unsigned overflow_counter() const { return overflow_; }
  const Measure& read_measure() const { return read_; }
  const Measure& write_measure() const { return write_; }

private:
  void do_read();
  void on_error(const std::string& text);
  void report_write_failure(const char* what, int error);

  Fd fd_;
  // Whether the send queue was non-empty right after attach; decides how
  // free_space is computed.
  bool outqNonzero_ = false;
  std::string name_;
  Event event_;
  Measure read_;
  Measure write_;
  unsigned overflow_ = 0;
};
