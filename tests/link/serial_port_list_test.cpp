#include "link/serial_port_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The list's folder and files exist on POSIX systems only; its name parsing is common to both.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "serial_test_support.h"
#endif

namespace tessarin {
namespace {

TEST(ParseSerialPortEntry, AcceptsTwoLinesWithEitherLineEnd) {
    const std::vector<std::string> good = {
        "COM7\n/dev/pts/4\n",
        "COM7\r\n/dev/pts/4\r\n",
        "COM7\n/dev/pts/4",
        "COM7\r\n/dev/pts/4\n\n\r\n",
    };
    for (const auto& text : good) {
        SCOPED_TRACE(text);
        const auto entry = ParseSerialPortEntry(text);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->PortName, "COM7");
        EXPECT_EQ(entry->DevicePath, "/dev/pts/4");
    }
    const auto spaced = ParseSerialPortEntry("COM12\n/dev/serial/by-id/usb-My Adapter-if00\n");
    ASSERT_TRUE(spaced.has_value());
    EXPECT_EQ(spaced->DevicePath, "/dev/serial/by-id/usb-My Adapter-if00");
}

TEST(ParseSerialPortEntry, RefusesMalformedContents) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"empty", ""},
        {"one line", "COM7\n"},
        {"empty name", "\n/dev/pts/4\n"},
        {"empty path", "COM7\n\n"},
        {"name with a space", "COM 7\n/dev/pts/4\n"},
        {"name with a tab", "COM7\t\n/dev/pts/4\n"},
        {"name with a byte above ASCII", "COM\xEF\xBC\x97\n/dev/pts/4\n"},
        {"relative path", "COM7\ndev/pts/4\n"},
        {"root alone", "COM7\n/\n"},
        {"path with a control character", "COM7\n/dev/pts/\x01\n"},
        {"lone CR", "COM7\r/dev/pts/4\n"},
        {"NUL in the path", std::string("COM7\n/dev/pts/4\0x\n", 17)},
        {"third line", "COM7\n/dev/pts/4\nCOM8\n"},
        {"over the size limit", "COM7\n/dev/pts/4\n" + std::string(kMaxEntryFileSize, '\n')},
        {"name too long", std::string(kMaxPortNameLength + 1, 'C') + "\n/dev/pts/4\n"},
        {"path too long", "COM7\n/" + std::string(kMaxDevicePathLength, 'd') + "\n"},
    };
    for (const auto& [name, text] : bad) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ParseSerialPortEntry(text).has_value());
    }
}

TEST(SerialPortListNames, IndicesAreDecimalWithoutLeadingZeros) {
    EXPECT_EQ(ParseListIndex("0"), 0U);
    EXPECT_EQ(ParseListIndex("12"), 12U);
    EXPECT_EQ(ParseListIndex("999999999"), 999999999U);
    for (const char* bad : {"", "01", "00", "1a", "-1", "+1", " 1", "1000000000"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseListIndex(bad).has_value());
    }
    EXPECT_EQ(VcpIndexOfValueName("\\Device\\VCP3"), 3U);
    EXPECT_EQ(VcpIndexOfValueName("\\DEVICE\\vcp10"), 10U);
    for (const char* bad : {"\\Device\\VCP", "\\Device\\VCP03", "Device\\VCP3", "\\Device\\Serial0", "VCP3"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(VcpIndexOfValueName(bad).has_value());
    }
}

#ifndef _WIN32

using test::ScopedEnv;
using test::SerialListFolder;
using test::TempDir;

TEST(SerialPortListFolder, FollowsTheRuntimeFolderAndFallsBackToTmp) {
    const std::string fallback = "/tmp/tessarin-" + std::to_string(::getuid()) + "/serialcomm";
    {
        ScopedEnv env("XDG_RUNTIME_DIR", "/run/user/4242");
        EXPECT_EQ(SerialPortListFolder(), "/run/user/4242/tessarin/serialcomm");
    }
    {
        ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(SerialPortListFolder(), fallback);
    }
    {
        ScopedEnv env("XDG_RUNTIME_DIR", "");
        EXPECT_EQ(SerialPortListFolder(), fallback);
    }
}

TEST(SerialPortListFolder, PrivateMeansOwnDirectoryNotWritableByAll) {
    TempDir dir;
    const auto folder = dir.Path() / "serialcomm";
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0700);
    EXPECT_TRUE(FolderIsPrivate(folder));
    ::chmod(folder.c_str(), 0777);
    EXPECT_FALSE(FolderIsPrivate(folder));
    ::chmod(folder.c_str(), 0700);

    const auto link = dir.Path() / "link";
    std::filesystem::create_directory_symlink(folder, link);
    EXPECT_FALSE(FolderIsPrivate(link));
    EXPECT_FALSE(FolderIsPrivate(dir.Path() / "missing"));
}

