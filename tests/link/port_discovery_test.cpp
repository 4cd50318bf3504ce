#include "link/port_discovery.h"

#include <gtest/gtest.h>

#include <string>

#include "link/fake_port_listing.h"

namespace tessarin {
namespace {

using test::FakePortListing;

TEST(PortNumberFromName, ComNames) {
    const struct {
        const char* name;
        std::int16_t number;
    } cases[] = {
        {"COM5", 5},  {"COM12", 12},  {"COM99", 99}, {"COM1", 1},  {"COM05", 5},  {"COM123", 123},
        {"COMA5", 5}, {"COMX12", 12}, {"COM1A", -1}, {"COMX", -1}, {"COM", -1},   {"", -1},
        {"LPT1", -1}, {"com5", -1},   {"COM 5", 5},  {"COM-5", 5}, {"COM5 ", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortNumberFromName(c.name), c.number) << '"' << c.name << '"';
    }
}

TEST(FindUnitPort, LowestIndexWins) {
    FakePortListing listing;
    listing.SetVcp(1, "COM8");
    listing.SetVcp(0, "COM12");
    DeviceData data;
    std::string name = "old";
    EXPECT_EQ(FindUnitPort(listing, data, name), 12);
    EXPECT_EQ(name, "\\Device\\VCP0");
    EXPECT_EQ(data.OsPlatform, kPlatformNt);
    EXPECT_EQ(listing.ReadCount(), 1);
}

TEST(FindUnitPort, SearchesUpToIndex99) {
    FakePortListing listing;
    listing.SetVcp(99, "COM3");
    listing.SetVcp(100, "COM4");  // beyond the search
    DeviceData data;
    std::string name;
    EXPECT_EQ(FindUnitPort(listing, data, name), 3);
    EXPECT_EQ(name, "\\Device\\VCP99");
    EXPECT_EQ(listing.ReadCount(), 100);
    EXPECT_EQ(listing.NamesAsked().front(), "\\Device\\VCP0");

    listing.RemoveVcp(99);
    EXPECT_EQ(FindUnitPort(listing, data, name), -1);
    EXPECT_EQ(name, "");
}

TEST(FindUnitPort, OtherEntriesAreNotTheUnit) {
    FakePortListing listing;
    listing.Set("\\Device\\Serial0", "COM1");
    DeviceData data;
    std::string name;
    EXPECT_EQ(FindUnitPort(listing, data, name), -1);
}

TEST(FindUnitPort, NameWithoutNumberKeepsTheValueName) {
    FakePortListing listing;
    listing.SetVcp(2, "COMX");
    DeviceData data;
    std::string name;
    EXPECT_EQ(FindUnitPort(listing, data, name), -1);
    EXPECT_EQ(name, "\\Device\\VCP2");
}

TEST(FindUnitPort, NothingSearchedWithoutTheList) {
    FakePortListing listing;
    listing.SetVcp(0, "COM5");
    listing.SetOsPlatform(1);
    DeviceData data;
    std::string name = "x";
    EXPECT_EQ(FindUnitPort(listing, data, name), -1);
    EXPECT_EQ(name, "");
    EXPECT_EQ(listing.ReadCount(), 0);
    EXPECT_EQ(data.OsPlatform, 1);
}

TEST(UnitPortPresent, FollowsTheList) {
    FakePortListing listing;
    DeviceData data;
    listing.SetVcp(4, "COM5");
    EXPECT_TRUE(UnitPortPresent(listing, data, FakePortListing::Vcp(4)));
    listing.RemoveVcp(4);
    EXPECT_FALSE(UnitPortPresent(listing, data, FakePortListing::Vcp(4)));
    EXPECT_FALSE(UnitPortPresent(listing, data, ""));
    listing.SetOsPlatform(1);
    EXPECT_TRUE(UnitPortPresent(listing, data, FakePortListing::Vcp(4)));
}

TEST(ReadRegText, StopsAtFirstNul) {
    FakePortListing listing;
    listing.SetVcp(0, std::string("COM7\0junk", 9));
    EXPECT_EQ(ReadRegText(listing, kHkeyLocalMachine, kSerialCommKey, FakePortListing::Vcp(0)), "COM7");
    EXPECT_EQ(ReadRegText(listing, kHkeyLocalMachine, "SOFTWARE", FakePortListing::Vcp(0)), "");
}

}  // namespace
}  // namespace tessarin
