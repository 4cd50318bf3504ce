// The program's own link: kept apart from unit_link.cpp so that tests of the logic above the port can
// link without the system's serial port.
#include <memory>

#include "link/class_comm.h"
#include "link/unit_link.h"

namespace tessarin {

UnitLink::UnitLink(LinkEvents& events)
    : UnitLink(events, MakeSystemPortListing(), [] { return std::make_unique<classComm>(); }) {}

}  // namespace tessarin
