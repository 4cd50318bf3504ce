// Why the link is ON LINE or OFF LINE, worked out from what the link and the system were seen to do: a
// reason as data (with its details) and the plain Japanese sentences that explain it. The function is pure,
// so every reason can be tested from a table of observations; gathering them is the caller's work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/comm_port.h"

namespace tessarin {

enum class LinkReason {
    NoAdapter,         // no adapter is listed
    DeviceMissing,     // listed, but its device file does not exist
    PermissionDenied,  // listed, but opening it is refused for lack of permission
    InUse,             // listed, but another program holds it
    OpenFailed,        // listed, but it could not be opened for another reason
    NoAnswer,          // open, but the unit does not answer
    Garbled,           // open, answers arrive but fail the checksum or the end mark
    OnLine,            // open and answering
};

struct PortHolder {
    int pid = 0;
    std::string name;

    bool operator==(const PortHolder&) const = default;
};

struct LinkObservations {
    bool listed = false;     // an adapter of the unit is listed
    std::string portName;    // "COM7"
    std::string devicePath;  // "/dev/ttyUSB0" where the system tells it, else ""
    bool linkUp = false;     // the port is open
    OpenFailure openFailure = OpenFailure::None;

    // For a refused permission: the device's group, the user, and the user's groups in this process (fixed
    // at login) and in the group database (now).
    std::string deviceGroup;
    std::uint32_t deviceGid = 0;
    bool groupMayOpen = true;  // the device's mode lets its group read and write it
    std::string userName;
    std::vector<std::uint32_t> processGroups;
    std::vector<std::uint32_t> databaseGroups;

    // With no adapter listed: a part of the serial-port list passed over because others could have written
    // it ("" when none).
    std::string untrustedListPart;

    // For a busy port: the processes seen holding the device (empty when the system does not tell).
    std::vector<PortHolder> holders;

    // Since the port was opened: polls in a row that went unanswered, when the first of them was sent (ms
    // of the caller's clock), and frames that failed since the last valid one.
    int unansweredPolls = 0;
    std::int64_t unansweredSinceMs = 0;
    std::uint64_t badFramesSinceValid = 0;
    // Of the last frames (at most kRecentFrames), how many failed: a share of bad answers among good ones.
    std::uint32_t recentFrames = 0;
    std::uint32_t recentBadFrames = 0;
    bool answered = false;  // a valid frame came since the port was opened

    bool operator==(const LinkObservations&) const = default;
};

struct LinkDiagnosis {
    LinkReason reason = LinkReason::NoAdapter;
    // The group was added to the user in the database after this login: a new login is all it takes.
    bool groupAddedSinceLogin = false;
    // The command that fixes it, to be shown (never run); "" when there is none.
    std::string fixCommand;

    bool operator==(const LinkDiagnosis&) const = default;
};

// Unanswered polls in a row after which a silent unit is reported.
inline constexpr int kSilentAfterPolls = 2;
// The frames over which the share of bad ones is taken, and the share (in percent, at least two frames)
// from which the line counts as garbled even while good answers come in between.
inline constexpr std::uint32_t kRecentFrames = 20;
inline constexpr std::uint32_t kGarbledPercent = 15;

// The line is garbled by its share of bad answers among the last ones.
[[nodiscard]] bool GarbledByRate(const LinkObservations& seen);
// The current values are not being refreshed: the port is closed, nothing valid came since it was opened,
// or the polls go unanswered.
[[nodiscard]] bool ValuesStale(const LinkObservations& seen);

LinkDiagnosis DiagnoseLink(const LinkObservations& seen);

// "ON LINE" or "OFF LINE", as the status bar shows it.
[[nodiscard]] bool IsOnLine(LinkReason reason);

// One or two plain sentences for the link panel's tooltip.
std::string ShortExplanation(const LinkDiagnosis& diagnosis, const LinkObservations& seen);

// The whole explanation, several lines, for the diagnosis window.
std::string FullExplanation(const LinkDiagnosis& diagnosis, const LinkObservations& seen, std::int64_t nowMs);

}  // namespace tessarin
