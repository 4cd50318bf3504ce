#include "link/unit_port.h"

namespace tessarin {

namespace {

constexpr std::int32_t kUnitBaudRate = 9600;
constexpr std::uint8_t kUnitDataBits = 8;
constexpr std::uint8_t kUnitParityOdd = 1;
constexpr std::uint8_t kUnitOneStopBit = 0;
constexpr std::int32_t kUnitNoHandshaking = 0;
constexpr std::int16_t kUnitTimeOut = 1000;

}  // namespace

bool OpenUnitPort(CommPort& comm, std::int16_t portNo) {
    comm.SetPortNumber(portNo);
    comm.SetBaudRate(kUnitBaudRate);
    comm.SetDataBits(kUnitDataBits);
    comm.SetParity(kUnitParityOdd);
    comm.SetStopBits(kUnitOneStopBit);
    comm.SetHandshaking(kUnitNoHandshaking);
    comm.SetTimeOut(kUnitTimeOut);
    if (comm.OpenPort() != 0) {
        comm.ClearWriteBuffer();
        comm.ClearReadBuffer();
        return true;
    }
    comm.ClosePort();
    return false;
}

}  // namespace tessarin
