// The About box's system-information tool on Windows: found through the two registry values, in their order,
// and "" when neither leads to a program. The test writes the values in the Wine prefix it runs in and puts
// back what was there.
#include <windows.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "ui/frm_about.h"

namespace tessarin::test {
namespace {

constexpr const wchar_t* kMsinfoKey = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const wchar_t* kLocationKey = L"SOFTWARE\\Microsoft\\Shared Tools Location";

std::optional<std::wstring> ReadValue(const wchar_t* key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

bool WriteValue(const wchar_t* key, const wchar_t* name, const std::optional<std::wstring>& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG status = ERROR_SUCCESS;
    if (value) {
        status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                                static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(handle, name);
        status = status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

// Holds one registry value for a test and puts the old one back afterwards.
class ScopedValue {
  public:
    ScopedValue(const wchar_t* key, const wchar_t* name) : m_key(key), m_name(name), m_old(ReadValue(key, name)) {}
    ~ScopedValue() { WriteValue(m_key, m_name, m_old); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;
    bool Set(const std::optional<std::wstring>& value) const { return WriteValue(m_key, m_name, value); }

  private:
    const wchar_t* m_key;
    const wchar_t* m_name;
    std::optional<std::wstring> m_old;
};

TEST(SysInfoRegistry, ThePathValueFirstThenTheToolsFolderThenNone) {
    ScopedValue path(kMsinfoKey, L"PATH");
    ScopedValue location(kLocationKey, L"MSINFO");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString tool = QDir::toNativeSeparators(folder.filePath(QStringLiteral("MSINFO32.EXE")));
    QFile file(tool);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    ASSERT_TRUE(path.Set(L"C:\\Tools\\msinfo32.exe"));
    ASSERT_TRUE(location.Set(QDir::toNativeSeparators(folder.path()).toStdWString()));
    EXPECT_EQ(FindSysInfoTool(), QStringLiteral("C:\\Tools\\msinfo32.exe")) << "the PATH value is taken as it is";

    ASSERT_TRUE(path.Set(std::nullopt));
    EXPECT_EQ(QDir::toNativeSeparators(FindSysInfoTool()), tool);

    ASSERT_TRUE(location.Set(L"C:\\no such folder"));
    EXPECT_EQ(FindSysInfoTool(), QString()) << "a folder without MSINFO32.EXE leads nowhere";
    ASSERT_TRUE(location.Set(std::nullopt));
    EXPECT_EQ(FindSysInfoTool(), QString());
}

}  // namespace
}  // namespace tessarin::test
