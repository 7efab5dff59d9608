#include "signalling/isdn/Q931Names.h"

#include <cstddef>

namespace ISDN {

namespace {

struct CodeName {
  uint8_t code;
  const char* name;
};

// Q.931 Table 4-2.
const CodeName messages[] = {
    {0x01, "ALERTING"},
    {0x02, "CALL PROCEEDING"},
    {0x07, "CONNECT"},
    {0x0F, "CONNECT ACKNOWLEDGE"},
    {0x03, "PROGRESS"},
    {0x05, "SETUP"},
    {0x0D, "SETUP ACKNOWLEDGE"},
    {0x24, "HOLD"},
    {0x28, "HOLD ACKNOWLEDGE"},
    {0x30, "HOLD REJECT"},
    {0x31, "RETRIEVE"},
    {0x33, "RETRIEVE ACKNOWLEDGE"},
    {0x37, "RETRIEVE REJECT"},
    {0x26, "RESUME"},
    {0x2E, "RESUME ACKNOWLEDGE"},
    {0x22, "RESUME REJECT"},
    {0x25, "SUSPEND"},
    {0x2D, "SUSPEND ACKNOWLEDGE"},
    {0x21, "SUSPEND REJECT"},
    {0x20, "USER INFORMATION"},
    {0x45, "DISCONNECT"},
    {0x4D, "RELEASE"},
    {0x5A, "RELEASE COMPLETE"},
    {0x46, "RESTART"},
    {0x4E, "RESTART ACKNOWLEDGE"},
    {0x60, "SEGMENT"},
    {0x79, "CONGESTION CONTROL"},
    {0x7B, "INFORMATION"},
    {0x62, "FACILITY"},
    {0x6E, "NOTIFY"},
    {0x7D, "STATUS"},
    {0x75, "STATUS ENQUIRY"},
};

// Q.931 Table 4-3, variable-length elements of codeset 0.
const ElementName elements[] = {
    {0x00, "Segmented message", ElementPrinter::general},
    {0x04, "Bearer capability", ElementPrinter::bearer},
    {0x08, "Cause", ElementPrinter::cause},
    {0x10, "Call identity", ElementPrinter::general},
    {0x14, "Call state", ElementPrinter::general},
    {0x18, "Channel identification", ElementPrinter::channel},
    {0x1C, "Facility", ElementPrinter::facility},
    {0x1E, "Progress indicator", ElementPrinter::general},
    {0x20, "Network-specific facilities", ElementPrinter::general},
    {0x27, "Notification indicator", ElementPrinter::general},
    {0x28, "Display", ElementPrinter::display},
    {0x29, "Date/Time", ElementPrinter::general},
    {0x2C, "Keypad facility", ElementPrinter::general},
    {0x34, "Signal", ElementPrinter::general},
    {0x40, "Information rate", ElementPrinter::general},
    {0x42, "End-to-end delay", ElementPrinter::general},
    {0x43, "Transit delay selection and indication", ElementPrinter::general},
    {0x44, "Packet layer binary parameters", ElementPrinter::general},
    {0x45, "Packet layer window size", ElementPrinter::general},
    {0x46, "Packet size", ElementPrinter::general},
    {0x47, "Closed user group", ElementPrinter::general},
    {0x4A, "Reverse charge indication", ElementPrinter::general},
    {0x6C, "Calling party number", ElementPrinter::calling},
    {0x6D, "Calling party subaddress", ElementPrinter::general},
    {0x70, "Called party number", ElementPrinter::called},
    {0x71, "Called party subaddress", ElementPrinter::general},
    {0x74, "Redirecting number", ElementPrinter::general},
    {0x78, "Transit network selection", ElementPrinter::general},
    {0x79, "Restart indicator", ElementPrinter::general},
    {0x7C, "Low layer compatibility", ElementPrinter::general},
    {0x7D, "High layer compatibility", ElementPrinter::general},
    {0x7E, "User-user", ElementPrinter::general},
    {0x7F, "Escape for extension", ElementPrinter::general},
};

// Q.850 Table 1. Two names end in a blank, as the trace has always printed them.
const CodeName causes[] = {
    {0x01, "Unallocated (unassigned) number"},
    {0x02, "No route to specified transit network"},
    {0x03, "No route to destination"},
    {0x04, "Send special information tone"},
    {0x05, "Misdialled trunk prefix"},
    {0x06, "Channel unacceptable"},
    {0x07, "Channel awarded and being delivered in an established channel"},
    {0x08, "Preemption"},
    {0x09, "Preemption - circuit reserved for reuse"},
    {0x10, "Normal call clearing"},
    {0x11, "User busy"},
    {0x12, "No user responding"},
    {0x13, "No answer from user (user alerted)"},
    {0x14, "Subscriber absent"},
    {0x15, "Call rejected"},
    {0x16, "Number changed"},
    {0x1A, "non-selected user clearing"},
    {0x1B, "Destination out of order"},
    {0x1C, "Invalid number format (address incomplete)"},
    {0x1D, "Facility rejected"},
    {0x1E, "Response to Status enquiry"},
    {0x1F, "Normal, unspecified"},
    {0x22, "No circuit/channel available"},
    {0x26, "Network out of order"},
    {0x27, "Permanent frame mode connection out-of-service"},
    {0x28, "Permanent frame mode connection operational"},
    {0x29, "Temporary failure"},
    {0x2A, "Switching equipment congestion"},
    {0x2B, "Access information discarded"},
    {0x2C, "Requested circuit/channel not available"},
    {0x2E, "Precedence call blocked"},
    {0x2F, "Resource unavailable, unspecified"},
    {0x31, "Quality of service unavailable"},
    {0x32, "Requested facility not subscribed"},
    {0x35, "Outgoing calls barred within CUG"},
    {0x37, "Incoming calls barred within CUG"},
    {0x39, "Bearer capability not authorized"},
    {0x3A, "Bearer capability not presently available"},
    {0x3E, "Inconsistency in designated outgoing access information and subscriber class "},
    {0x3F, "Service or option not available, unspecified"},
    {0x41, "Bearer capability not implemented"},
    {0x42, "Channel type not implemented"},
    {0x45, "Requested facility not implemented"},
    {0x46, "Only restricted digital information bearer capability is available"},
    {0x4F, "Service or option not implemented"},
    {0x51, "Invalid call reference value"},
    {0x52, "Identified channel does not exist"},
    {0x53, "A suspended call exists, but this call identity does not"},
    {0x54, "Call identity in use"},
    {0x55, "No call suspended"},
    {0x56, "Call having the requested call identity has been cleared"},
    {0x57, "User not member of CUG"},
    {0x58, "Incompatible destination"},
    {0x5A, "Non-existent CUG"},
    {0x5B, "Invalid transit network selection"},
    {0x5F, "Invalid message, unspecified"},
    {0x60, "Mandatory information element is missing"},
    {0x61, "Message type non-existent or not implemented"},
    {0x62, "Message not compatible with call state or message type non-existent or not implemented "},
    {0x63, "Information element/parameter non-existent or not implemented"},
    {0x64, "Invalid information element contents"},
    {0x65, "Message not compatible with call state"},
    {0x66, "Recovery on timer expiry"},
    {0x67, "Parameter non-existent or not implemented - passed on"},
    {0x6E, "Message with unrecognized parameter discarded"},
    {0x6F, "Protocol error, unspecified"},
    {0x7F, "Interworking, unspecified"},
};

template <class T, size_t N>
const T* find(const T (&table)[N], uint8_t code) {
  for (const T& row : table)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

const char* message_name(uint8_t type) {
  const CodeName* row = find(messages, type);
  return row ? row->name : nullptr;
}

const ElementName* element_name(uint8_t id) {
  for (const ElementName& row : elements)
    if (row.id == id) return &row;
  return nullptr;
}

const char* cause_name(uint8_t value) {
  const CodeName* row = find(causes, value);
  return row ? row->name : nullptr;
}

}  // namespace ISDN
