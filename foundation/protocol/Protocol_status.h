#pragma once
// Protocol layers report success and failure up and down the stack with
// counted status objects instead of exceptions.

#include <iosfwd>
#include <string>

#include "foundation/packet/Smart_pointer.h"

class Protocol;

class Internal_protocol_status {
public:
  Internal_protocol_status(Protocol* protocol, std::string text) : protocol_(protocol), text_(std::move(text)) {}
  Internal_protocol_status(const Internal_protocol_status&) = delete;
  Internal_protocol_status& operator=(const Internal_protocol_status&) = delete;
  virtual ~Internal_protocol_status() = default;

  virtual bool success() const = 0;
  virtual std::string message() const { return text_; }
  virtual void out(std::ostream& os) const;

  // The layer that produced the status.
  Protocol* protocol() const { return protocol_; }
  unsigned& counter() { return count_; }

private:
  Protocol* protocol_;
  unsigned count_ = 0;
  std::string text_;
};

using Protocol_status = Smart_pointer<Internal_protocol_status>;

class Protocol_status_success : public Internal_protocol_status {
public:
  using Internal_protocol_status::Internal_protocol_status;
  bool success() const override { return true; }
};

class Protocol_status_error : public Internal_protocol_status {
public:
  using Internal_protocol_status::Internal_protocol_status;
  bool success() const override { return false; }
};

class Protocol_initialize_error : public Protocol_status_error {
public:
  using Protocol_status_error::Protocol_status_error;
};
