#include "link/unit_commands.h"

#include "data/protocol_codes.h"
#include "link/log_collection.h"

namespace tessarin {

CommandResult PlaceCommand(DeviceData& data, std::uint8_t code, const SettingsRecord* settings) {
    if (data.LinkUp != kTrue) {
        return CommandResult::OffLine;
    }
    // A later press replaces a write or initialise not yet sent (the last one wins, as before); a placed
    // clear or a collection's record would be lost.
    const bool replaceable =
        data.ReqCode == kReqNone || data.ReqCode == kReqWriteSettings || data.ReqCode == kReqInitialise;
    if (!replaceable || data.LogBusy != 0) {
        return CommandResult::Busy;
    }
    if (settings != nullptr) {
        data.SendData = *settings;
    }
    data.ReqCode = code;
    return CommandResult::Queued;
}

CommandResult PlaceClear(DeviceData& data, LogKind kind) {
    const std::uint8_t code = CodesOf(kind).clear;
    if (code == 0) {
        return CommandResult::NotApplicable;
    }
    // LogBusy covers a failed collection too: its ReqCode 255 must hold until the user has closed the message.
    if (data.LogBusy != 0) {
        return CommandResult::Busy;
    }
    data.ReqCode = code;
    return CommandResult::Queued;
}

CommandResult LinkCommands::StartCollection(LogKind kind) {
    return m_collection.Start(kind) ? CommandResult::Queued : CommandResult::Busy;
}

CommandResult LinkCommands::AbortCollection() {
    if (m_collection.Abort()) {
        return CommandResult::Queued;
    }
    return m_collection.Failed() ? CommandResult::Busy : CommandResult::NotApplicable;
}

std::uint8_t TakeBackPlacedCommand(DeviceData& data) {
    const std::uint8_t code = data.ReqCode;
    if (code != kReqWriteSettings && code != kReqInitialise) {
        return 0;
    }
    data.ReqCode = kReqNone;
    return code;
}

}  // namespace tessarin
