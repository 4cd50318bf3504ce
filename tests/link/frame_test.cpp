#include "link/frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/fake_comm_port.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeCommPort;

// A response frame built here on its own, so a mistake in the code under test cannot hide in the test.
Bytes Response(std::uint8_t code, const Bytes& payload) {
    Bytes f{0xFF, code, static_cast<std::uint8_t>(payload.size() + 5)};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(0xCC);
    std::uint8_t x = 0;
    for (std::size_t i = 1; i < f.size(); ++i) {
        x ^= f[i];
    }
    f.push_back(x);
    return f;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

const Bytes kFrameA = Response(0xA4, {0x01, 0x02});        // FF A4 07 01 02 CC 6C
const Bytes kFrameB = Response(0xA4, {0x11, 0x22, 0x33});  // a second, different frame

TEST(CalcXor, CoversPositionsOneThroughN) {
    const Bytes poll{0xFF, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC};
    EXPECT_EQ(CalcXor(poll, 18), 0xD8);
    EXPECT_EQ(CalcXor(Bytes{0xFF, 0x12}, 1), 0x12);  // position 0 is never part of it
    EXPECT_EQ(CalcXor(poll, 0), 0);
    EXPECT_EQ(CalcXor(poll, -3), 0);
    EXPECT_EQ(CalcXor(Bytes{}, 5), 0);
    EXPECT_EQ(CalcXor(Bytes{0xFF, 0x01, 0x02}, 1000), 0x03);  // stops at the end of the buffer
}

TEST(BuildRequest, LeavesPositionsFromLengthOnUntouched) {
    std::array<std::uint8_t, kSendFrameSize> frame{};
    frame.fill(0x5A);
    BuildRequest(frame, 0x04, 0x14, Bytes{0x01});
    const Bytes expected = Cat({{0xFF, 0x04, 0x14, 0x01}, Bytes(14, 0x00), {0xCC, 0xDD, 0x5A, 0x5A}});
    EXPECT_EQ(Bytes(frame.begin(), frame.end()), expected);
}

// One AssembleFrame call per read; `extracted` is what each call hands back (nullopt: nothing).
struct AssemblyCase {
    std::string name;
    std::vector<Bytes> reads;
    std::vector<std::optional<Bytes>> extracted;
    std::optional<Bytes> bufferAfter;  // checked when given
};

class Assembly : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(Assembly, ExtractsAtMostOneFramePerCall) {
    const AssemblyCase& c = GetParam();
    ASSERT_EQ(c.reads.size(), c.extracted.size());
    Bytes buffer;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
        Bytes bytes = c.reads[i];
        AssembleFrame(bytes, buffer);
        if (c.extracted[i]) {
            EXPECT_EQ(bytes, *c.extracted[i]) << "call " << i;
        } else {
            EXPECT_TRUE(bytes.empty()) << "call " << i;
        }
    }
    if (c.bufferAfter) {
        EXPECT_EQ(buffer, *c.bufferAfter);
    }
}

const Bytes kBadEnd{0xFF, 0xA4, 0x07, 0x01, 0x02, 0x00, 0x6C};  // byte at L-2 is not CCh

INSTANTIATE_TEST_SUITE_P(
    Frames, Assembly,
    ::testing::Values(
        AssemblyCase{"WholeFrame", {kFrameA}, {kFrameA}, Bytes{}},
        AssemblyCase{"SplitOverThreeReads",
                     {{0xFF, 0xA4, 0x07}, {0x01, 0x02}, {0xCC, 0x6C}},
                     {std::nullopt, std::nullopt, kFrameA},
                     Bytes{}},
        AssemblyCase{"LoneStartMarkJoinedLater",
                     {{0xFF}, Bytes(kFrameA.begin() + 1, kFrameA.end())},
                     {std::nullopt, kFrameA},
                     Bytes{}},
        AssemblyCase{
            "TwoFramesInOneReadSecondDiscarded", {Cat({kFrameA, kFrameB}), {}}, {kFrameA, std::nullopt}, Bytes{}},
        AssemblyCase{"NoiseBeforeStartMark", {Cat({{0x01, 0xCC, 0x00}, kFrameA})}, {kFrameA}, Bytes{}},
        AssemblyCase{
            "NoStartMarkBytesStay", {{0x01, 0x02}, {0x03}}, {std::nullopt, std::nullopt}, Bytes{0x01, 0x02, 0x03}},
        AssemblyCase{"BadEndMarkSpoilsStartMarkNextFrameNeedsMoreBytes",
                     {Cat({kBadEnd, kFrameB}), {}, {0x55}},
                     {std::nullopt, std::nullopt, kFrameB},
                     Bytes{}},
        AssemblyCase{
            "BadEndMarkKeepsOtherBytes", {kBadEnd}, {std::nullopt}, Bytes{0x00, 0xA4, 0x07, 0x01, 0x02, 0x00, 0x6C}},
        AssemblyCase{
            "LengthZeroIsAMissingEndMark", {{0xFF, 0xA0, 0x00, 0xCC, 0x6C}, kFrameA}, {std::nullopt, kFrameA}, Bytes{}},
        AssemblyCase{"LengthOneIsAMissingEndMark", {{0xFF, 0xA0, 0x01}}, {std::nullopt}, Bytes{0x00, 0xA0, 0x01}},
        AssemblyCase{"IncompleteFrameWaitsForChecksum",
                     {Bytes(kFrameA.begin(), kFrameA.end() - 1)},
                     {std::nullopt},
                     Bytes(kFrameA.begin(), kFrameA.end() - 1)}),
    [](const ::testing::TestParamInfo<AssemblyCase>& p) { return p.param.name; });

