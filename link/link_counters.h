// What the link has seen since it was made: every failure is counted, nothing is dropped uncounted.
#pragma once

#include <cstdint>

namespace tessarin {

struct LinkCounters {
    std::uint64_t pollsSent = 0;
    std::uint64_t pollsUnanswered = 0;    // poll slots that found the last poll unanswered, bad frames aside
    std::uint64_t requestsSent = 0;       // every request written, polls included
    std::uint64_t writesRefused = 0;      // writes the port did not take whole
    std::uint64_t readsFailed = 0;        // reads the port could not do (nothing taken from them)
    std::uint64_t framesValid = 0;        // frames routed
    std::uint64_t badChecksums = 0;       // frames dropped for their checksum
    std::uint64_t spoiledStartMarks = 0;  // start marks passed over for a missing end mark
    std::uint64_t discardedBytes = 0;     // bytes thrown away while looking for frames
    std::uint64_t recordsAsked = 0;       // log record requests written, re-sends included
    std::uint64_t recordsReceived = 0;    // log record answers routed
    std::uint64_t recordsOverdue = 0;     // log record requests that timed out without a bad frame
    std::uint64_t recordsResent = 0;      // log record requests repeated for the same record
    std::uint64_t recordsStray = 0;       // log record answers for another record than the one asked, ignored
    std::uint64_t linksUp = 0;            // opens of the unit's port
    std::uint64_t portsLost = 0;          // open ports that left the list

    bool operator==(const LinkCounters&) const = default;
};

}  // namespace tessarin
