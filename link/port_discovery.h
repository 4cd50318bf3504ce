// Finding the unit's port in the system's serial-port list, noticing when it goes and opening it again
// when it comes back. The supervision that uses them is in link/connection_supervision.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/device_data.h"
#include "link/port_listing.h"

namespace tessarin {

// The adapter's ports are listed as "\Device\VCP0", "\Device\VCP1", ... up to this index.
inline constexpr int kVcpLastIndex = 99;
inline constexpr const char* kUnitValueNamePrefix = "\\Device\\VCP";

// OsPlatform := the listing's platform identifier.
void GetOsPlatform(DeviceData& data, PortListing& listing);

// One value of the list as text, "" when it cannot be read.
std::string ReadRegText(PortListing& listing, std::uint32_t root, const std::string& key, const std::string& valueName);

// The number of a port name "COM<n>": the digits after "COM" when there is nothing else (COM5 -> 5,
// COM123 -> 123); otherwise the last two characters when they are digits, else the last one; -1 when none
// of these gives a number or the name does not start with "COM". Never throws.
std::int16_t PortNumberFromName(std::string_view portName);

// Searches "\Device\VCP0".."\Device\VCP99" in order for the first listed port (only where the list is
// available, OsPlatform 2). Returns its number by PortNumberFromName, or -1. `name` becomes the value name
// it was found under, "" when nothing was listed.
std::int16_t FindUnitPort(PortListing& listing, DeviceData& data, std::string& name);

// Whether the port found under `name` is still listed (always true where there is no list).
bool UnitPortPresent(PortListing& listing, DeviceData& data, const std::string& name);
// The same, for a caller that only looks: OsPlatform is left as it is.
bool UnitPortListed(PortListing& listing, const std::string& name);

}  // namespace tessarin
