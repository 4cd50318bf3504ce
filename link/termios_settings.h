// How classComm's device-control record becomes terminal attributes on Linux. Kept pure (no file
// descriptor involved) because a pseudo-terminal silently drops some settings, so the mapping can only be
// checked here, not read back from a test port.
#pragma once

#ifndef _WIN32

#include <termios.h>

#include <cstdint>
#include <optional>

#include "link/comm_records.h"

namespace tessarin {

// Terminal attributes for the record: raw mode, speed from BaudRate, CS5..CS8 from ByteSize, parity
// generated as the record says (PARENB, PARODD, CMSPAR for mark and space), INPCK only with the
// parity-checking bit, CSTOPB for two stop bits (and for one and a half with 5 data bits, which is what a
// UART makes of it), CRTSCTS for CTS output flow or RTS handshake, IXON/IXOFF for the XON/XOFF bits,
// CLOCAL|CREAD|HUPCL always, VMIN=VTIME=0 so that reads never wait. The time-out record is not used:
// reads take what is waiting and return at once.
// nullopt when the record cannot be applied (a speed, size, parity or stop-bit setting the line cannot
// have); the port then keeps the attributes it had, as a refused device-control block would.
std::optional<termios> TermiosFromDcb(const DeviceControlRecord& dcb, const TimeoutRecord& timeouts);

// The termios speed constant for a rate in bits per second, or nullopt for a rate without one.
std::optional<speed_t> SpeedFromBaudRate(std::uint32_t baudRate);

// Modem-status bits (kModemCtsOn...) from the TIOCMGET line bits.
std::uint32_t ModemStatusFromLineBits(int lineBits);

}  // namespace tessarin

#endif
