#include "link/link_diagnosis_system.h"

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace tessarin {

#ifdef _WIN32

void ObservePermissions(LinkObservations& /*seen*/) {}

std::vector<PortHolder> FindPortHolders(const std::string& /*devicePath*/) { return {}; }

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

std::vector<PortHolder> FindPortHolders(const std::string& devicePath) {
    std::vector<PortHolder> holders;
    if (devicePath.empty()) {
        return holders;
    }
    std::error_code error;
    const std::filesystem::path device = std::filesystem::weakly_canonical(devicePath, error);
    const int self = static_cast<int>(::getpid());
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        int pid = 0;
        const auto [end, parsed] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed != std::errc{} || end != name.data() + name.size() || pid == self) {
            continue;
        }
        std::error_code fdError;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(fd.path(), linkError) == device && !linkError) {
                std::ifstream comm(process.path() / "comm");
                std::string command;
                std::getline(comm, command);
                holders.push_back({pid, command});
                break;
            }
        }
    }
    return holders;
}

#endif

}  // namespace tessarin
