// What a window asks of the unit: write the settings with a clock, initialise, clear a log, start or abort
// the collection of a log. A command is decided when it is placed, after any confirmation the window asked,
// and the window is told by the result. The windows see the device data through a const reference only:
// these are the ways they change what is sent.
#pragma once

#include <array>
#include <cstdint>

#include "data/device_data.h"
#include "data/protocol_codes.h"
#include "data/settings_codec.h"

namespace tessarin {

enum class CommandResult {
    Queued,         // placed: goes out at the next connect tick on line (an abort has taken effect already)
    OffLine,        // the port is not open: nothing is placed
    Busy,           // a clear is placed (for a write), a log is collected or its failure shown: nothing placed
    NotApplicable,  // nothing to do: the log has no clear request, no collection runs to be aborted
};

class LogCollection;

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
    // The log's clear request (01h, 02h): Busy while a collection runs or its failure waits for the user;
    // NotApplicable for the device-state log. Placed OFF LINE too, as the log screen always has: it then
    // leaves at the first tick on line. It replaces a write or initialise not yet sent.
    virtual CommandResult ClearLog(LogKind kind) = 0;
    // Starts collecting the log, OFF LINE too (the collection then fails at its time-outs, as it always
    // has): Busy while one runs or its failure waits for the user. The first record request replaces
    // whatever was placed.
    virtual CommandResult StartCollection(LogKind kind) = 0;
    // Ends the running collection at once: Busy while its failure waits for the user, NotApplicable when
    // none runs.
    virtual CommandResult AbortCollection() = 0;
};

// Places `code` (03h with `settings`, or 07h) into the request mailbox when the link is up and no log is
// collected; it replaces a write or initialise placed since the last tick, never a clear.
CommandResult PlaceCommand(DeviceData& data, std::uint8_t code, const SettingsRecord* settings);
// Places the clear request of `kind` as UnitCommands::ClearLog says.
CommandResult PlaceClear(DeviceData& data, LogKind kind);
// The port went away: a settings write or initialise not yet sent is taken back, so that it never leaves
// later with the clock of its press. Returns the code taken back, 0 when there was none.
std::uint8_t TakeBackPlacedCommand(DeviceData& data);

// The commands placed straight into a device data, for a screen in tests and screenshots. A device data
// alone has no collection: starting or aborting one is NotApplicable.
class DataCommands : public UnitCommands {
  public:
    explicit DataCommands(DeviceData& data) : m_data(data) {}
    CommandResult WriteSettings(const SettingsRecord& settings) override {
        return PlaceCommand(m_data, kReqWriteSettings, &settings);
    }
    CommandResult Initialise() override { return PlaceCommand(m_data, kReqInitialise, nullptr); }
    CommandResult ClearLog(LogKind kind) override { return PlaceClear(m_data, kind); }
    CommandResult StartCollection(LogKind /*kind*/) override { return CommandResult::NotApplicable; }
    CommandResult AbortCollection() override { return CommandResult::NotApplicable; }

  private:
    DeviceData& m_data;
};

// The link's own commands (UnitLink::Commands): the device data's, and its log collection's.
class LinkCommands final : public DataCommands {
  public:
    LinkCommands(DeviceData& data, LogCollection& collection) : DataCommands(data), m_collection(collection) {}
    CommandResult StartCollection(LogKind kind) override;
    CommandResult AbortCollection() override;

  private:
    LogCollection& m_collection;
};

}  // namespace tessarin
