// tessarin-sim: the simulated control unit on the command line. Runs until Ctrl+C or SIGTERM and removes
// its entry from the serial-port list on the way out.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/simulated_unit.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onStopSignal(int /*signal*/) { g_stopRequested = 1; }

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

void printListing(const char* what, const tessarin::sim::SimulatedUnit& unit, const std::string& extra) {
    std::printf("tessarin-sim: %s on %s listed as \\Device\\VCP%d = %s (%s)%s\n", what, unit.DevicePath().c_str(),
                unit.Index(), unit.PortName().c_str(), unit.EntryPath().c_str(), extra.c_str());
    std::fflush(stdout);
}

double secondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) + static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    using tessarin::sim::CommandLine;
    const std::vector<std::string> args(argv + 1, argv + argc);
    CommandLine line;
    std::string error;
    if (!tessarin::sim::ParseCommandLine(args, line, error)) {
        std::fprintf(stderr, "tessarin-sim: %s\n\n%s", error.c_str(), tessarin::sim::UsageText().c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(tessarin::sim::UsageText().c_str(), stdout);
        return 0;
    }

    installStopHandlers();
    tessarin::sim::SimulatedUnit unit(line.options);
    tessarin::sim::ApplyCommandLine(line, unit);
    if (!unit.Start()) {
        std::fprintf(stderr, "tessarin-sim: cannot start: %s\n", unit.LastError().c_str());
        return 1;
    }
    const std::string faults = tessarin::sim::DescribeFaults(line);
    printListing("simulated control unit", unit, (faults.empty() ? "" : "; " + faults) + "; Ctrl+C to stop");

    timespec started{};
    clock_gettime(CLOCK_MONOTONIC, &started);
    bool unplugged = false;
    bool replugged = false;
    double unpluggedAt = 0.0;
    int status = 0;
    while (g_stopRequested == 0) {
        const timespec tick{0, 50'000'000};
        nanosleep(&tick, nullptr);  // a signal cuts this short
        const double elapsed = secondsSince(started);
        if (line.unplugAfter && !unplugged && elapsed >= *line.unplugAfter) {
            unit.Unplug();
            unplugged = true;
            unpluggedAt = elapsed;
            std::printf("tessarin-sim: unplugged (entry removed, line hung up)\n");
            std::fflush(stdout);
        }
        if (line.replugAfter && unplugged && !replugged && elapsed - unpluggedAt >= *line.replugAfter) {
            replugged = true;
            if (!unit.Plug(line.options.index)) {
                std::fprintf(stderr, "tessarin-sim: cannot plug in again: %s\n", unit.LastError().c_str());
                status = 1;
                break;
            }
            printListing("plugged in again", unit, "");
        }
    }
    unit.Stop();
    if (g_stopRequested != 0) {
        std::printf("tessarin-sim: stopped, entry removed\n");
    }
    return status;
}
