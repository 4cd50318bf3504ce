// The connection supervision of every tmrComConnect tick: it finds, watches and (re)opens the unit's port and
// says what happened; the request cycle runs after it, in UnitLink::ConnectTick, when the port is open.
#pragma once

#include <functional>

#include "data/device_data.h"
#include "link/comm_port.h"
#include "link/link_events.h"
#include "link/port_listing.h"

namespace tessarin {

enum class SupervisionOutcome {
    StillOffLine,     // not linked before, not linked now (LinkDown told why)
    CameOnLine,       // not linked before, the port is open now (LinkUp)
    StayedOnLine,     // linked, and the port is still listed
    Lost,             // linked, the port left the list, and none could be opened again (PortLost, LinkDown)
    LostAndReopened,  // linked, the port left the list, and one was opened again at once (PortLost, LinkUp)
};

// Whether the port that was open went away in this tick (whatever was opened after it).
[[nodiscard]] constexpr bool PortWentAway(SupervisionOutcome outcome) {
    return outcome == SupervisionOutcome::Lost || outcome == SupervisionOutcome::LostAndReopened;
}

// One tick of connection supervision. Not linked: search while PortNo is -1, else try to open the same port
// again. Linked: check the port is still listed; when it has gone, close it (PortLost), search again and
// re-open at once if found. LinkUp after an open, LinkDown with its reason when the tick ends without a link.
// Nothing is sent here. `comm` hands out the port object (created on first use).
SupervisionOutcome SuperviseConnection(DeviceData& data, PortListing& listing, LinkEvents& events,
                                       const std::function<CommPort&()>& comm);

}  // namespace tessarin
