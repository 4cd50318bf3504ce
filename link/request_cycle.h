// The request cycle: the one writer to the port. At each tick of tmrComConnect it sends the request placed
// in ReqCode, or, with nothing placed, the current-value poll on every fifth tick; the link's receive pass
// reads and routes the answers.
#pragma once

#include <cstdint>

#include "data/device_data.h"
#include "data/protocol_codes.h"
#include "link/comm_port.h"
#include "link/link_events.h"

namespace tessarin {

// A poll leaves at every fifth tick while nothing is placed.
inline constexpr std::uint8_t kPollEveryTicks = 5;

// One tick of the cycle: sends at most one request, the whole 22-byte SendFrame, and reports it
// (RequestSent). ReqCode 0 counts PollTick and polls at the fifth tick, unless the previous poll is still
// unanswered: then that slot only clears PollPending (AnswerOverdue of the poll). 1, 2, 7 and 3 return
// ReqCode to 0 after sending; 4 to 6 (a log record) set it to 255, under which nothing at all is sent. Nothing
// waits on the write's result. True when a request was written.
bool SendRequest(DeviceData& data, CommPort& port, LinkEvents& events);

}  // namespace tessarin