TEST(AssemblyLimit, HeldBytesDroppedWhenNewBytesWouldNotFit) {
    Bytes buffer(kRcvBufferLimit - 10, 0x01);
    Bytes bytes = Cat({Bytes(5, 0x02), kFrameA});  // 12 bytes: would need positions beyond the limit
    AssembleFrame(bytes, buffer);
    EXPECT_EQ(bytes, kFrameA);
    EXPECT_TRUE(buffer.empty());

    buffer.assign(kRcvBufferLimit - 10, 0x01);
    bytes = Bytes(11, 0x02);
    AssembleFrame(bytes, buffer);
    EXPECT_EQ(buffer, Bytes(11, 0x02));

    buffer.assign(kRcvBufferLimit - 10, 0x01);
    bytes = Bytes(10, 0x02);  // exactly fits
    AssembleFrame(bytes, buffer);
    EXPECT_EQ(buffer.size(), kRcvBufferLimit);
    EXPECT_EQ(buffer.front(), 0x01);
}

TEST(AssemblyLimit, OversizedReadKeepsItsLatestBytes) {
    Bytes buffer{0x07};
    Bytes bytes = Cat({Bytes(kRcvBufferLimit + 100, 0x03), kFrameA});
    AssembleFrame(bytes, buffer);
    EXPECT_EQ(bytes, kFrameA);

    bytes = Cat({Bytes(kRcvBufferLimit + 100, 0x03), {0xFF, 0xA4}});
    AssembleFrame(bytes, buffer);
    ASSERT_EQ(buffer.size(), kRcvBufferLimit);
    EXPECT_EQ(buffer[kRcvBufferLimit - 2], 0xFF);
}

TEST(AssemblyLimit, ArbitraryBytesYieldOnlyWellFormedCandidates) {
    std::mt19937 random(7);
    Bytes buffer;
    int extracted = 0;
    for (int read = 0; read < 20000; ++read) {
        Bytes bytes(random() % 40);
        for (auto& b : bytes) {
            // Plenty of start and end marks and short lengths, to reach every branch.
            const std::uint32_t pick = random() % 8;
            b = pick == 0   ? 0xFF
                : pick == 1 ? 0xCC
                : pick == 2 ? static_cast<std::uint8_t>(random() % 8)
                            : static_cast<std::uint8_t>(random());
        }
        AssembleFrame(bytes, buffer);
        ASSERT_LE(buffer.size(), kRcvBufferLimit);
        if (!bytes.empty()) {
            ++extracted;
            ASSERT_GE(bytes.size(), 3U);
            EXPECT_EQ(bytes.front(), 0xFF);
            EXPECT_EQ(bytes[2], bytes.size());
            EXPECT_EQ(bytes[bytes.size() - 2], 0xCC);
            EXPECT_TRUE(buffer.empty());
        }
    }
    EXPECT_GT(extracted, 0);
}

TEST(CheckFrame, ComparesChecksumWithXor) {
    EXPECT_TRUE(CheckFrame(kFrameA));
    Bytes bad = kFrameA;
    bad.back() ^= 0x01;
    EXPECT_FALSE(CheckFrame(bad));
    EXPECT_FALSE(CheckFrame(Bytes{}));
    EXPECT_FALSE(CheckFrame(Bytes{0xFF}));
}

// A current-value payload whose frequency byte reads 50.
Bytes NowValuePayload() {
    Bytes p(24, 0x00);
    p[8] = 50;
    return p;
}

TEST(DispatchFrame, CurrentValuesGoToTheDecoder) {
    DeviceData data;
    data.PollPending = kPollOutstanding;
    int logRecords = 0;
    const Bytes frame = Response(0xA0, NowValuePayload());
    DispatchFrame(data, frame, [&] { ++logRecords; });
    EXPECT_EQ(data.PollPending, 0);
    EXPECT_EQ(data.NowValue.FreqText, "50Hz");
    EXPECT_EQ(data.RcvLast, static_cast<std::int16_t>(frame.size() - 1));
    EXPECT_EQ(logRecords, 0);
}

