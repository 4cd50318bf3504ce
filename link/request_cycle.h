// The request cycle: the one writer to the port. At each tick of tmrComConnect it sends the request placed
// in ReqCode, or, with nothing placed, the current-value poll on every fifth tick; the receive timer reads
// and dispatches the answers. Both blink their lamp in the status bar with the traffic.
#pragma once

#include <cstdint>
#include <functional>

#include "data/device_data.h"
#include "link/comm_port.h"
#include "link/link_view.h"

namespace tessarin {

// Request codes (ReqCode and the command byte of a request).
inline constexpr std::uint8_t kReqPoll = 0x00;
inline constexpr std::uint8_t kReqClearMinorFaultLog = 0x01;
inline constexpr std::uint8_t kReqClearOvgrLog = 0x02;
inline constexpr std::uint8_t kReqWriteSettings = 0x03;
inline constexpr std::uint8_t kReqMinorFaultRecord = 0x04;
inline constexpr std::uint8_t kReqOvgrRecord = 0x05;
inline constexpr std::uint8_t kReqDeviceStateRecord = 0x06;
inline constexpr std::uint8_t kReqInitialise = 0x07;

// A poll leaves at every fifth tick while nothing is placed.
inline constexpr std::uint8_t kPollEveryTicks = 5;

// One tick of the cycle: sends at most one request, the whole 22-byte SendFrame, and toggles the send lamp
// (panel 2) when it wrote. ReqCode 0 counts PollTick and polls at the fifth tick, unless the previous poll is
// still unanswered: then that slot only clears PollPending. 1, 2, 7 and 3 return ReqCode to 0 after sending;
// 4 to 6 (a log record) set it to 255, under which nothing at all is sent. The write's result is ignored.
void SendRequest(DeviceData& data, CommPort& port, LinkView& view);

// One tick of tmrComRcv. Nothing before the first poll has gone out; with the link down the receive lamp
// (panel 3) shows off; otherwise one receive pass, and the lamp toggles when the pass extracted a frame.
// `port` may be null only while the link is down. True when the pass extracted a frame.
bool ReceiveTimerTick(DeviceData& data, CommPort* port, LinkView& view, const std::function<void()>& letEventsRun,
                      const std::function<void()>& onLogRecord);

}  // namespace tessarin
