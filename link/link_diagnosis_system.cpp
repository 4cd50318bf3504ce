#include "link/link_diagnosis_system.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace tessarin {

#ifdef _WIN32

void ObservePermissions(LinkObservations& /*seen*/) {}

std::vector<PortHolder> FindPortHolders(const std::string& /*devicePath*/, std::chrono::steady_clock::duration,
                                        const ScanClock& /*clock*/) {
    return {};
}

#else

namespace {

constexpr int kMaxGroups = 256;

std::string groupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(gid);
    }
    return found->gr_name;
}

}  // namespace

void ObservePermissions(LinkObservations& seen) {
    struct stat info {};
    if (seen.devicePath.empty() || ::stat(seen.devicePath.c_str(), &info) != 0) {
        return;
    }
    seen.deviceGid = info.st_gid;
    seen.deviceGroup = groupName(info.st_gid);
    seen.groupMayOpen = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);

    // This process's groups were fixed at login; the database says what a new login would get.
    seen.processGroups.assign(1, ::getegid());
    std::vector<gid_t> groups(kMaxGroups);
    const int count = ::getgroups(kMaxGroups, groups.data());
    for (int i = 0; i < count; ++i) {
        seen.processGroups.push_back(groups[static_cast<std::size_t>(i)]);
    }

    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* user = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &user) != 0 || user == nullptr) {
        return;
    }
    seen.userName = user->pw_name;
    int listed = kMaxGroups;
    std::vector<gid_t> database(kMaxGroups);
    if (::getgrouplist(user->pw_name, user->pw_gid, database.data(), &listed) >= 0) {
        seen.databaseGroups.assign(database.begin(), database.begin() + listed);
    }
}

namespace {

// Descriptors read between two looks at the clock: a few hundred readlink calls take well under a millisecond.
constexpr int kDescriptorsPerClockRead = 256;

class Deadline {
  public:
    Deadline(std::chrono::steady_clock::duration budget, const ScanClock& clock)
        : m_clock(clock), m_end(clock() + budget) {}
    [[nodiscard]] bool Passed() const { return m_clock() >= m_end; }

  private:
    const ScanClock& m_clock;
    std::chrono::steady_clock::time_point m_end;
};

enum class FdScan { Holds, DoesNotHold, OutOfTime };

// Whether process `pid` (a folder of /proc, which `procFolder` has open) holds `device`, as far as the
// deadline lets us look.
FdScan holdsDevice(int procFolder, const std::string& pid, const std::string& device, const Deadline& deadline) {
    const int fdFolder = ::openat(procFolder, (pid + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder < 0) {
        return FdScan::DoesNotHold;
    }
    DIR* fds = ::fdopendir(fdFolder);
    if (fds == nullptr) {
        ::close(fdFolder);
        return FdScan::DoesNotHold;
    }
    FdScan result = FdScan::DoesNotHold;
    std::array<char, 4096> target{};
    int sinceClockRead = 0;
    while (const dirent* fd = ::readdir(fds)) {
        if (++sinceClockRead == kDescriptorsPerClockRead) {
            sinceClockRead = 0;
            if (deadline.Passed()) {
                result = FdScan::OutOfTime;
                break;
            }
        }
        const ssize_t n = ::readlinkat(fdFolder, fd->d_name, target.data(), target.size());
        if (n > 0 && std::string_view(target.data(), static_cast<std::size_t>(n)) == device) {
            result = FdScan::Holds;
            break;
        }
    }
    ::closedir(fds);
    return result;
}

std::string commandOf(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string command;
    std::getline(comm, command);
    return command;
}

}  // namespace

std::vector<PortHolder> FindPortHolders(const std::string& devicePath, std::chrono::steady_clock::duration budget,
                                        const ScanClock& clock) {
    std::vector<PortHolder> holders;
    if (devicePath.empty()) {
        return holders;
    }
    const Deadline deadline(budget, clock);
    std::error_code error;
    const std::string device = std::filesystem::weakly_canonical(devicePath, error).string();
    const int self = static_cast<int>(::getpid());
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return holders;
    }
    while (const dirent* process = ::readdir(proc)) {
        const std::string name = process->d_name;
        int pid = 0;
        const auto [end, parsed] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed != std::errc{} || end != name.data() + name.size() || pid == self) {
            continue;
        }
        if (deadline.Passed()) {
            break;
        }
        const FdScan scan = holdsDevice(::dirfd(proc), name, device, deadline);
        if (scan == FdScan::Holds) {
            holders.push_back({pid, commandOf(name)});
        } else if (scan == FdScan::OutOfTime) {
            break;
        }
    }
    ::closedir(proc);
    return holders;
}

#endif

}  // namespace tessarin