// A fake sysfs. What it can do: class/tty/ttyUSB<k> entries whose device/driver link names a driver, with
// the port's entry in that driver's folder bus/usb-serial/drivers/<driver>/ (AddUsbTty), or either of the two
// alone (AddTtyOnly, AddDriverEntryOnly); plain tty entries (AddPlain). Root() is the fake class/tty.
class FakeSysfs {
  public:
    FakeSysfs() { std::filesystem::create_directories(Root()); }
    void AddUsbTty(std::uint32_t k, const std::string& driver) const {
        AddTtyOnly(k, driver);
        AddDriverEntryOnly(k, driver);
    }
    void AddTtyOnly(std::uint32_t k, const std::string& driver) const {
        const auto device = Root() / ("ttyUSB" + std::to_string(k)) / "device";
        std::filesystem::create_directories(device);
        std::filesystem::create_symlink("../../../../bus/usb-serial/drivers/" + driver, device / "driver");
    }
    void AddDriverEntryOnly(std::uint32_t k, const std::string& driver) const {
        std::filesystem::create_directories(DriverFolder(driver) / ("ttyUSB" + std::to_string(k)));
    }
    void AddDriver(const std::string& driver) const { std::filesystem::create_directories(DriverFolder(driver)); }
    void AddPlain(const std::string& name) const { std::filesystem::create_directories(Root() / name); }
    [[nodiscard]] std::filesystem::path Root() const { return m_sys.Path() / "class" / "tty"; }
    [[nodiscard]] std::filesystem::path DriverFolder(const std::string& driver) const {
        return m_sys.Path() / "bus" / "usb-serial" / "drivers" / driver;
    }

  private:
    TempDir m_sys;
};

class SerialPortListTest : public ::testing::Test {
  protected:
    SerialListFolder m_list;
    FakeSysfs m_sysfs;
};

TEST_F(SerialPortListTest, ListsWellFormedRegularFilesOnly) {
    m_list.Write(0, "COM7", "/dev/pts/4");
    m_list.Write(2, "COM12", "/dev/pts/9");
    m_list.WriteRaw("VCP01", "COM8\n/dev/pts/5\n");
    m_list.WriteRaw("VCPx", "COM8\n/dev/pts/5\n");
    m_list.WriteRaw("VCP3", "COM8\n");
    m_list.WriteRaw("target", "COM8\n/dev/pts/5\n");
    std::filesystem::create_symlink(m_list.Folder() / "target", m_list.Folder() / "VCP4");
    ASSERT_EQ(::mkfifo((m_list.Folder() / "VCP5").c_str(), 0600), 0);  // must not make a reader wait
    std::filesystem::create_directory(m_list.Folder() / "VCP6");

    const SerialPortList list(m_sysfs.Root());
    const auto entries = list.Entries();
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].Index, 0U);
    EXPECT_EQ(entries[0].PortName, "COM7");
    EXPECT_EQ(entries[0].DevicePath, "/dev/pts/4");
    EXPECT_EQ(entries[1].Index, 2U);
    EXPECT_EQ(entries[1].PortName, "COM12");

    EXPECT_EQ(list.PortNameFor("\\Device\\VCP2"), "COM12");
    for (const char* missing : {"\\Device\\VCP1", "\\Device\\VCP3", "\\Device\\VCP4", "\\Device\\VCP5",
                                "\\Device\\VCP6", "\\Device\\VCP01", "\\Device\\Serial0"}) {
        SCOPED_TRACE(missing);
        EXPECT_EQ(list.PortNameFor(missing), "");
    }
    EXPECT_EQ(list.DevicePathFor("COM12"), "/dev/pts/9");
    EXPECT_EQ(list.DevicePathFor("com7"), "/dev/pts/4");
    EXPECT_FALSE(list.DevicePathFor("COM8").has_value());
}

