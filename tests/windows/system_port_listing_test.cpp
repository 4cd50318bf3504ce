// The registry listing of the Windows build: RegOpenKeyExA / RegQueryValueExA / RegCloseKey under
// HKLM "HARDWARE\DEVICEMAP\SERIALCOMM", and GetVersionExA. The tests write their own values into that key,
// so they belong in a throw-away Wine prefix (scripts/windows-test); where the key cannot be written
// (no administrator rights) they are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/device_data.h"
#include "link/port_discovery.h"
#include "link/port_listing.h"

namespace tessarin {
namespace {

// The serial-port key opened for writing. What it can do: set a value of any type and bytes, delete a
// value, and remove every "\Device\VCP<i>" value (i up to 99) so each test starts from an empty adapter list.
class SerialCommKey {
  public:
    SerialCommKey() {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
        }
    }
    ~SerialCommKey() {
        if (m_key != nullptr) {
            RemoveAllVcp();
            RegCloseKey(m_key);
        }
    }
    SerialCommKey(const SerialCommKey&) = delete;
    SerialCommKey& operator=(const SerialCommKey&) = delete;
    SerialCommKey(SerialCommKey&&) = delete;
    SerialCommKey& operator=(SerialCommKey&&) = delete;

    [[nodiscard]] bool Ok() const { return m_key != nullptr; }

    bool Set(const std::string& name, DWORD type, const std::string& bytes) const {
        return RegSetValueExA(m_key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }
    // A string value as the registry stores one: the text and its NUL.
    bool SetText(const std::string& name, const std::string& text) const {
        return Set(name, REG_SZ, text + std::string(1, '\0'));
    }
    void Delete(const std::string& name) const { RegDeleteValueA(m_key, name.c_str()); }
    void RemoveAllVcp() const {
        for (int i = 0; i <= kVcpLastIndex; ++i) {
            Delete(kUnitValueNamePrefix + std::to_string(i));
        }
    }

  private:
    HKEY m_key = nullptr;
};

class SystemPortListing : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_key.Ok()) {
            GTEST_SKIP() << "HKLM\\" << kSerialCommKey << " cannot be written here";
        }
        m_key.RemoveAllVcp();
    }

    std::string Read(const std::string& valueName, std::uint32_t root = kHkeyLocalMachine,
                     const std::string& key = kSerialCommKey) {
        return m_listing->ReadRegText(root, key, valueName);
    }

    SerialCommKey m_key;
    std::unique_ptr<PortListing> m_listing = MakeSystemPortListing();
};

TEST_F(SystemPortListing, PlatformIsTheNtFamily) { EXPECT_EQ(m_listing->QueryOsPlatform(), kPlatformNt); }

TEST_F(SystemPortListing, ValueTextUpToItsFirstNulWhateverItsType) {
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        std::string text;
    };
    const std::string full(1024, 'C');
    const Case cases[] = {
        {"string", REG_SZ, std::string("COM12\0", 6), "COM12"},
        {"string without its NUL", REG_SZ, "COM7", "COM7"},
        {"multi-string", REG_MULTI_SZ, std::string("COM3\0COM4\0\0", 11), "COM3"},
        {"binary", REG_BINARY, std::string("COM9\0xyz", 8), "COM9"},
        {"number", REG_DWORD, std::string("COM8", 4), "COM8"},
        {"empty string", REG_SZ, std::string("\0", 1), ""},
        {"1024 bytes fill the buffer", REG_BINARY, full, full},
        {"1025 bytes do not fit", REG_BINARY, full + "C", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(m_key.Set("\\Device\\VCP5", c.type, c.bytes));
        EXPECT_EQ(Read("\\Device\\VCP5"), c.text);
    }
}

TEST_F(SystemPortListing, MissingKeyValueOrRootReadsEmpty) {
    ASSERT_TRUE(m_key.SetText("\\Device\\VCP0", "COM5"));
    EXPECT_EQ(Read("\\Device\\VCP0"), "COM5");
    EXPECT_EQ(Read("\\device\\vcp0", kHkeyLocalMachine, "hardware\\devicemap\\serialcomm"), "COM5");
    EXPECT_EQ(Read("\\Device\\VCP1"), "");
    EXPECT_EQ(Read("\\Device\\VCP0", kHkeyLocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM\\Missing"), "");
    EXPECT_EQ(Read("\\Device\\VCP0", 0x80000001U, kSerialCommKey), "");  // HKEY_CURRENT_USER
}

TEST_F(SystemPortListing, DiscoveryFollowsTheRegistry) {
    ASSERT_TRUE(m_key.SetText("\\Device\\VCP3", "COM5"));
    ASSERT_TRUE(m_key.SetText("\\Device\\VCP1", "COM12"));
    ASSERT_TRUE(m_key.SetText("\\Device\\Serial7", "COM1"));
    DeviceData data;
    std::string name;
    EXPECT_EQ(FindUnitPort(*m_listing, data, name), 12);
    EXPECT_EQ(name, "\\Device\\VCP1");
    EXPECT_EQ(data.OsPlatform, kPlatformNt);
    EXPECT_TRUE(UnitPortPresent(*m_listing, data, name));

    m_key.Delete("\\Device\\VCP1");
    EXPECT_FALSE(UnitPortPresent(*m_listing, data, name));
    EXPECT_EQ(FindUnitPort(*m_listing, data, name), 5);
    EXPECT_EQ(name, "\\Device\\VCP3");

    m_key.Delete("\\Device\\VCP3");
    EXPECT_EQ(FindUnitPort(*m_listing, data, name), -1);
    EXPECT_EQ(name, "");
    m_key.Delete("\\Device\\Serial7");
}

}  // namespace
}  // namespace tessarin
