#include "link/connection_supervision.h"

#include "link/port_discovery.h"
#include "link/unit_port.h"

namespace tessarin {

namespace {

bool openAndGoOnLine(DeviceData& data, LinkEvents& events, const std::function<CommPort&()>& comm) {
    if (!OpenUnitPort(comm(), data.PortNo)) {
        return false;
    }
    data.LinkUp = kTrue;
    events.LinkUp();
    return true;
}

}  // namespace

SupervisionOutcome SuperviseConnection(DeviceData& data, PortListing& listing, LinkEvents& events,
                                       const std::function<CommPort&()>& comm) {
    if (data.LinkUp == kFalse) {
        if (data.PortNo == -1) {
            data.PortNo = FindUnitPort(listing, data, data.PortDevName);
            if (data.PortNo == -1) {
                events.LinkDown(LinkDownReason::NotListed);
                return SupervisionOutcome::StillOffLine;
            }
        }
        // While PortNo holds a number the same port is tried again at every tick, without a new search.
        if (!openAndGoOnLine(data, events, comm)) {
            events.LinkDown(LinkDownReason::OpenFailed);
            return SupervisionOutcome::StillOffLine;
        }
        return SupervisionOutcome::CameOnLine;
    }

    if (UnitPortPresent(listing, data, data.PortDevName)) {
        return SupervisionOutcome::StayedOnLine;
    }
    // The port has left the list (the adapter was unplugged).
    data.LinkUp = kFalse;
    comm().Close();
    events.PortLost();
    data.PortNo = FindUnitPort(listing, data, data.PortDevName);
    if (data.PortNo != -1 && openAndGoOnLine(data, events, comm)) {
        return SupervisionOutcome::LostAndReopened;
    }
    events.LinkDown(LinkDownReason::Unplugged);
    return SupervisionOutcome::Lost;
}

}  // namespace tessarin
