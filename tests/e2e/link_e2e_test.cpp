// The link against the simulated unit over a real pseudo-terminal: discovery through the serial-port list,
// the real serial port, the request cycle and the receive pass, driven by a small loop that stands in for
// the window's timers (tmrComConnect every 100 ms, tmrComRcv every 10 ms).
#include <gtest/gtest.h>
#include <stdlib.h>  // mkdtemp, setenv

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/now_value_decoder.h"
#include "link/class_comm.h"
#include "link/frame_codec.h"
#include "link/recording_link_events.h"
#include "link/response_frames.h"
#include "link/unit_link.h"
#include "link/unit_port.h"
#include "sim/simulated_unit.h"

namespace tessarin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kConnectInterval = 100ms;
constexpr auto kReceiveInterval = 10ms;

// Each test gets its own serial-port list, so that nothing else on the machine is found.
class LinkE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-e2e-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_runtimeDir = pattern;
        ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", m_runtimeDir.c_str(), 1), 0);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_runtimeDir, ignored);
    }

    // The window's two timers: runs until `done` holds or `limit` has passed; true when `done` held.
    // A connect tick never follows the previous one by less than its interval.
    bool RunTimers(UnitLink& link, Clock::duration limit, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + limit;
        auto nextConnect = Clock::now();
        while (Clock::now() < end) {
            if (Clock::now() >= nextConnect) {
                link.ConnectTick();
                ++m_connectTicks;
                nextConnect = Clock::now() + kConnectInterval;
            }
            while (link.ReceiveTick()) {
            }
            if (done && done()) {
                return true;
            }
            std::this_thread::sleep_for(kReceiveInterval);
        }
        return false;
    }

    // Polls received by the unit, oldest first.
    static std::vector<Clock::time_point> PollTimes(const sim::SimulatedUnit& unit) {
        std::vector<Clock::time_point> times;
        for (const auto& r : unit.Requests()) {
            if (r.frame.size() >= 2 && r.frame[1] == 0x00) {
                times.push_back(r.when);
            }
        }
        return times;
    }

    static std::vector<Clock::duration> Gaps(const std::vector<Clock::time_point>& times) {
        std::vector<Clock::duration> gaps;
        for (std::size_t i = 1; i < times.size(); ++i) {
            gaps.push_back(times[i] - times[i - 1]);
        }
        return gaps;
    }

    static Clock::duration Median(std::vector<Clock::duration> values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? Clock::duration{} : values[values.size() / 2];
    }

    // NowValue as the decoder makes it of the payload the unit sent last.
    static NowValueRecord Expected(const sim::SimulatedUnit& unit) {
        DeviceData data;
        const Bytes frame = test::ResponseFrame(0xA0, unit.LastCurrentValuePayload());
        std::copy(frame.begin(), frame.end(), data.RcvFrame.begin());
        data.NowValue = DecodeNowValue(data.RcvFrame, data.NowValue);
        return data.NowValue;
    }

    static void ExpectSameTexts(const NowValueRecord& got, const NowValueRecord& want) {
        EXPECT_EQ(got.V0Text, want.V0Text);
        EXPECT_EQ(got.I0Text, want.I0Text);
        EXPECT_EQ(got.PhaseText, want.PhaseText);
        EXPECT_EQ(got.FreqText, want.FreqText);
        EXPECT_EQ(got.DetectProgress, want.DetectProgress);
        EXPECT_EQ(got.ConfirmCount, want.ConfirmCount);
        EXPECT_EQ(got.DetectModeText, want.DetectModeText);
        EXPECT_EQ(got.V0LevelText, want.V0LevelText);
        EXPECT_EQ(got.I0LevelText, want.I0LevelText);
        EXPECT_EQ(got.PhaseRangeText, want.PhaseRangeText);
        EXPECT_EQ(got.DetectTimeText, want.DetectTimeText);
        EXPECT_EQ(got.OvgrStateText, want.OvgrStateText);
        EXPECT_EQ(got.AlarmOut1Text, want.AlarmOut1Text);
        EXPECT_EQ(got.AlarmOut2Text, want.AlarmOut2Text);
        EXPECT_EQ(got.CyclicDispText, want.CyclicDispText);
        EXPECT_EQ(got.LogOverwriteText, want.LogOverwriteText);
        EXPECT_EQ(got.OvgrModeText, want.OvgrModeText);
    }

    static int ComNumber(const sim::SimulatedUnit& unit) { return std::stoi(unit.PortName().substr(3)); }

    std::filesystem::path m_runtimeDir;
    int m_connectTicks = 0;
};

