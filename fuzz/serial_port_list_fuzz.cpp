// The Linux serial-port list on arbitrary file contents: ParseSerialPortEntry, the index and port-name
// readers on every line, and the same contents written as an entry file and read back through
// SerialPortList and the listing that port discovery uses. What the parser accepts, the list must show;
// what it refuses, the list must not.
#include <stdlib.h>  // mkdtemp, setenv
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/port_discovery.h"
#include "link/serial_port_list.h"

namespace {

using tessarin::fuzz::Fail;
using tessarin::fuzz::Require;

constexpr std::uint32_t kEntryIndex = 3;

std::filesystem::path g_folder;
std::filesystem::path g_entryFile;
std::filesystem::path g_fakeTtyRoot;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

void CheckLine(std::string_view line) {
    if (const auto index = tessarin::ParseListIndex(line)) {
        Require(std::to_string(*index) == line, "a list index reads back as the digits it came from");
    }
    const std::string valueName = std::string(tessarin::kVcpValuePrefix) + std::string(line);
    Require(tessarin::VcpIndexOfValueName(valueName) == tessarin::ParseListIndex(line),
            "a value name's index is its suffix's");
    const std::int16_t number = tessarin::PortNumberFromName(line);
    Require(number >= -1, "a port number is -1 or a number");
    Require(number == -1 || line.starts_with("COM"), "only COM names give a number");
}

bool ValidPortName(std::string_view name) {
    if (name.empty() || name.size() > tessarin::kMaxPortNameLength) {
        return false;
    }
    for (const char c : name) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

bool ValidDevicePath(std::string_view path) {
    if (path.size() < 2 || path.front() != '/' || path.size() > tessarin::kMaxDevicePathLength) {
        return false;
    }
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // The list reads only folders and entries that nobody but the user may write.
    ::umask(077);
    // A memory file system where there is one: every run writes the entry file once.
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string folder = (base / "tessarin-fuzz-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr || ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1) != 0) {
        Fail("cannot set up a serial-port list folder");
    }
    g_folder = folder;
    std::atexit(RemoveFolder);
    const auto list = tessarin::SerialPortListFolder();
    std::filesystem::create_directories(list);
    ::chmod(list.c_str(), 0700);
    g_entryFile = list / ("VCP" + std::to_string(kEntryIndex));
    g_fakeTtyRoot = std::filesystem::path(folder) / "class" / "tty";
    std::filesystem::create_directories(g_fakeTtyRoot);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    const std::string_view contents(reinterpret_cast<const char*>(input), size);

    const auto parsed = tessarin::ParseSerialPortEntry(contents);
    if (parsed) {
        Require(size <= tessarin::kMaxEntryFileSize, "an entry file is small");
        Require(ValidPortName(parsed->PortName), "a listed port name is printable ASCII without blanks");
        Require(ValidDevicePath(parsed->DevicePath), "a listed device is an absolute path without controls");
        const auto again = tessarin::ParseSerialPortEntry(parsed->PortName + "\n" + parsed->DevicePath + "\n");
        Require(again && again->PortName == parsed->PortName && again->DevicePath == parsed->DevicePath,
                "an entry written back reads the same");
    }

    std::size_t start = 0;
    for (int lines = 0; start <= contents.size() && lines < 8; ++lines) {
        const std::size_t end = std::min(contents.find('\n', start), contents.size());
        CheckLine(contents.substr(start, end - start));
        start = end + 1;
    }

    // The same contents as entry file VCP3.
    {
        std::ofstream out(g_entryFile, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        if (!out) {
            Fail("cannot write the entry file");
        }
    }
    const tessarin::SerialPortList list(g_fakeTtyRoot);
    const std::string valueName = std::string(tessarin::kVcpValuePrefix) + std::to_string(kEntryIndex);
    const auto entry = list.EntryAt(kEntryIndex);
    const auto entries = list.Entries();
    const auto listing = tessarin::MakeSerialPortListListing(g_fakeTtyRoot);
    const std::string regText =
        tessarin::ReadRegText(*listing, tessarin::kHkeyLocalMachine, tessarin::kSerialCommKey, valueName);
    if (parsed) {
        Require(entry && entry->PortName == parsed->PortName && entry->DevicePath == parsed->DevicePath,
                "a well-formed file is its entry");
        Require(entries.size() == 1 && entries[0].Index == kEntryIndex, "the one file is the one entry");
        Require(list.PortNameFor(valueName) == parsed->PortName && regText == parsed->PortName,
                "the listing shows the file's port name");
        Require(list.DevicePathFor(parsed->PortName) == parsed->DevicePath, "the port name finds the device");
    } else {
        Require(!entry && entries.empty() && regText.empty(), "a malformed file is no entry");
    }
    return 0;
}
