#include "link/serial_port_list.h"

#include <algorithm>
#include <cctype>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#endif

namespace tessarin {

namespace {

constexpr std::size_t kMaxIndexDigits = 9;

// Cuts the next line off `rest`; nullopt when no line is left. A CR right before the LF belongs to the
// line end.
std::optional<std::string_view> takeLine(std::string_view& rest) {
    if (rest.empty()) {
        return std::nullopt;
    }
    std::string_view line;
    const auto lf = rest.find('\n');
    if (lf == std::string_view::npos) {
        line = rest;
        rest = {};
    } else {
        line = rest.substr(0, lf);
        rest.remove_prefix(lf + 1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool validPortName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxPortNameLength &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

bool validDevicePath(std::string_view path) {
    return path.size() >= 2 && path.front() == '/' && path.size() <= kMaxDevicePathLength &&
           std::all_of(path.begin(), path.end(), [](char c) {
               const auto u = static_cast<unsigned char>(c);
               return u >= 0x20 && u != 0x7F;
           });
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<SerialPortFileContents> ParseSerialPortEntry(std::string_view contents) {
    if (contents.size() > kMaxEntryFileSize) {
        return std::nullopt;
    }
    std::string_view rest = contents;
    const auto name = takeLine(rest);
    const auto path = takeLine(rest);
    if (!name || !path || !validPortName(*name) || !validDevicePath(*path)) {
        return std::nullopt;
    }
    while (const auto extra = takeLine(rest)) {
        if (!extra->empty()) {
            return std::nullopt;
        }
    }
    return SerialPortFileContents{std::string(*name), std::string(*path)};
}

std::optional<std::uint32_t> ParseListIndex(std::string_view digits) {
    if (digits.empty() || digits.size() > kMaxIndexDigits || (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

std::optional<std::uint32_t> VcpIndexOfValueName(std::string_view valueName) {
    const std::string_view prefix = kVcpValuePrefix;
    if (valueName.size() <= prefix.size() || !equalsIgnoringCase(valueName.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    return ParseListIndex(valueName.substr(prefix.size()));
}

#ifndef _WIN32

namespace {

constexpr std::string_view kEntryFilePrefix = "VCP";
constexpr std::string_view kUsbTtyPrefix = "ttyUSB";
constexpr std::string_view kFtdiDriver = "ftdi_sio";

// An entry decides which device the program opens and writes to: only the user may have written it.
bool ownedAndPrivate(const struct stat& st) {
    return st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Reads a small regular file of this user's that nobody else may write, without following a symlink and
// without waiting on a FIFO; nullopt when it is anything else or larger than the limit.
std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ownedAndPrivate(st) && st.st_size >= 0 &&
        static_cast<std::size_t>(st.st_size) <= kMaxEntryFileSize) {
        std::array<char, kMaxEntryFileSize + 1> buffer{};
        std::size_t total = 0;
        bool ok = true;
        while (total < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + total, buffer.size() - total);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) {
                break;
            }
            total += static_cast<std::size_t>(n);
        }
        // The file may have grown since fstat: still refuse it when it is over the limit.
        if (ok && total <= kMaxEntryFileSize) {
            result.emplace(buffer.data(), total);
        }
    }
    ::close(fd);
    return result;
}

// Names of a directory's entries; empty when it cannot be read.
std::vector<std::string> directoryNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

std::optional<std::uint32_t> suffixIndex(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    return ParseListIndex(name.substr(prefix.size()));
}

bool boundToFtdi(const std::filesystem::path& link) {
    std::array<char, 512> target{};
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
        return false;
    }
    const std::string_view text(target.data(), static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    const auto base = slash == std::string_view::npos ? text : text.substr(slash + 1);
    return base == kFtdiDriver;
}

SerialPortEntry ftdiEntry(std::uint32_t index, std::uint32_t k) {
    return SerialPortEntry{index, "COM" + std::to_string(static_cast<std::uint64_t>(k) + 1),
                           "/dev/ttyUSB" + std::to_string(k)};
}

}  // namespace

std::filesystem::path UserTempFolder(const std::filesystem::path& tempRoot) {
    return tempRoot / ("tessarin-" + std::to_string(::getuid()));
}

std::filesystem::path SerialPortListFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");  // NOLINT(concurrency-mt-unsafe): read on one thread
    if (runtime != nullptr && *runtime != '\0') {
        return std::filesystem::path(runtime) / "tessarin" / "serialcomm";
    }
    return UserTempFolder() / "serialcomm";
}

bool FolderIsPrivate(const std::filesystem::path& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ownedAndPrivate(st);
}

std::filesystem::path FtdiDriverFolder(const std::filesystem::path& sysfsTtyRoot) {
    // "/sys/class/tty/" names the same folder as "/sys/class/tty".
    std::filesystem::path root = sysfsTtyRoot.lexically_normal();
    if (!root.has_filename()) {
        root = root.parent_path();
    }
    return root.parent_path().parent_path() / "bus" / "usb-serial" / "drivers" / kFtdiDriver;
}

SerialPortList::SerialPortList(std::filesystem::path sysfsTtyRoot)
    : m_sysfsTtyRoot(std::move(sysfsTtyRoot)), m_ftdiDriverFolder(FtdiDriverFolder(m_sysfsTtyRoot)) {}

std::optional<std::filesystem::path> SerialPortList::readableFolder() const {
    auto folder = SerialPortListFolder();
    // The list folder and the folder of ours that holds it must both be the user's alone (the runtime
    // folder above them is the system's doing).
    if (!FolderIsPrivate(folder.parent_path()) || !FolderIsPrivate(folder)) {
        return std::nullopt;
    }
    return folder;
}

std::string SerialPortList::UntrustedPath() const {
    const auto folder = SerialPortListFolder();
    for (const auto& path : {folder.parent_path(), folder}) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            return {};  // no list at all is no fault
        }
        if (!S_ISDIR(st.st_mode) || !ownedAndPrivate(st)) {
            return path.string();
        }
    }
    for (const auto& name : directoryNames(folder)) {
        struct stat st {};
        if (suffixIndex(name, kEntryFilePrefix) && ::lstat((folder / name).c_str(), &st) == 0 && !ownedAndPrivate(st)) {
            return (folder / name).string();
        }
    }
    return {};
}

std::optional<SerialPortFileContents> SerialPortList::readEntryFile(const std::filesystem::path& folder,
                                                                    std::uint32_t index) const {
    const auto contents = readSmallFile(folder / (std::string(kEntryFilePrefix) + std::to_string(index)));
    if (!contents) {
        return std::nullopt;
    }
    return ParseSerialPortEntry(*contents);
}

std::vector<std::uint32_t> SerialPortList::FtdiAdapters() const {
    // The driver's folder lists only its own ports (and is missing when the driver is not loaded), where
    // the tty folder lists every terminal of the system: reading it keeps a lookup to a few entries.
    std::vector<std::uint32_t> adapters;
    for (const auto& name : directoryNames(m_ftdiDriverFolder)) {
        const auto k = suffixIndex(name, kUsbTtyPrefix);
        if (k && boundToFtdi(m_sysfsTtyRoot / name / "device" / "driver")) {
            adapters.push_back(*k);
        }
    }
    std::sort(adapters.begin(), adapters.end());
    return adapters;
}

std::vector<SerialPortEntry> SerialPortList::Entries() const {
    std::map<std::uint32_t, SerialPortEntry> byIndex;
    if (const auto folder = readableFolder()) {
        for (const auto& name : directoryNames(*folder)) {
            const auto index = suffixIndex(name, kEntryFilePrefix);
            if (!index) {
                continue;
            }
            if (auto contents = readEntryFile(*folder, *index)) {
                byIndex.emplace(
                    *index, SerialPortEntry{*index, std::move(contents->PortName), std::move(contents->DevicePath)});
            }
        }
    }
    const auto adapters = FtdiAdapters();
    for (std::uint32_t i = 0; i < adapters.size(); ++i) {
        byIndex.emplace(i, ftdiEntry(i, adapters[i]));  // no effect where a file holds index i
    }
    std::vector<SerialPortEntry> entries;
    entries.reserve(byIndex.size());
    for (auto& [index, entry] : byIndex) {
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<SerialPortEntry> SerialPortList::EntryAt(std::uint32_t index) const {
    if (const auto folder = readableFolder()) {
        if (auto contents = readEntryFile(*folder, index)) {
            return SerialPortEntry{index, std::move(contents->PortName), std::move(contents->DevicePath)};
        }
    }
    const auto adapters = FtdiAdapters();
    if (index < adapters.size()) {
        return ftdiEntry(index, adapters[index]);
    }
    return std::nullopt;
}

std::string SerialPortList::PortNameFor(std::string_view valueName) const {
    const auto index = VcpIndexOfValueName(valueName);
    if (!index) {
        return {};
    }
    auto entry = EntryAt(*index);
    return entry ? std::move(entry->PortName) : std::string();
}

std::optional<std::string> SerialPortList::DevicePathFor(std::string_view portName) const {
    for (auto& entry : Entries()) {
        if (equalsIgnoringCase(entry.PortName, portName)) {
            return std::move(entry.DevicePath);
        }
    }
    return std::nullopt;
}

#endif

}  // namespace tessarin
