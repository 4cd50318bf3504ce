// What the unit reports and keeps: current values, settings, and the content of its three logs.
#include "sim/unit_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <set>

#include "sim/sim_test_support.h"

namespace tessarin::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Request;

Bytes frameOf(const Bytes& onWire) { return {onWire.begin(), onWire.begin() + onWire[2]}; }

int word(const Bytes& d, std::size_t at) { return d[at] << 8 | d[at + 1]; }
int signedWord(const Bytes& d, std::size_t at) { return static_cast<std::int16_t>(word(d, at)); }

std::vector<Bytes> wholeLog(const UnitModel& unit, std::uint8_t code, int records) {
    std::vector<Bytes> log;
    for (int n = 1; n <= records; ++n) {
        log.push_back(unit.LogRecordPayload(code, n));
    }
    return log;
}

bool isEmptySlot(const Bytes& r) { return r[8] == 0xFF; }

TEST(UnitModel, FirstMinorGroundFaultRecordIsTheWorkedExample) {
    const UnitModel unit(1);
    EXPECT_EQ(unit.LogRecordPayload(0x04, 1),
              (Bytes{0x01, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 60, 12, 3, 5, 14, 7, 0xF0, 5, 0x00}));
}

struct LogCase {
    const char* name;
    std::uint8_t code;
    int records;
    std::function<bool(const Bytes&)> wanted;  // a record the log must hold
};

class LogContent : public ::testing::TestWithParam<LogCase> {};

TEST_P(LogContent, HoldsTheCasesAProgramMustShow) {
    for (const std::uint32_t seed : {1U, 2U, 77U, 4000000000U}) {
        const UnitModel unit(seed);
        const auto log = wholeLog(unit, GetParam().code, GetParam().records);
        for (std::size_t i = 0; i < log.size(); ++i) {
            ASSERT_EQ(log[i].size(), 16U);
            EXPECT_EQ(log[i][0], i + 1) << "records carry their own number";
        }
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), GetParam().wanted)) << "seed " << seed;
    }
}

bool filled(const Bytes& r) { return !isEmptySlot(r); }
bool v0Over(const Bytes& r) { return filled(r) && word(r, 1) >= ((r[13] & 0x08) != 0 ? 4572 : 1295); }
bool i0Over(const Bytes& r) { return filled(r) && word(r, 3) >= ((r[13] & 0x04) != 0 ? 7200 : 1050); }
bool zeroDate(const Bytes& r) { return filled(r) && r[9] == 0 && r[10] == 0 && r[11] == 0 && r[12] == 0; }
bool negativePhase(const Bytes& r) { return filled(r) && signedWord(r, 5) < 0; }

INSTANTIATE_TEST_SUITE_P(
    Logs, LogContent,
    ::testing::Values(
        LogCase{"FaultEmptySlot", 0x04, 100, isEmptySlot}, LogCase{"FaultZeroDate", 0x04, 100, zeroDate},
        LogCase{"FaultV0Over", 0x04, 100, v0Over}, LogCase{"FaultI0Over", 0x04, 100, i0Over},
        LogCase{"FaultNegativePhase", 0x04, 100, negativePhase},
        LogCase{"FaultPhaseNotMeasurable", 0x04, 100,
                [](const Bytes& r) { return filled(r) && signedWord(r, 5) >= 2000 && signedWord(r, 5) <= 2009; }},
        LogCase{"FaultDetectedAndConfirmed", 0x04, 100, [](const Bytes& r) { return filled(r) && r[14] == 10; }},
        LogCase{"OvgrEmptySlot", 0x05, 10, isEmptySlot}, LogCase{"OvgrZeroDate", 0x05, 10, zeroDate},
        LogCase{"OvgrV0Over", 0x05, 10, v0Over}, LogCase{"OvgrNegativePhase", 0x05, 10, negativePhase},
        LogCase{"DeviceEmptySlot", 0x06, 10, isEmptySlot}, LogCase{"DeviceZeroDate", 0x06, 10, zeroDate},
        LogCase{"DeviceSeveralEvents", 0x06, 10,
                [](const Bytes& r) { return filled(r) && std::popcount(static_cast<unsigned>(r[15] & 0xF8)) >= 2; }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UnitModel, DeviceStateLogShowsEveryKindOfEvent) {
    const UnitModel unit(5);
    std::uint8_t seen = 0;
    for (const auto& r : wholeLog(unit, 0x06, 10)) {
        if (filled(r)) {
            seen |= r[15];
        }
    }
    EXPECT_EQ(seen & 0xF8, 0xF8);
}

TEST(UnitModel, RecordsOutsideTheLogAreEmptySlotsUnderTheNumberAsked) {
    const UnitModel unit(1);
    for (const auto& [code, record] :
         std::vector<std::pair<std::uint8_t, int>>{{0x04, 0}, {0x04, 101}, {0x05, 11}, {0x06, 255}}) {
        const auto r = unit.LogRecordPayload(code, record);
        ASSERT_EQ(r.size(), 16U);
        EXPECT_EQ(r[0], record);
        EXPECT_EQ(r[8], 0xFF);
    }
    EXPECT_TRUE(unit.LogRecordPayload(0x00, 1).empty());
}

TEST(UnitModel, SameSeedSameUnitOtherSeedOtherLogs) {
    UnitModel a(42);
    UnitModel b(42);
    const UnitModel c(43);
    EXPECT_EQ(wholeLog(a, 0x04, 100), wholeLog(b, 0x04, 100));
    EXPECT_NE(wholeLog(a, 0x04, 100), wholeLog(c, 0x04, 100));
    const auto poll = frameOf(Request(0x00));
    for (int i = 0; i < 50; ++i) {
        const auto fromA = a.Handle(poll);
        const auto fromB = b.Handle(poll);
        ASSERT_TRUE(fromA && fromB);
        EXPECT_EQ(fromA->data, fromB->data);
    }
}

TEST(UnitModel, CurrentValuesMovePlausiblyUnlessFrozen) {
    UnitModel unit(9);
    const auto poll = frameOf(Request(0x00));
    std::set<int> v0s;
    std::set<int> phases;
    for (int i = 0; i < 400; ++i) {
        const auto answer = unit.Handle(poll);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->code, 0xA0);
        const Bytes& d = answer->data;
        ASSERT_EQ(d.size(), 24U);
        EXPECT_THAT(word(d, 2), ::testing::AllOf(::testing::Ge(150), ::testing::Le(650)));
        EXPECT_THAT(word(d, 4), ::testing::AllOf(::testing::Ge(20), ::testing::Le(450)));
        EXPECT_THAT(signedWord(d, 6), ::testing::AllOf(::testing::Ge(-900), ::testing::Le(1800)));
        EXPECT_THAT(d[8], ::testing::AnyOf(49, 50, 51, 59, 60, 61));
        v0s.insert(word(d, 2));
        phases.insert(signedWord(d, 6));
    }
    EXPECT_GT(v0s.size(), 20U);
    EXPECT_GT(phases.size(), 20U);

    unit.SetFrozen(true);
    const auto first = unit.Handle(poll);
    const auto second = unit.Handle(poll);
    EXPECT_EQ(first->data, second->data);
}

}  // namespace
}  // namespace tessarin::sim
