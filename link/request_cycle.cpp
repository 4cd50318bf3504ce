#include "link/request_cycle.h"

#include <span>

#include "link/frame_codec.h"

namespace tessarin {

namespace {

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

}  // namespace tessarin
