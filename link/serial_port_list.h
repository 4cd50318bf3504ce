// The Linux serial-port list: what the Windows registry key HARDWARE\DEVICEMAP\SERIALCOMM holds there.
//
// Folder $XDG_RUNTIME_DIR/tessarin/serialcomm/ (or /tmp/tessarin-<uid>/serialcomm/ when XDG_RUNTIME_DIR is
// unset or empty); it, the folder above it and its entries are read only while they are the user's alone
// (FolderIsPrivate). A regular file VCP<i> (i decimal, no leading zeros) is the entry for the value
// "\Device\VCP<i>": line 1 the port name (COM7), line 2 the absolute path of its tty (/dev/pts/4), LF or
// CRLF line ends. USB serial adapters bound to ftdi_sio are listed too: in ascending ttyUSB<k> order they
// take the indices 0, 1, ... with port name COM<k+1> and device /dev/ttyUSB<k>; a file with the same
// index takes precedence. Every operation reads the folder afresh (the list changes under us as adapters
// come and go) and costs at most a directory scan and a few small file reads. The adapters are looked for
// among the ports the driver's own folder names (FtdiDriverFolder), not among every tty of the system:
// discovery asks for a hundred values at every tick while no port is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_listing.h"

namespace tessarin {

inline constexpr const char* kSysfsTtyRoot = "/sys/class/tty";
inline constexpr const char* kVcpValuePrefix = "\\Device\\VCP";

// Limits that make an entry file malformed when exceeded.
inline constexpr std::size_t kMaxEntryFileSize = 4096;
inline constexpr std::size_t kMaxPortNameLength = 64;
inline constexpr std::size_t kMaxDevicePathLength = 1024;

struct SerialPortFileContents {
    std::string PortName;
    std::string DevicePath;
};

struct SerialPortEntry {
    std::uint32_t Index = 0;
    std::string PortName;
    std::string DevicePath;
};

// Contents of one VCP<i> file, or nullopt when malformed: over kMaxEntryFileSize bytes; fewer than two
// lines; anything but empty lines after the second; a port name that is empty, longer than
// kMaxPortNameLength or holds anything but printable ASCII without spaces; a device path that is not
// absolute, longer than kMaxDevicePathLength or holds control characters. A lone CR counts as a control
// character; CR before LF is a line end.
std::optional<SerialPortFileContents> ParseSerialPortEntry(std::string_view contents);

// The number in "VCP<i>" style suffixes: decimal digits without leading zeros, at most 9 of them.
std::optional<std::uint32_t> ParseListIndex(std::string_view digits);

// The index of a value name "\Device\VCP<i>" (prefix matched without regard to case, as the registry
// does), or nullopt.
std::optional<std::uint32_t> VcpIndexOfValueName(std::string_view valueName);

#ifndef _WIN32

// The sysfs folder of the ftdi_sio driver that belongs to a tty root: <root>/../../bus/usb-serial/drivers/
// ftdi_sio, so /sys/bus/usb-serial/drivers/ftdi_sio for /sys/class/tty. It holds an entry ttyUSB<k> for
// every port bound to the driver and does not exist while the driver is not loaded.
std::filesystem::path FtdiDriverFolder(const std::filesystem::path& sysfsTtyRoot);

// The user's own folder in the temporary folder `tempRoot`: <tempRoot>/tessarin-<uid>. With "/tmp" it is the
// folder that holds the list when XDG_RUNTIME_DIR is unset or empty.
std::filesystem::path UserTempFolder(const std::filesystem::path& tempRoot = "/tmp");

// The folder of the list, from the environment at the time of the call.
std::filesystem::path SerialPortListFolder();

// True when `folder` is a directory (not a symlink) owned by this user that neither its group nor others
// may write to. The list is only read from such folders: anyone can create folders in /tmp, and an entry
// decides which device the program opens and writes to. For the same reason an entry file is only read
// when it is the user's own and neither its group nor others may write to it.
bool FolderIsPrivate(const std::filesystem::path& folder);

class SerialPortList {
  public:
    // `sysfsTtyRoot` is where the ttyUSB<k> entries are looked for (tests pass a fake tree).
    explicit SerialPortList(std::filesystem::path sysfsTtyRoot = kSysfsTtyRoot);

    // All entries, ascending by index.
    [[nodiscard]] std::vector<SerialPortEntry> Entries() const;
    // The entry with index i, if any.
    [[nodiscard]] std::optional<SerialPortEntry> EntryAt(std::uint32_t index) const;
    // The port name listed under a value name "\Device\VCP<i>"; "" when there is none.
    [[nodiscard]] std::string PortNameFor(std::string_view valueName) const;
    // The device of the entry (lowest index first) whose port name is `portName` (compared without regard
    // to case, as Windows does), or nullopt.
    [[nodiscard]] std::optional<std::string> DevicePathFor(std::string_view portName) const;

    // The list folder (or the folder of ours above it) or the first VCP<i> entry that is not read because it
    // is someone else's or others may write to it; "" when there is none. Costs a directory scan.
    [[nodiscard]] std::string UntrustedPath() const;

    // The ttyUSB<k> numbers bound to ftdi_sio, ascending: those the driver's folder names whose
    // <root>/ttyUSB<k>/device/driver leads to ftdi_sio.
    [[nodiscard]] std::vector<std::uint32_t> FtdiAdapters() const;

  private:
    [[nodiscard]] std::optional<std::filesystem::path> readableFolder() const;
    [[nodiscard]] std::optional<SerialPortFileContents> readEntryFile(const std::filesystem::path& folder,
                                                                      std::uint32_t index) const;

    std::filesystem::path m_sysfsTtyRoot;
    std::filesystem::path m_ftdiDriverFolder;
};

// A PortListing over the list: ReadRegText(HKLM, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\VCP<i>") gives
// the port name of entry i ("" for other roots, keys or names); QueryOsPlatform gives 2. MakeSystemPortListing
// is this with the real sysfs tree.
std::unique_ptr<PortListing> MakeSerialPortListListing(std::filesystem::path sysfsTtyRoot);

#endif

}  // namespace tessarin
