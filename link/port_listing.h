// The operating system's list of serial ports, seen the way port discovery reads it: one registry value
// per port under HKLM "HARDWARE\DEVICEMAP\SERIALCOMM", named "\Device\VCP<i>", holding a port name such
// as "COM5". On Linux the same values come from the serial-port list folder (serial_port_list.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tessarin {

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002U;
inline constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr std::int16_t kPlatformNt = 2;

class PortListing {
  public:
    PortListing() = default;
    PortListing(const PortListing&) = delete;
    PortListing& operator=(const PortListing&) = delete;
    PortListing(PortListing&&) = delete;
    PortListing& operator=(PortListing&&) = delete;
    virtual ~PortListing() = default;

    // One value as text up to its first NUL, or "" when the key or the value cannot be read.
    virtual std::string ReadRegText(std::uint32_t root, const std::string& key, const std::string& valueName) = 0;
    // Platform identifier of the version record (2: NT family, where the list is available).
    virtual std::int16_t QueryOsPlatform() = 0;
    // A part of the list (a folder or an entry) that is passed over because others could have written it,
    // for the diagnosis to name; "" when there is none or the system's list cannot have one.
    virtual std::string UntrustedPart() { return {}; }
};

// The listing of this machine: the registry on Windows, the serial-port list on Linux.
std::unique_ptr<PortListing> MakeSystemPortListing();

}  // namespace tessarin
