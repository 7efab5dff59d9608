#include "signalling/isdn/Trace.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "signalling/isdn/Q931Names.h"
#include "signalling/isdn/Reader.h"

namespace ISDN {

char logbuf[logbuf_size];

namespace {

// Appends to a fixed buffer; what does not fit is cut off, and the text
// stays terminated.
class Text {
public:
  Text(char* buffer, size_t size) : buffer_(buffer), size_(buffer ? size : 0) {
    if (size_ > 0) buffer_[0] = '\0';
  }

  void printf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (used_ + 1 >= size_) return;
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(buffer_ + used_, size_ - used_, format, args);
    va_end(args);
    if (n > 0) used_ += size_t(n) < size_ - used_ ? size_t(n) : size_ - used_ - 1;
  }
  // printbits: the bits of the octet from bit `start` (8 = most significant) downwards.
  void bits(uint8_t octet, int start, int count) {
    char text[9];
    int n = 0;
    for (int bit = start; bit > start - count && bit >= 1; --bit) text[n++] = (octet >> (bit - 1)) & 1 ? '1' : '0';
    text[n] = '\0';
    printf("%s", text);
  }
  // The octets as characters; those outside printable ASCII, and the
  // backslash, as \xNN: a NUL or a line end in a number or a display must
  // neither cut the log line short nor start a new one.
  void chars(Reader& in) {
    while (!in.empty()) {
      const uint8_t c = in.u8();
      if (c >= 0x20 && c < 0x7F && c != '\\')
        printf("%c", c);
      else
        printf("\\x%02X", c);
    }
  }
  size_t length() const { return used_; }

private:
  char* buffer_;
  size_t size_;
  size_t used_ = 0;
};

// Octet group letters (Q.931 4.5.1): blank, then a, b, ...
char next_letter(char letter) { return letter == ' ' ? 'a' : letter < 'z' ? char(letter + 1) : 'z'; }

// skipext: past the first octet with bit 8 set, the end of an extended octet group.
void skip_extended(Reader& in) {
  while (!in.empty())
    if (in.u8() & 0x80) return;
}

void print_octet(Text& out, const char* label, uint8_t octet) {
  out.printf("%s", label);
  out.bits(octet, 8, 8);
  out.printf("\n");
}

void print_general(Text& out, Reader& in) {
  int number = 3;
  char letter = ' ';
  while (!in.empty()) {
    const uint8_t octet = in.u8();
    out.printf("    octet %d%c ", number, letter);
    out.bits(octet, 8, 8);
    out.printf("\n");
    if (octet & 0x80) {
      ++number;
      letter = ' ';
    } else {
      letter = next_letter(letter);
    }
  }
}

void print_channel(Text& out, Reader& in) {
  if (!in.empty()) print_octet(out, "    octet 3 ", in.u8());
}

void print_digits(Text& out, Reader& in) {
  out.printf("    number digits ");
  out.chars(in);
  out.printf("\n");
}

void print_called(Text& out, Reader& in) {
  if (in.empty()) return;
  print_octet(out, "    octet 3 ", in.u8());
  print_digits(out, in);
}

void print_calling(Text& out, Reader& in) {
  if (in.empty()) return;
  const uint8_t octet3 = in.u8();
  print_octet(out, "    octet 3 ", octet3);
  if (!(octet3 & 0x80) && !in.empty()) print_octet(out, "    octet 3a ", in.u8());
  print_digits(out, in);
}

// Bits 7-6 of a bearer capability octet 5, 6 or 7: its layer identification.
unsigned layer_of(uint8_t octet) { return (octet >> 5) & 3; }

void print_bearer(Text& out, Reader& in) {
  if (in.empty()) return;
  print_octet(out, "    octet 3  ", in.u8());
  if (in.empty()) return;
  const uint8_t octet4 = in.u8();
  print_octet(out, "    octet 4  ", octet4);
  // Multirate (64 kbit/s base rate) carries the rate multiplier.
  if ((octet4 & 0x1F) == 0x18 && !in.empty()) print_octet(out, "    octet 4.1 ", in.u8());
  if (!in.empty() && layer_of(in.peek()) == 1) {
    char letter = ' ';
    uint8_t octet;
    do {
      octet = in.u8();
      out.printf("    octet 5%c ", letter);
      out.bits(octet, 8, 8);
      out.printf("\n");
      letter = next_letter(letter);
    } while (!(octet & 0x80) && !in.empty());
  }
  if (!in.empty() && layer_of(in.peek()) == 2) print_octet(out, "    octet 6  ", in.u8());
  if (!in.empty() && layer_of(in.peek()) == 3) print_octet(out, "    octet 7  ", in.u8());
}

void print_cause(Text& out, Reader& in) {
  if (in.empty()) return;
  const uint8_t octet3 = in.peek();
  out.printf("    coding ");
  out.bits(octet3, 7, 2);
  out.printf(" location ");
  out.bits(octet3, 4, 4);
  out.printf("\n");
  skip_extended(in);
  if (in.empty()) return;
  const uint8_t value = in.u8() & 0x7F;
  if (const char* name = cause_name(value))
    out.printf("  cause value %x : %s ", value, name);
  else
    out.printf("Unknown cause type %x!", value);
  out.printf("\n");
  // Q.850 diagnostics: attribute, rejected attribute, available attribute.
  while (!in.empty()) {
    out.printf("    diag attribute %d ", in.u8() & 0x7F);
    if (in.empty()) {
      out.printf("\n");
      return;
    }
    const uint8_t rejected = in.u8();
    out.printf(" rej %d ", rejected & 0x7F);
    if (rejected & 0x80) {
      out.printf("\n");
      return;
    }
    if (!in.empty()) out.printf(" av %d", in.u8() & 0x7F);
    out.printf("\n");
  }
}

void print_display(Text& out, Reader& in) {
  out.printf("   \"");
  out.chars(in);
  out.printf("\"\n");
}

void print_facility(Text& out, Reader& in) {
  if (in.empty()) return;
  print_octet(out, "    octet 3 ", in.u8());
  while (!in.empty()) {
    out.printf("   octet 4 ");
    out.bits(in.u8(), 8, 8);
    if (in.empty()) {
      out.printf("\n");
      return;
    }
    const unsigned n = in.u8() & 0x7F;
    out.printf("   octet 5 %d", n);
    out.printf("   contents ");
    Reader contents = in.take(n);
    while (!contents.empty()) out.printf("%2x ", contents.u8());
    out.printf("\n");
  }
}

void print_element(Text& out, ElementPrinter printer, Reader& contents) {
  switch (printer) {
    case ElementPrinter::general: print_general(out, contents); break;
    case ElementPrinter::bearer: print_bearer(out, contents); break;
    case ElementPrinter::cause: print_cause(out, contents); break;
    case ElementPrinter::channel: print_channel(out, contents); break;
    case ElementPrinter::facility: print_facility(out, contents); break;
    case ElementPrinter::display: print_display(out, contents); break;
    case ElementPrinter::calling: print_calling(out, contents); break;
    case ElementPrinter::called: print_called(out, contents); break;
  }
}

// Q.931 4.5.1: single-octet elements, by bits 7-5.
void print_single_octet(Text& out, uint8_t octet) {
  switch ((octet >> 4) & 7) {
    case 1: out.printf("  Shift %x\n", octet & 0x0F); break;
    case 2:
      if (octet == 0xA0) out.printf("  More data\n");
      if (octet == 0xA1) out.printf("  Sending complete\n");
      break;
    case 3: out.printf("  Congestion level %x\n", octet & 0x0F); break;
    case 5: out.printf("  Repeat indicator %x\n", octet & 0x0F); break;
    default: out.printf("  Reserved %x\n", octet); break;
  }
}

void print_q931(Text& out, const uint8_t* message, size_t size) {
  Reader in(message, size);
  const uint8_t discriminator = in.u8();
  if (discriminator != 8) {
    out.printf("Unknown protocol %x!", discriminator);
    return;
  }
  // Q.931 4.3: the length octet, then the call reference; the flag is bit 8 of its first octet.
  Reader reference = in.take(in.u8());
  const uint8_t type = in.u8();
  if (!in.ok()) {
    out.printf("frame too short\n");
    return;
  }
  bool called = false;
  unsigned value = 0;
  if (!reference.empty()) {
    const uint8_t first = reference.u8();
    called = (first & 0x80) != 0;
    value = first & 0x7F;
    while (!reference.empty()) value = value << 8 | reference.u8();
  }
  const char* side = called ? "called" : "caller";
  if (const char* name = message_name(type))
    out.printf("callref %u %s size %d message type %s\n", value, side, int(size), name);
  else
    out.printf("callref %u %s size %d unknown message type %x!\n", value, side, int(size), type);

  while (!in.empty()) {
    const uint8_t id = in.u8();
    if (id & 0x80) {
      print_single_octet(out, id);
      continue;
    }
    const uint8_t length = in.u8();
    Reader contents = in.take(length);
    if (const ElementName* element = element_name(id)) {
      out.printf("  %s\n", element->name);
      print_element(out, element->printer, contents);
    } else {
      out.printf("  attribute %x attribute size %d\n", id, length);
    }
  }
}

}  // namespace

