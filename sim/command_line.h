// The command line of tessarin-sim: what the unit is told to be and which faults it shows.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulated_unit.h"

namespace tessarin::sim {

struct CommandLine {
    SimOptions options;
    bool help = false;
    bool silent = false;
    bool ignoreSettingsWrites = false;
    bool ovgrFunction = true;
    std::vector<std::pair<int, int>> dropRecords;  // record, times
    double dropShare = 0.0;
    double corruptShare = 0.0;
    int splitPieces = 1;
    int noiseBytes = 0;
    std::vector<std::pair<int, int>> renumber;  // record asked for, number sent
    std::vector<int> duplicates;                // records answered twice
    std::optional<double> unplugAfter;          // seconds after the start
    std::optional<double> replugAfter;          // seconds after the unplug
};

// Parses the arguments that follow the program name ("--index 2" and "--index=2" alike). False with
// `error` set for anything it does not understand or a value out of range.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

// The text --help prints.
std::string UsageText();

// Orders the faults and content of the command line from the unit.
void ApplyCommandLine(const CommandLine& line, SimulatedUnit& unit);

// The faults ordered, for the start-up line ("" when none).
std::string DescribeFaults(const CommandLine& line);

}  // namespace tessarin::sim
