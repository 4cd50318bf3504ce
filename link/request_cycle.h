// The request cycle: the one writer to the port. At each tick of tmrComConnect it sends the request placed
// in ReqCode, or, with nothing placed, the current-value poll on every fifth tick; the link's receive pass
// reads and routes the answers. Each blinks its lamp in the status bar with the traffic.
#pragma once

#include <cstdint>

#include "data/device_data.h"
#include "data/protocol_codes.h"
#include "link/comm_port.h"
#include "link/link_view.h"

namespace tessarin {

// A poll leaves at every fifth tick while nothing is placed.
inline constexpr std::uint8_t kPollEveryTicks = 5;

// One tick of the cycle: sends at most one request, the whole 22-byte SendFrame, and toggles the send lamp
// (panel 2) when it wrote. ReqCode 0 counts PollTick and polls at the fifth tick, unless the previous poll is
// still unanswered: then that slot only clears PollPending. 1, 2, 7 and 3 return ReqCode to 0 after sending;
// 4 to 6 (a log record) set it to 255, under which nothing at all is sent. The write's result is ignored.
void SendRequest(DeviceData& data, CommPort& port, LinkView& view);

}  // namespace tessarin
