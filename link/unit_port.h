// Opening the port of the control unit with the unit's line settings.
#pragma once

#include <cstdint>

#include "link/comm_port.h"

namespace tessarin {

// Sets comm up for the unit (PortNumber := portNo; 9600 baud, 8 data bits, odd parity, one stop bit, no
// flow control, TimeOut 1000 ms) and opens it. On success empties both queues and returns true; otherwise
// closes it and returns false.
bool OpenUnitPort(CommPort& comm, std::int16_t portNo);

}  // namespace tessarin