TEST(DispatchFrame, LogRecordsGoToTheHook) {
    for (const std::uint8_t code : {0xA1, 0xA2, 0xA3}) {
        DeviceData data;
        int logRecords = 0;
        DispatchFrame(data, Response(code, Bytes(16, 0x00)), [&] { ++logRecords; });
        EXPECT_EQ(logRecords, 1) << int{code};
        EXPECT_EQ(data.RcvFrame[1], code);
        EXPECT_TRUE(data.NowValue.FreqText.empty());
    }
    DeviceData data;
    DispatchFrame(data, Response(0xA1, Bytes(16, 0x00)), {});  // no hook set: nothing happens
    EXPECT_EQ(data.RcvFrame[1], 0xA1);
}

TEST(DispatchFrame, OtherCodeIsStoredOnlyAndOlderTailStays) {
    DeviceData data;
    DispatchFrame(data, kFrameB, {});  // 8 bytes
    data.PollPending = kPollOutstanding;
    int logRecords = 0;
    DispatchFrame(data, kFrameA, [&] { ++logRecords; });  // 7 bytes, code A4h
    EXPECT_EQ(data.PollPending, 0);
    EXPECT_EQ(data.RcvLast, 6);
    EXPECT_EQ(Bytes(data.RcvFrame.begin(), data.RcvFrame.begin() + 8), Cat({kFrameA, {kFrameB[7]}}));
    EXPECT_EQ(logRecords, 0);
    EXPECT_TRUE(data.NowValue.FreqText.empty());
}

TEST(ReceiveFrames, NothingWaitingReturnsFalse) {
    DeviceData data;
    FakeCommPort port;
    port.OpenAnything();
    ASSERT_NE(port.OpenPort(), 0);
    int pumps = 0;
    EXPECT_FALSE(ReceiveFrames(data, port, [&] { ++pumps; }, {}));
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(port.ReadCount(), 0);  // nothing waiting: nothing read
}

TEST(ReceiveFrames, DispatchesEachValidFrameAndLetsEventsRunBetween) {
    DeviceData data;
    FakeCommPort port;
    port.OpenAnything();
    ASSERT_NE(port.OpenPort(), 0);
    const Bytes nowValue = Response(0xA0, NowValuePayload());
    port.Deliver({nowValue.begin(), nowValue.begin() + 2});
    port.Deliver({nowValue.begin() + 2, nowValue.end()});
    port.Deliver(kFrameA);
    int pumps = 0;
    data.PollPending = kPollOutstanding;
    // The first pass ends at the read that completes no frame.
    EXPECT_FALSE(ReceiveFrames(data, port, [&] { ++pumps; }, {}));
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(data.PollPending, kPollOutstanding);
    // The next goes on while valid frames keep coming: completed A0h, A4h, then an empty read.
    EXPECT_TRUE(ReceiveFrames(data, port, [&] { ++pumps; }, {}));
    EXPECT_EQ(pumps, 4);
    EXPECT_EQ(data.NowValue.FreqText, "50Hz");
    EXPECT_EQ(data.RcvFrame[1], 0xA4);
    EXPECT_EQ(data.PollPending, 0);
    EXPECT_EQ(port.PendingChunks(), 0U);
}

TEST(ReceiveFrames, WrongChecksumDispatchesNothingButCounts) {
    DeviceData data;
    FakeCommPort port;
    port.OpenAnything();
    ASSERT_NE(port.OpenPort(), 0);
    Bytes bad = Response(0xA0, NowValuePayload());
    bad.back() ^= 0xFF;
    port.Deliver(bad);
    port.Deliver(kFrameA);
    data.PollPending = kPollOutstanding;
    EXPECT_TRUE(ReceiveFrames(data, port, {}, {}));
    EXPECT_EQ(data.PollPending, kPollOutstanding);
    EXPECT_EQ(data.RcvLast, 0);
    EXPECT_TRUE(data.NowValue.FreqText.empty());
    EXPECT_TRUE(data.RcvBuffer.empty());
    EXPECT_EQ(port.PendingChunks(), 1U);  // the pass ended at the bad frame
}

TEST(ReceiveFrames, ClosedPortReadsNothing) {
    DeviceData data;
    FakeCommPort port;
    port.Deliver(kFrameA);
    EXPECT_FALSE(ReceiveFrames(data, port, {}, {}));
    EXPECT_TRUE(data.RcvBuffer.empty());
}

}  // namespace
}  // namespace tessarin