// What another user could have written is not read: a folder its group may write, or an entry that is
// someone else's or writable by its group or others. The list names the first such part for the diagnosis.
TEST_F(SerialPortListTest, FoldersAndEntriesOthersCouldWriteAreNotRead) {
    const auto folder = m_list.Folder();
    const auto entry = folder / "VCP1";
    struct Case {
        const char* name;
        std::filesystem::path path;  // chmod'ed to `mode`, or chown'ed to nobody when mode is 0
        mode_t mode;
        std::vector<std::uint32_t> listed;
        std::filesystem::path untrusted;
    };
    const Case cases[] = {
        {"all ours", folder, 0700, {0, 1}, ""},
        {"list folder group-writable", folder, 0770, {}, folder},
        {"list folder writable by all", folder, 0777, {}, folder},
        {"folder above group-writable", folder.parent_path(), 0775, {}, folder.parent_path()},
        {"entry group-writable", entry, 0660, {0}, entry},
        {"entry writable by all", entry, 0646, {0}, entry},
        {"entry someone else's", entry, 0, {0}, entry},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::permissions(folder.parent_path(), std::filesystem::perms::owner_all);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        m_list.Write(0, "COM7", "/dev/pts/4");
        m_list.Write(1, "COM8", "/dev/pts/5");
        if (c.mode != 0) {
            ASSERT_EQ(::chmod(c.path.c_str(), c.mode), 0);
        } else if (::geteuid() != 0) {
            continue;  // only root can give a file away
        } else {
            ASSERT_EQ(::chown(c.path.c_str(), 65534, 65534), 0);
        }
        const SerialPortList list(m_sysfs.Root());
        std::vector<std::uint32_t> listed;
        for (const auto& e : list.Entries()) {
            listed.push_back(e.Index);
        }
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(list.EntryAt(1).has_value(), c.listed.size() == 2);
        EXPECT_EQ(MakeSerialPortListListing(m_sysfs.Root())->UntrustedPart(), c.untrusted.string());
        m_list.Remove(0);
        m_list.Remove(1);
    }
}

TEST_F(SerialPortListTest, RemovingTheFileRemovesTheEntry) {
    const SerialPortList list(m_sysfs.Root());
    m_list.Write(0, "COM7", "/dev/pts/4");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP0"), "COM7");
    m_list.Remove(0);
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP0"), "");
    EXPECT_TRUE(list.Entries().empty());
}

TEST_F(SerialPortListTest, FtdiAdaptersTakeIndicesInAscendingOrderUnlessAFileHoldsThem) {
    m_sysfs.AddUsbTty(10, "ftdi_sio");
    m_sysfs.AddUsbTty(0, "ftdi_sio");
    m_sysfs.AddUsbTty(1, "cp210x");
    m_sysfs.AddUsbTty(3, "ftdi_sio");
    m_sysfs.AddPlain("ttyS0");
    m_sysfs.AddPlain("ttyUSB4");  // no driver bound
    const SerialPortList list(m_sysfs.Root());

    EXPECT_EQ(list.FtdiAdapters(), (std::vector<std::uint32_t>{0, 3, 10}));
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP0"), "COM1");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP1"), "COM4");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP2"), "COM11");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP3"), "");
    EXPECT_EQ(list.DevicePathFor("COM11"), "/dev/ttyUSB10");

    m_list.Write(1, "COM20", "/dev/pts/3");
    const auto entries = list.Entries();
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].DevicePath, "/dev/ttyUSB0");
    EXPECT_EQ(entries[1].PortName, "COM20");
    EXPECT_EQ(entries[1].DevicePath, "/dev/pts/3");
    EXPECT_EQ(entries[2].DevicePath, "/dev/ttyUSB10");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP1"), "COM20");
    EXPECT_FALSE(list.DevicePathFor("COM4").has_value());

    // A malformed file holds nothing, so the adapter shows again.
    m_list.WriteRaw("VCP1", "COM20\n");
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP1"), "COM4");
}

