#include "link/frame_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

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

// One Push per read; `extracted` is what each call hands back (nullopt: nothing).
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
    FrameAssembler assembler;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
        EXPECT_EQ(assembler.Push(c.reads[i]), c.extracted[i]) << "call " << i;
    }
    if (c.bufferAfter) {
        EXPECT_EQ(Bytes(assembler.Held().begin(), assembler.Held().end()), *c.bufferAfter);
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

Bytes Held(const FrameAssembler& assembler) { return {assembler.Held().begin(), assembler.Held().end()}; }

TEST(AssemblyLimit, HeldBytesDroppedWhenNewBytesWouldNotFit) {
    // 12 new bytes behind limit - 10 held would need positions beyond the limit: the held ones go.
    FrameAssembler a;
    EXPECT_EQ(a.Push(Bytes(kRcvBufferLimit - 10, 0x01)), std::nullopt);
    EXPECT_EQ(a.Push(Cat({Bytes(5, 0x02), kFrameA})), kFrameA);
    EXPECT_TRUE(a.Held().empty());
    EXPECT_EQ(a.Counters().discardedBytes, kRcvBufferLimit - 10 + 5);

    FrameAssembler b;
    (void)b.Push(Bytes(kRcvBufferLimit - 10, 0x01));
    (void)b.Push(Bytes(11, 0x02));
    EXPECT_EQ(Held(b), Bytes(11, 0x02));

    FrameAssembler c;
    (void)c.Push(Bytes(kRcvBufferLimit - 10, 0x01));
    (void)c.Push(Bytes(10, 0x02));  // exactly fits
    EXPECT_EQ(c.Held().size(), kRcvBufferLimit);
    EXPECT_EQ(c.Held().front(), 0x01);
}

TEST(AssemblyLimit, OversizedReadKeepsItsLatestBytes) {
    FrameAssembler a;
    (void)a.Push(Bytes{0x07});
    EXPECT_EQ(a.Push(Cat({Bytes(kRcvBufferLimit + 100, 0x03), kFrameA})), kFrameA);
    (void)a.Push(Cat({Bytes(kRcvBufferLimit + 100, 0x03), {0xFF, 0xA4}}));
    ASSERT_EQ(a.Held().size(), kRcvBufferLimit);
    EXPECT_EQ(a.Held()[kRcvBufferLimit - 2], 0xFF);
}

TEST(AssemblyLimit, ArbitraryBytesYieldOnlyWellFormedCandidates) {
    std::mt19937 random(7);
    FrameAssembler assembler;
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
        const std::optional<Bytes> frame = assembler.Push(bytes);
        ASSERT_LE(assembler.Held().size(), kRcvBufferLimit);
        if (frame) {
            ++extracted;
            ASSERT_GE(frame->size(), 3U);
            EXPECT_EQ(frame->front(), 0xFF);
            EXPECT_EQ((*frame)[2], frame->size());
            EXPECT_EQ((*frame)[frame->size() - 2], 0xCC);
            EXPECT_TRUE(assembler.Held().empty());
        }
    }
    EXPECT_GT(extracted, 0);
    EXPECT_GT(assembler.Counters().spoiledStartMarks, 0U);
}

TEST(Assembly, ResetEmptiesTheBuffer) {
    FrameAssembler assembler;
    (void)assembler.Push(Bytes(kFrameA.begin(), kFrameA.end() - 1));
    assembler.Reset();
    EXPECT_TRUE(assembler.Held().empty());
    EXPECT_EQ(assembler.Push(Bytes{kFrameA.back()}), std::nullopt);  // the frame's head was let go
}

TEST(CheckFrame, ComparesChecksumWithXor) {
    EXPECT_TRUE(CheckFrame(kFrameA));
    Bytes bad = kFrameA;
    bad.back() ^= 0x01;
    EXPECT_FALSE(CheckFrame(bad));
    EXPECT_FALSE(CheckFrame(Bytes{}));
    EXPECT_FALSE(CheckFrame(Bytes{0xFF}));
}

}  // namespace
}  // namespace tessarin
