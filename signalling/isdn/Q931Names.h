#pragma once
// The names the frame trace prints for Q.931 message types, information
// elements and Q.850 cause values: static tables, searched in their order.

#include <cstdint>

namespace ISDN {

// How the trace prints the contents of an information element.
enum class ElementPrinter : uint8_t { general, bearer, cause, channel, facility, display, calling, called };

struct ElementName {
  uint8_t id;
  const char* name;
  ElementPrinter printer;
};

// Null when the type, identifier or value is not listed.
const char* message_name(uint8_t type);
const ElementName* element_name(uint8_t id);
const char* cause_name(uint8_t value);

}  // namespace ISDN
