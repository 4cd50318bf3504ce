// Opening the port of the control unit with the unit's line settings.
#pragma once

#include <cstdint>

#include "link/comm_port.h"

namespace tessarin {

// Opens port `portNo` with the unit's line (9600 baud, 8 data bits, odd parity, one stop bit, no flow
// control, time-out 1000 ms). On success empties both queues and returns true; false when it
// could not be opened (the port is then closed).
bool OpenUnitPort(CommPort& comm, std::int16_t portNo);

}  // namespace tessarin
