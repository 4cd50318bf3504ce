#include "link/unit_port.h"

namespace tessarin {

namespace {

constexpr LineSettings kUnitLine{
    .baudRate = 9600, .dataBits = 8, .parity = 1, .stopBits = 0, .handshaking = 0, .timeOutMs = 1000};

}  // namespace

bool OpenUnitPort(CommPort& comm, std::int16_t portNo) {
    if (!comm.Open(portNo, kUnitLine)) {
        return false;
    }
    // A queue that could not be emptied still carries frames: the assembler passes over what is stale.
    (void)comm.ClearOutput();
    (void)comm.ClearInput();
    return true;
}

}  // namespace tessarin
