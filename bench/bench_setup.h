// The common start of the benchmarks that talk to a unit: a serial-port list of their own, and the simulated
// unit paced like a 9600-baud line, listed in it.
#pragma once

#include <cstdio>
#include <cstdlib>  // mkdtemp, setenv (POSIX)
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "sim/simulated_unit.h"

namespace tessarin::bench {

// Points XDG_RUNTIME_DIR at a fresh temporary folder, so that the list read and written is this run's own,
// and gives that folder for removal at the end; nothing, with the reason printed, when that cannot be done.
inline std::optional<std::filesystem::path> UsePrivatePortList() {
    std::string folder = (std::filesystem::temp_directory_path() / "tessarin-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr || ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1) != 0) {
        std::fprintf(stderr, "cannot set up a serial-port list folder\n");
        return std::nullopt;
    }
    return std::filesystem::path(folder);
}

// A started, paced simulated unit; nullptr, with the reason printed, when it did not start.
inline std::unique_ptr<sim::SimulatedUnit> StartPacedUnit() {
    sim::SimOptions options;
    options.pacing = true;
    auto unit = std::make_unique<sim::SimulatedUnit>(options);
    if (!unit->Start()) {
        std::fprintf(stderr, "simulator: %s\n", unit->LastError().c_str());
        return nullptr;
    }
    return unit;
}

}  // namespace tessarin::bench
