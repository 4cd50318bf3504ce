// What a window asks of the unit: write the settings with a clock, initialise. A command is decided when it
// is placed, after any confirmation the window asked: refused while OFF LINE, while a clear is placed or a
// log is collected; queued otherwise, and sent at the next request-cycle tick. The windows see the device
// data through a const reference only: these are the ways they change what is sent.
#pragma once

#include <array>
#include <cstdint>

#include "data/device_data.h"
#include "data/protocol_codes.h"
#include "data/settings_codec.h"

namespace tessarin {

enum class CommandResult {
    Queued,   // goes out at the next connect tick
    OffLine,  // the port is not open: nothing is placed
    Busy,     // a clear is placed or a log is being collected: nothing is placed
};

class UnitCommands {
  public:
    UnitCommands() = default;
    UnitCommands(const UnitCommands&) = delete;
    UnitCommands& operator=(const UnitCommands&) = delete;
    UnitCommands(UnitCommands&&) = delete;
    UnitCommands& operator=(UnitCommands&&) = delete;
    virtual ~UnitCommands() = default;

    // 03h with the settings and clock encoded in `settings`.
    virtual CommandResult WriteSettings(const SettingsRecord& settings) = 0;
    // 07h.
    virtual CommandResult Initialise() = 0;
};

// Places `code` (03h with `settings`, or 07h) into the request mailbox when the link is up and no log is
// collected; it replaces a write or initialise placed since the last tick, never a clear.
CommandResult PlaceCommand(DeviceData& data, std::uint8_t code, const SettingsRecord* settings);
// The port went away: a settings write or initialise not yet sent is taken back, so that it never leaves
// later with the clock of its press. Returns the code taken back, 0 when there was none.
std::uint8_t TakeBackPlacedCommand(DeviceData& data);

// The commands placed straight into a device data: the link's own (UnitLink::Commands), and a screen's in tests.
class DataCommands final : public UnitCommands {
  public:
    explicit DataCommands(DeviceData& data) : m_data(data) {}
    CommandResult WriteSettings(const SettingsRecord& settings) override {
        return PlaceCommand(m_data, kReqWriteSettings, &settings);
    }
    CommandResult Initialise() override { return PlaceCommand(m_data, kReqInitialise, nullptr); }

  private:
    DeviceData& m_data;
};

}  // namespace tessarin
