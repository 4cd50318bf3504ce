// What the system can tell about the unit's port for the link diagnosis: the device file's group and mode,
// the user and the user's groups (in this process and in the group database), and the processes that hold
// the device. Nothing here blocks for long; the process scan reads /proc and is left to the caller to pace.
#pragma once

#include <string>
#include <vector>

#include "link/link_diagnosis.h"

namespace tessarin {

// Fills the permission fields of `seen` from its devicePath (nothing when there is none, or on Windows).
void ObservePermissions(LinkObservations& seen);

// The processes other than this one whose open files include `devicePath` (empty on Windows, or when the
// system does not let us see them).
std::vector<PortHolder> FindPortHolders(const std::string& devicePath);

}  // namespace tessarin