size_t dlogframe(const unsigned char* frame, int length, int to_user, char* text, size_t size) {
  Text out(text, size);
  if (!frame || length < 3) return 0;
  const size_t n = size_t(length);
  for (size_t i = 0; i < n; ++i) out.printf(" %02X", frame[i]);
  out.printf("\n");
  out.printf("frame %s ", to_user ? "network->user" : "user->network");

  const unsigned sapi = frame[0] >> 2;
  const unsigned tei = frame[1] >> 1;
  const uint8_t control = frame[2];
  size_t q931;
  if (tei == 127) {
    if (sapi == 63) {
      out.printf("tei management:\n");
      return out.length();
    }
    if (sapi != 0) {
      out.printf("unknown sapi %d broadcast\n", sapi);
      return out.length();
    }
    if (control != 3) {
      out.printf("no UI broadcast\n");
      return out.length();
    }
    out.printf("broadcast\n");
    q931 = 3;
  } else if (sapi != 0) {
    out.printf("unknown sapi = %d; tei = %d\n", sapi, tei);
    return out.length();
  } else if (control & 1) {
    out.printf("SFrame tei = %d (", tei);
    for (size_t i = 2; i < n; ++i) out.printf("%02X ", frame[i]);
    out.printf(")\n");
    return out.length();
  } else {
    out.printf("IFrame tei = %d\n", tei);
    q931 = 4;
  }
  if (q931 >= n) {
    out.printf("frame too short\n");
    return out.length();
  }
  print_q931(out, frame + q931, n - q931);
  return out.length();
}

}  // namespace ISDN
