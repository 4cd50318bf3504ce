// The unit's own frame encoder and request scanner, against literal bytes.
#include "sim/unit_frames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/sim_test_support.h"

namespace tessarin::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Request;

const Bytes kPollOnWire{0xFF, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0xD8, 0x00, 0x00};
const Bytes kSettingsWrite{0xFF, 0x03, 0x16, 0x23, 0x02, 0x03, 0x00, 0x01, 0x0B, 0x00, 0x01,
                           0x00, 0x1A, 0x0C, 0x08, 0x05, 0x2A, 0x0A, 0x00, 0x01, 0xCC, 0xCA};

TEST(UnitFrames, BuildsThePollAndACurrentValueFrame) {
    EXPECT_EQ(BuildFrame(0x00, Bytes(15, 0x00)), Bytes(kPollOnWire.begin(), kPollOnWire.begin() + 20));
    const Bytes payload{0x00, 0x23, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 0x3C, 0x01, 0x0B, 0x00,
                        0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    const Bytes expected{0xFF, 0xA0, 0x1D, 0x00, 0x23, 0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 0x3C, 0x01, 0x0B, 0x00,
                         0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xCC, 0xDF};
    EXPECT_EQ(BuildFrame(0xA0, payload), expected);
}

struct ScanCase {
    const char* name;
    std::vector<Bytes> pieces;  // fed one after the other
    std::vector<Bytes> expected;
};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

Bytes frameOf(const Bytes& onWire) { return {onWire.begin(), onWire.begin() + onWire[2]}; }

class RequestScanning : public ::testing::TestWithParam<ScanCase> {};

TEST_P(RequestScanning, FindsEveryWholeValidRequest) {
    RequestScanner scanner;
    std::vector<Bytes> found;
    for (const auto& piece : GetParam().pieces) {
        scanner.Feed(piece, std::chrono::steady_clock::now());
        while (auto request = scanner.Next()) {
            found.push_back(request->frame);
        }
    }
    EXPECT_EQ(found, GetParam().expected);
    EXPECT_LT(scanner.Held(), 22U);
}

Bytes badChecksum() {
    Bytes b = Request(0x04, 7);
    b[19] ^= 0x01;
    return b;
}

Bytes noEndMark() {
    Bytes b = Request(0x04, 7);
    b[18] = 0xCD;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RequestScanning,
    ::testing::Values(ScanCase{"PollWithItsTrailingBytes", {kPollOnWire}, {frameOf(kPollOnWire)}},
                      ScanCase{"SettingsWriteThenPollTrailedByItsEndMarkAndChecksum",
                               {join({kSettingsWrite, Request(0x00, 0, {0xCC, 0xCA})})},
                               {kSettingsWrite, frameOf(kPollOnWire)}},
                      ScanCase{"TrailingStartMarkBeforeTheNextRequest",
                               {join({Request(0x06, 3, {0xCC, 0xFF}), Request(0x06, 4, {0xCC, 0xFF})})},
                               {frameOf(Request(0x06, 3)), frameOf(Request(0x06, 4))}},
                      ScanCase{"NoiseWithStartMarksBeforeARequest",
                               {join({Bytes{0x12, 0xFF, 0x30, 0xFF, 0xFF, 0x14, 0x00}, kPollOnWire})},
                               {frameOf(kPollOnWire)}},
                      ScanCase{"BadChecksumIsPassedOver", {join({badChecksum(), kPollOnWire})}, {frameOf(kPollOnWire)}},
                      ScanCase{
                          "MissingEndMarkIsPassedOver", {join({noEndMark(), kPollOnWire})}, {frameOf(kPollOnWire)}},
                      ScanCase{"ByteByByte",
                               [] {
                                   std::vector<Bytes> pieces;
                                   for (auto b : kSettingsWrite) {
                                       pieces.push_back({b});
                                   }
                                   return pieces;
                               }(),
                               {kSettingsWrite}},
                      ScanCase{"IncompleteRequestWaits", {Bytes(kPollOnWire.begin(), kPollOnWire.begin() + 19)}, {}},
                      ScanCase{"ResponseFramesAreNotRequests",
                               {join({BuildFrame(0xA1, Bytes(16, 0x01)), kPollOnWire})},
                               {frameOf(kPollOnWire)}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UnitFrames, RequestKeepsTheArrivalOfItsStartMark) {
    RequestScanner scanner;
    const auto early = std::chrono::steady_clock::time_point(std::chrono::seconds(5));
    const auto late = early + std::chrono::milliseconds(30);
    scanner.Feed(Bytes{0x00, 0xFF, 0x00}, early);
    EXPECT_FALSE(scanner.Next());
    scanner.Feed(Bytes(kPollOnWire.begin() + 2, kPollOnWire.end()), late);
    const auto request = scanner.Next();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->firstByteAt, early);
}

}  // namespace
}  // namespace tessarin::sim
