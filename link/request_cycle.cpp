#include "link/request_cycle.h"

#include <span>

#include "link/frame.h"

namespace tessarin {

namespace {

constexpr std::uint8_t kShortRequestLength = 0x14;     // 20 bytes, 15 data bytes
constexpr std::uint8_t kSettingsRequestLength = 0x16;  // 22 bytes, 17 data bytes

void writeSendFrame(DeviceData& data, CommPort& port) {
    // Always the whole buffer: a 20-byte request carries the two bytes standing behind it.
    (void)port.WriteBinary(data.SendFrame);
}

void toggleSendLamp(DeviceData& data, LinkView& view) {
    if (data.TxLamp == kFalse) {
        view.ShowPanelPicture(kPanelSendLamp, kLampOnRed);
        data.TxLamp = kTrue;
    } else {
        view.ShowPanelPicture(kPanelSendLamp, kLampOffRed);
        data.TxLamp = kFalse;
    }
}

void toggleReceiveLamp(DeviceData& data, LinkView& view) {
    if (data.RxLamp == kFalse) {
        view.ShowPanelPicture(kPanelReceiveLamp, kLampOnGreen);
        data.RxLamp = kTrue;
    } else {
        view.ShowPanelPicture(kPanelReceiveLamp, kLampOffGreen);
        data.RxLamp = kFalse;
    }
}

// The poll slot of a tick with nothing placed; true when a poll was written.
bool pollSlot(DeviceData& data, CommPort& port) {
    ++data.PollTick;
    if (data.PollTick < kPollEveryTicks) {
        return false;
    }
    data.PollTick = 0;
    if (data.PollPending == kPollOutstanding) {
        // The last poll went unanswered: skip this slot so a silent unit is asked once a second.
        data.PollPending = 0;
        return false;
    }
    data.PollPending = kPollOutstanding;
    BuildRequest(data.SendFrame, kReqPoll, kShortRequestLength);
    writeSendFrame(data, port);
    data.TxStarted = kTrue;
    return true;
}

}  // namespace

void SendRequest(DeviceData& data, CommPort& port, LinkView& view) {
    switch (data.ReqCode) {
        case kReqNone:
            if (!pollSlot(data, port)) {
                return;
            }
            break;
        case kReqClearMinorFaultLog:
        case kReqClearOvgrLog:
        case kReqInitialise:
            BuildRequest(data.SendFrame, data.ReqCode, kShortRequestLength);
            writeSendFrame(data, port);
            data.ReqCode = kReqNone;
            break;
        case kReqWriteSettings:
            BuildRequest(data.SendFrame, kReqWriteSettings, kSettingsRequestLength, data.SendData);
            writeSendFrame(data, port);
            data.ReqCode = kReqNone;
            break;
        case kReqMinorFaultRecord:
        case kReqOvgrRecord:
        case kReqDeviceStateRecord:
            BuildRequest(data.SendFrame, data.ReqCode, kShortRequestLength, std::span(data.SendData).first(1));
            writeSendFrame(data, port);
            data.ReqCode = kReqAwaitingRecord;
            break;
        default:
            return;  // 255 (a record awaited) or an unknown code: nothing goes out
    }
    toggleSendLamp(data, view);
}

bool ReceiveTimerTick(DeviceData& data, CommPort* port, LinkView& view, const std::function<void()>& letEventsRun,
                      const std::function<void()>& onLogRecord) {
    if (data.TxStarted == kFalse) {
        return false;
    }
    if (data.LinkUp == kFalse || port == nullptr) {
        view.ShowPanelPicture(kPanelReceiveLamp, kLampOffGreen);
        data.RxLamp = kFalse;
        return false;
    }
    if (!ReceiveFrames(data, *port, letEventsRun, onLogRecord)) {
        return false;
    }
    toggleReceiveLamp(data, view);
    return true;
}

}  // namespace tessarin