TEST_F(SerialPortListTest, AdaptersAreThePortsTheFtdiDriverHoldsWhoseTtyLeadsToIt) {
    EXPECT_EQ(FtdiDriverFolder(m_sysfs.Root()), m_sysfs.DriverFolder("ftdi_sio"));
    EXPECT_EQ(FtdiDriverFolder("/sys/class/tty"), "/sys/bus/usb-serial/drivers/ftdi_sio");
    EXPECT_EQ(FtdiDriverFolder("/sys/class/tty/"), "/sys/bus/usb-serial/drivers/ftdi_sio");

    // Driver not loaded: its folder is missing, so no tty is looked at.
    m_sysfs.AddTtyOnly(0, "ftdi_sio");
    EXPECT_TRUE(SerialPortList(m_sysfs.Root()).FtdiAdapters().empty());
    EXPECT_EQ(SerialPortList(m_sysfs.Root()).PortNameFor("\\Device\\VCP0"), "");

    // Loaded with nothing bound (the adapter was unplugged, the module stays).
    m_sysfs.AddDriver("ftdi_sio");
    EXPECT_TRUE(SerialPortList(m_sysfs.Root()).FtdiAdapters().empty());

    m_sysfs.AddDriverEntryOnly(0, "ftdi_sio");
    m_sysfs.AddDriverEntryOnly(2, "ftdi_sio");  // its tty has already gone
    m_sysfs.AddUsbTty(5, "ftdi_sio");
    m_sysfs.AddUsbTty(1, "cp210x");
    m_sysfs.AddTtyOnly(3, "ftdi_sio");  // not (or no longer) bound
    const SerialPortList list(m_sysfs.Root());
    EXPECT_EQ(list.FtdiAdapters(), (std::vector<std::uint32_t>{0, 5}));
    EXPECT_EQ(list.PortNameFor("\\Device\\VCP1"), "COM6");
    EXPECT_EQ(list.DevicePathFor("COM6"), "/dev/ttyUSB5");
}

TEST_F(SerialPortListTest, FirstEntryWithThePortNameGivesTheDevice) {
    m_list.Write(5, "COM7", "/dev/pts/15");
    m_list.Write(3, "COM7", "/dev/pts/13");
    EXPECT_EQ(SerialPortList(m_sysfs.Root()).DevicePathFor("COM7"), "/dev/pts/13");
}

TEST_F(SerialPortListTest, ListingAnswersOnlyForTheSerialCommKey) {
    m_list.Write(0, "COM5", "/dev/pts/4");
    const auto listing = MakeSerialPortListListing(m_sysfs.Root());
    EXPECT_EQ(listing->QueryOsPlatform(), 2);
    EXPECT_EQ(listing->ReadRegText(kHkeyLocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\VCP0"), "COM5");
    EXPECT_EQ(listing->ReadRegText(kHkeyLocalMachine, "hardware\\devicemap\\serialcomm", "\\Device\\VCP0"), "COM5");
    EXPECT_EQ(listing->ReadRegText(0x80000001U, kSerialCommKey, "\\Device\\VCP0"), "");
    EXPECT_EQ(listing->ReadRegText(kHkeyLocalMachine, "HARDWARE\\DEVICEMAP", "\\Device\\VCP0"), "");
    EXPECT_EQ(listing->ReadRegText(kHkeyLocalMachine, kSerialCommKey, "\\Device\\VCP1"), "");
}

#endif  // _WIN32

}  // namespace
}  // namespace tessarin
