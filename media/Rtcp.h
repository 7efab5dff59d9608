#pragma once
// The RTCP packets an RTP session sends (RFC 3550 6): one source
// description when it starts and one BYE when it ends. Nothing is received.

#include <cstdint>
#include <string>
#include <vector>

namespace RTPC {

class Msg {
public:
  virtual ~Msg() = default;
  // Packet type of the common header.
  virtual unsigned pt() const = 0;
  // The five-bit count of the common header.
  virtual unsigned count() const = 0;
  // Writes the packet after the common header, padded to a 32-bit boundary
  // within `size`: the octets written, 0 when it does not fit.
  virtual unsigned encode_body(char* buf, unsigned size) const = 0;

  // The whole packet: its length in octets (a multiple of 4, never above
  // `size`), or 0 when `size` is below 8. Nothing is written past `size`.
  unsigned encode(char* buf, unsigned size) const;
};

// Source description (RFC 3550 6.5) of one source.
class SDES : public Msg {
public:
  struct Item {
    enum Type { END = 0, CNAME = 1, NAME = 2, EMAIL = 3, PHONE = 4, LOC = 5, TOOL = 6, NOTE = 7, PRIV = 8 };
    Type type;
    std::string text;
  };

  explicit SDES(uint32_t ssrc) : ssrc_(ssrc) {}
  // Appends an item; a text above 255 octets is sent as its first 255.
  void add(Item::Type type, const std::string& text);

  unsigned pt() const override { return 202; }
  unsigned count() const override { return 1; }
  // The items in order while each still fits with the list's end and padding.
  unsigned encode_body(char* buf, unsigned size) const override;

private:
  uint32_t ssrc_;
  std::vector<Item> items_;
};

// Goodbye (RFC 3550 6.6) of one source.
class BYE : public Msg {
public:
  BYE(uint32_t ssrc, std::string reason) : ssrc_(ssrc), reason_(std::move(reason)) {}

  unsigned pt() const override { return 203; }
  unsigned count() const override { return 1; }
  // The reason cut to 255 octets and to the room left.
  unsigned encode_body(char* buf, unsigned size) const override;

private:
  uint32_t ssrc_;
  std::string reason_;
};

}  // namespace RTPC
