#include "link/port_discovery.h"

#include <algorithm>
#include <charconv>

namespace tessarin {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return !text.empty() && std::ranges::all_of(text, isDigit); }

// A run of decimal digits as a port number; -1 when it does not fit.
std::int16_t parsePortDigits(std::string_view digits) {
    std::int16_t value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return -1;
    }
    return value;
}

}  // namespace

void GetOsPlatform(DeviceData& data, PortListing& listing) { data.OsPlatform = listing.QueryOsPlatform(); }

std::string ReadRegText(PortListing& listing, std::uint32_t root, const std::string& key,
                        const std::string& valueName) {
    std::string text = listing.ReadRegText(root, key, valueName);
    // Only the text up to the first NUL counts, whatever the listing handed back.
    if (const auto nul = text.find('\0'); nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}

std::int16_t PortNumberFromName(std::string_view portName) {
    constexpr std::string_view kPrefix = "COM";
    if (!portName.starts_with(kPrefix)) {
        return -1;
    }
    // A plain "COM<digits>" is read whole, so that COM100 and above keep their own number.
    if (const std::string_view digits = portName.substr(kPrefix.size()); allDigits(digits)) {
        if (const std::int16_t whole = parsePortDigits(digits); whole >= 0) {
            return whole;
        }
    }
    if (portName.size() >= 2 && allDigits(portName.substr(portName.size() - 2))) {
        return parsePortDigits(portName.substr(portName.size() - 2));
    }
    if (isDigit(portName.back())) {
        return parsePortDigits(portName.substr(portName.size() - 1));
    }
    return -1;
}

std::int16_t FindUnitPort(PortListing& listing, DeviceData& data, std::string& name) {
    GetOsPlatform(data, listing);
    std::string found;
    if (data.OsPlatform == kPlatformNt) {
        for (int i = 0; i <= kVcpLastIndex; ++i) {
            name = kUnitValueNamePrefix + std::to_string(i);
            found = ReadRegText(listing, kHkeyLocalMachine, kSerialCommKey, name);
            if (!found.empty()) {
                break;
            }
        }
    }
    if (found.empty()) {
        name.clear();
        return -1;
    }
    return PortNumberFromName(found);
}

bool UnitPortPresent(PortListing& listing, DeviceData& data, const std::string& name) {
    GetOsPlatform(data, listing);
    if (data.OsPlatform != kPlatformNt) {
        return true;
    }
    return !ReadRegText(listing, kHkeyLocalMachine, kSerialCommKey, name).empty();
}

bool UnitPortListed(PortListing& listing, const std::string& name) {
    return listing.QueryOsPlatform() != kPlatformNt ||
           !ReadRegText(listing, kHkeyLocalMachine, kSerialCommKey, name).empty();
}

}  // namespace tessarin
