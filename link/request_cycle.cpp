#include "link/request_cycle.h"

#include <span>

#include "link/frame_codec.h"

namespace tessarin {

namespace {

// True when the port took the whole write.
bool writeSendFrame(DeviceData& data, CommPort& port) {
    // Always the whole buffer: a 20-byte request carries the two bytes standing behind it.
    return port.Write(data.SendFrame);
}

// The poll slot of a tick with nothing placed; true when a poll was written (`accepted` then says how).
bool pollSlot(DeviceData& data, CommPort& port, LinkEvents& events, bool& accepted) {
    ++data.PollTick;
    if (data.PollTick < kPollEveryTicks) {
        return false;
    }
    data.PollTick = 0;
    if (data.PollPending == kPollOutstanding) {
        // The last poll went unanswered: skip this slot so a silent unit is asked once a second.
        data.PollPending = 0;
        events.AnswerOverdue(kReqPoll);
        return false;
    }
    data.PollPending = kPollOutstanding;
    BuildRequest(data.SendFrame, kReqPoll, kShortRequestLength);
    accepted = writeSendFrame(data, port);
    data.TxStarted = kTrue;
    return true;
}

}  // namespace

bool SendRequest(DeviceData& data, CommPort& port, LinkEvents& events) {
    const std::uint8_t code = data.ReqCode;
    bool accepted = false;
    switch (code) {
        case kReqNone:
            if (!pollSlot(data, port, events, accepted)) {
                return false;
            }
            break;
        case kReqClearMinorFaultLog:
        case kReqClearOvgrLog:
        case kReqInitialise:
            BuildRequest(data.SendFrame, code, kShortRequestLength);
            accepted = writeSendFrame(data, port);
            data.ReqCode = kReqNone;
            break;
        case kReqWriteSettings:
            BuildRequest(data.SendFrame, kReqWriteSettings, kSettingsRequestLength, data.SendData);
            accepted = writeSendFrame(data, port);
            data.ReqCode = kReqNone;
            break;
        case kReqMinorFaultRecord:
        case kReqOvgrRecord:
        case kReqDeviceStateRecord:
            BuildRequest(data.SendFrame, code, kShortRequestLength, std::span(data.SendData).first(1));
            accepted = writeSendFrame(data, port);
            data.ReqCode = kReqAwaitingRecord;
            break;
        default:
            return false;  // 255 (a record awaited) or an unknown code: nothing goes out
    }
    events.RequestSent(code, accepted);
    return true;
}

}  // namespace tessarin