TEST_F(LinkE2e, FindsTheUnitPollsAndShowsWhatItSent) {
    sim::SimulatedUnit unit;
    unit.SetFrozenValues(true);
    ASSERT_TRUE(unit.Start());
    test::RecordingLinkEvents view;
    UnitLink link(view);
    link.Discover();
    EXPECT_EQ(link.Data().PortNo, ComNumber(unit));
    EXPECT_EQ(link.Data().PortDevName, "\\Device\\VCP" + std::to_string(unit.Index()));

    ASSERT_TRUE(RunTimers(link, 5s, [&] { return !link.Data().NowValue.FreqText.empty(); }));
    EXPECT_TRUE(view.ShownUp());
    ExpectSameTexts(link.Data().NowValue, Expected(unit));
    const Bytes payload = unit.LastCurrentValuePayload();
    ASSERT_GE(payload.size(), 9U);
    EXPECT_EQ(link.Data().NowValue.FreqText, std::to_string(payload[8]) + "Hz");

    // An answering unit is polled every fifth tick, 500 ms apart.
    unit.ClearRequests();
    RunTimers(link, 3s);
    const auto gaps = Gaps(PollTimes(unit));
    ASSERT_GE(gaps.size(), 3U);
    for (const auto gap : gaps) {
        EXPECT_GE(gap, 450ms);
    }
    EXPECT_LT(Median(gaps), 800ms);
    link.ClosePort();
}

TEST_F(LinkE2e, UnplugAndPlugInAgain) {
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    test::RecordingLinkEvents view;
    UnitLink link(view);
    link.Discover();
    ASSERT_TRUE(RunTimers(link, 5s, [&] { return !link.Data().NowValue.FreqText.empty(); }));

    unit.Unplug();
    link.ConnectTick();
    EXPECT_TRUE(view.ShownDown());
    EXPECT_EQ(link.Data().LinkUp, kFalse);
    RunTimers(link, 300ms);
    EXPECT_TRUE(view.ShownDown());

    ASSERT_TRUE(unit.Plug());
    link.ConnectTick();
    EXPECT_TRUE(view.ShownUp());
    EXPECT_EQ(link.Data().PortNo, ComNumber(unit));

    // Polls reach the unit on the new line and are answered.
    unit.ClearRequests();
    const int lampBefore = view.Count("PassEnded");
    ASSERT_TRUE(RunTimers(link, 5s, [&] { return view.Count("PassEnded") > lampBefore; }));
    EXPECT_GE(unit.RequestCount(), 1U);
    link.ClosePort();
}

TEST_F(LinkE2e, SilentUnitIsPolledOnceASecond) {
    sim::SimulatedUnit unit;
    unit.SetSilent(true);
    ASSERT_TRUE(unit.Start());
    test::RecordingLinkEvents view;
    UnitLink link(view);
    link.Discover();
    RunTimers(link, 4600ms);
    EXPECT_TRUE(view.ShownUp());  // the link text does not depend on answers
    EXPECT_EQ(view.Count("PassEnded"), 0);
    const auto gaps = Gaps(PollTimes(unit));
    ASSERT_GE(gaps.size(), 2U);
    for (const auto gap : gaps) {
        EXPECT_GE(gap, 900ms);
    }
    EXPECT_LT(Median(gaps), 1600ms);
    link.ClosePort();
}

TEST_F(LinkE2e, SplitAnswersWithNoiseAreStillAssembled) {
    sim::SimulatedUnit unit;
    unit.SetSplitWrites(4);
    unit.SetNoiseBytes(6);
    unit.SetFrozenValues(true);
    ASSERT_TRUE(unit.Start());
    test::RecordingLinkEvents view;
    UnitLink link(view);
    link.Discover();
    ASSERT_TRUE(RunTimers(link, 5s, [&] { return !link.Data().NowValue.FreqText.empty(); }));
    ExpectSameTexts(link.Data().NowValue, Expected(unit));

    // Every answer is assembled: the unit stays answered, so it is polled every fifth tick.
    unit.ClearRequests();
    const int lampBefore = view.Count("PassEnded");
    const int ticksBefore = m_connectTicks;
    RunTimers(link, 2600ms);
    const int ticks = m_connectTicks - ticksBefore;
    const auto polls = static_cast<int>(PollTimes(unit).size());
    EXPECT_GE(polls, ticks / 5 - 1);
    EXPECT_GE(view.Count("PassEnded") - lampBefore, polls - 1);
    link.ClosePort();
}

TEST_F(LinkE2e, SerialPortAndFrameAssemblyAgainstTheUnit) {
    sim::SimulatedUnit unit;
    ASSERT_TRUE(unit.Start());
    classComm comm;
    ASSERT_TRUE(OpenUnitPort(comm, static_cast<std::int16_t>(ComNumber(unit))));

    DeviceData data;
    BuildRequest(data.SendFrame, kReqPoll, kShortRequestLength);
    ASSERT_TRUE(comm.Write(data.SendFrame));

    FrameAssembler assembler;
    std::optional<Bytes> frame;
    const auto end = Clock::now() + 3s;
    while (!frame && Clock::now() < end) {
        const PortRead read = comm.Read();
        ASSERT_NE(read.status, ReadStatus::Failed);
        frame = assembler.Push(read.bytes);
        std::this_thread::sleep_for(kReceiveInterval);
    }
    ASSERT_TRUE(frame.has_value());
    EXPECT_TRUE(CheckFrame(*frame));
    EXPECT_EQ((*frame)[1], kRespNowValue);
    const Bytes payload = unit.LastCurrentValuePayload();
    EXPECT_EQ(frame->size(), payload.size() + 5);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame->begin() + 3));
    ASSERT_EQ(unit.RequestCount(), 1U);
    EXPECT_EQ(unit.Requests()[0].frame, Bytes(data.SendFrame.begin(), data.SendFrame.begin() + 20));
    comm.Close();
}

}  // namespace
}  // namespace tessarin
