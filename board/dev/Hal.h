#pragma once
// The board-control device "/dev/hal". It carries unrelated functions, each
// with requests of its own: the TDM switch, the TDM clock source, SPI access
// to the registers of the eight BRI line interface chips, and the panel (DIP
// switches, power supplies, front-panel LEDs).

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Hal {

constexpr const char* Path = Paths::Hal;

// The TDM switch. Channels below FirstBusChannel are trunk side (E1 trunk n
// timeslot t is 32n + t); bus b timeslot t is FirstBusChannel + 128b + t.
namespace Switch {
constexpr int32_t FirstBusChannel = 8192;
constexpr unsigned Buses = 16;
constexpr unsigned BusTimeslots = 128;
constexpr unsigned BusChannels = Buses * BusTimeslots;
// Every channel the switch knows.
constexpr int32_t Channels = FirstBusChannel + int32_t(BusChannels);

// Two words: the channel (an output, or the channel read), then the source
// channel, the byte driven, or the byte read back.
namespace Record {
constexpr size_t Size = 8;
constexpr Field<int32_t> Channel{0};
constexpr Field<int32_t> Word{4};
}  // namespace Record

constexpr uint32_t Connect = Request::iow('M', 2, Record::Size);
// Takes the channel word only.
constexpr uint32_t Disable = Request::iow('M', 3, 4);
constexpr uint32_t Write = Request::iowr('M', 4, Record::Size);
constexpr uint32_t Read = Request::iowr('M', 5, Record::Size);
}  // namespace Switch

// The TDM clock source: one word, the source number.
namespace Clock {
namespace Record {
constexpr size_t Size = 4;
constexpr Field<int32_t> Source{0};
}  // namespace Record

constexpr uint32_t Select = Request::iow('C', 1, Record::Size);

// Sources 0..3 are the E1 trunks' clocks.
constexpr int32_t FreeRun = 4;
constexpr int32_t X3 = 5;
}  // namespace Clock

// SPI register access to the BRI line interface chips: a record of three
// bytes; a read answers the register's byte as the request's result.
namespace Spi {
constexpr unsigned Interfaces = 8;
constexpr unsigned Registers = 256;

namespace Record {
constexpr size_t Size = 3;
constexpr Field<uint8_t> Interface{0};
constexpr Field<uint8_t> Address{1};
constexpr Field<uint8_t> Data{2};
}  // namespace Record

constexpr uint32_t ReadRegister = Request::iowr('B', 3, Record::Size);
constexpr uint32_t WriteRegister = Request::iowr('B', 4, Record::Size);

// Registers of a line interface chip.
constexpr uint8_t PowerDown = 0x32;
constexpr uint8_t Status = 0x33;
constexpr uint8_t ClockSelect = 0x57;

// Bits of the status register.
constexpr uint8_t Carrier = 0x01;
constexpr uint8_t BasicFrame = 0x04;
constexpr uint8_t Slip = 0x20;
// The alarm bits read NoAlarm, RemoteAlarm (RAI), or anything else (AIS).
constexpr uint8_t AlarmBits = 0xC0;
constexpr uint8_t NoAlarm = 0xC0;
constexpr uint8_t RemoteAlarm = 0x80;
constexpr uint8_t AlarmIndication = 0x40;
}  // namespace Spi

// The panel: each request moves one byte through its record, read back after
// the call (the DIP switches, the raw power-supply state) or given (the LEDs).
namespace Panel {
namespace Record {
constexpr size_t Size = 1;
constexpr Field<uint8_t> Byte{0};
}  // namespace Record

constexpr uint32_t ReadDip = Request::iowr('B', 5, Record::Size);
constexpr uint32_t ReadPower = Request::iowr('B', 6, Record::Size);
constexpr uint32_t WriteLeds = Request::iowr('B', 7, Record::Size);

// Two LED bits per E1 framer e: bit 2e the link, bit 2e+1 the line.
constexpr unsigned Framers = 4;
constexpr uint8_t linkLed(unsigned framer) { return uint8_t(1u << (2 * framer)); }
constexpr uint8_t lineLed(unsigned framer) { return uint8_t(2u << (2 * framer)); }
}  // namespace Panel

}  // namespace Hal
}  // namespace Dev
}  // namespace Board
