// What the system can tell about the unit's port for the link diagnosis: the device file's group and mode,
// the user and the user's groups (in this process and in the group database), and the processes that hold
// the device. Nothing here blocks for long: the process scan reads /proc within a time budget, and is left
// to the caller to pace.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/link_diagnosis.h"

namespace tessarin {

// Fills the permission fields of `seen` from its devicePath (nothing when there is none, or on Windows).
void ObservePermissions(LinkObservations& seen);

// How long the holder scan may take: a process can hold hundreds of thousands of descriptors, and the scan
// runs on the window's thread.
inline constexpr std::chrono::milliseconds kHolderScanBudget{50};

// The time the holder scan goes by (tests pass one that they move themselves).
using ScanClock = std::function<std::chrono::steady_clock::time_point()>;

// The processes other than this one whose open files include `devicePath` (empty on Windows, or when the
// system does not let us see them), as far as they were found before `budget` passed on `clock`: once it has
// passed, the scan stops and gives those found so far, possibly none, which the diagnosis shows as in use by
// a program it could not name. The clock is read once per process and once per few hundred descriptors.
std::vector<PortHolder> FindPortHolders(const std::string& devicePath,
                                        std::chrono::steady_clock::duration budget = kHolderScanBudget,
                                        const ScanClock& clock = std::chrono::steady_clock::now);

}  // namespace tessarin
