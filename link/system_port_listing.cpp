// The serial-port listing of this machine: the registry on Windows, the serial-port list on Linux.
#include "link/port_listing.h"

#ifdef _WIN32
#include <windows.h>

#include <array>
#else
#include <strings.h>

#include "link/serial_port_list.h"
#endif

namespace tessarin {

namespace {

#ifdef _WIN32

constexpr DWORD kValueBufferSize = 1024;
constexpr DWORD kVersionInfoSize = 148;
constexpr REGSAM kQueryValueAccess = 1;  // KEY_QUERY_VALUE

class RegistryPortListing final : public PortListing {
  public:
    std::string ReadRegText(std::uint32_t root, const std::string& key, const std::string& valueName) override {
        HKEY opened = nullptr;
        // Predefined root keys are handle values with the high bit set; they are sign-extended on 64 bits.
        const auto rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
        if (RegOpenKeyExA(rootKey, key.c_str(), 0, kQueryValueAccess, &opened) != ERROR_SUCCESS) {
            return {};
        }
        std::array<char, kValueBufferSize + 1> buffer{};
        DWORD size = kValueBufferSize;
        const LONG status = RegQueryValueExA(opened, valueName.c_str(), nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(buffer.data()), &size);
        RegCloseKey(opened);
        if (status != ERROR_SUCCESS) {
            return {};
        }
        // The value need not end in NUL; the extra byte past the query's buffer always does.
        return std::string(buffer.data());
    }

    std::int16_t QueryOsPlatform() override {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = kVersionInfoSize;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        const BOOL ok = GetVersionExA(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
        return ok ? static_cast<std::int16_t>(info.dwPlatformId) : std::int16_t{0};
    }
};

#else

class SerialPortListListing final : public PortListing {
  public:
    explicit SerialPortListListing(std::filesystem::path sysfsTtyRoot) : m_list(std::move(sysfsTtyRoot)) {}

    std::string ReadRegText(std::uint32_t root, const std::string& key, const std::string& valueName) override {
        // Registry key names compare without regard to case.
        if (root != kHkeyLocalMachine || ::strcasecmp(key.c_str(), kSerialCommKey) != 0) {
            return {};
        }
        return m_list.PortNameFor(valueName);
    }

    // The list is always there: behave as the NT family.
    std::int16_t QueryOsPlatform() override { return kPlatformNt; }

    std::string UntrustedPart() override { return m_list.UntrustedPath(); }

  private:
    SerialPortList m_list;
};

#endif

}  // namespace

#ifndef _WIN32
std::unique_ptr<PortListing> MakeSerialPortListListing(std::filesystem::path sysfsTtyRoot) {
    return std::make_unique<SerialPortListListing>(std::move(sysfsTtyRoot));
}
#endif

std::unique_ptr<PortListing> MakeSystemPortListing() {
#ifdef _WIN32
    return std::make_unique<RegistryPortListing>();
#else
    return MakeSerialPortListListing(kSysfsTtyRoot);
#endif
}

}  // namespace tessarin
