#include "data/now_value_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/response_frames.h"

namespace tessarin {
namespace {

// The payload of a current-value response, field by field; placed into RcvFrame as the dispatcher would.
struct NowPayload {
    std::uint8_t d0 = 0;
    std::uint8_t d1 = 0x23;
    std::uint16_t v0 = 0;
    std::uint16_t i0 = 0;
    std::int16_t phase = 0;
    std::uint8_t freq = 60;
    std::uint8_t v0Level = 1;
    std::uint8_t i0Level = 11;
    std::uint8_t detectTime = 0;
    std::uint8_t progress = 0;
    std::uint8_t cyclic = 0;
    std::uint8_t overwrite = 0;
    std::uint8_t ovgr = 0;
    std::uint8_t alarm1 = 0;
    std::uint8_t alarm2 = 1;

    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> d(24, 0);
        auto put16 = [&d](std::size_t k, std::uint16_t v) {
            d[k] = static_cast<std::uint8_t>(v >> 8);
            d[k + 1] = static_cast<std::uint8_t>(v & 0xFF);
        };
        d[0] = d0;
        d[1] = d1;
        put16(2, v0);
        put16(4, i0);
        put16(6, static_cast<std::uint16_t>(phase));
        d[8] = freq;
        d[9] = v0Level;
        d[10] = i0Level;
        d[11] = detectTime;
        d[12] = progress;
        d[13] = cyclic;
        d[14] = overwrite;
        d[15] = ovgr;
        d[22] = alarm1;
        d[23] = alarm2;
        return d;
    }
};

// Copies a frame with the given data bytes into RcvFrame (envelope included) and decodes it.
void receive(DeviceData& data, const std::vector<std::uint8_t>& payload) {
    const std::vector<std::uint8_t> frame = test::ResponseFrame(0xA0, payload);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        data.RcvFrame[i] = frame[i];
    }
    data.RcvLast = static_cast<std::int16_t>(frame.size() - 1);
    data.NowValue = DecodeNowValue(data.RcvFrame, data.NowValue);
}

void receive(DeviceData& data, const NowPayload& payload) { receive(data, payload.bytes()); }

struct MeasureCase {
    std::uint8_t d0;
    std::uint16_t v0;
    std::uint16_t i0;
    const char* v0Text;
    const char* i0Text;
};

class NowValueMeasures : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(NowValueMeasures, FormatsAndLimits) {
    const MeasureCase& c = GetParam();
    DeviceData data;
    NowPayload p;
    p.d0 = c.d0;
    p.v0 = c.v0;
    p.i0 = c.i0;
    receive(data, p);
    EXPECT_EQ(data.NowValue.V0Text, c.v0Text);
    EXPECT_EQ(data.NowValue.I0Text, c.i0Text);
    // The numbers beside the texts: the raw counts, and *OVER* exactly where the text says so.
    const Measurement& m = data.NowValue.Numbers.measured;
    EXPECT_EQ(m.v0Tenths, c.v0);
    EXPECT_EQ(m.i0Tenths, c.i0);
    EXPECT_EQ(m.v0Over, std::string(c.v0Text) == "*OVER*");
    EXPECT_EQ(m.i0Over, std::string(c.i0Text) == "*OVER*");
}

INSTANTIATE_TEST_SUITE_P(Boundaries, NowValueMeasures,
                         ::testing::Values(MeasureCase{0x00, 1294, 1049, "129.4V", "0.105A"},
                                           MeasureCase{0x00, 1295, 1050, "*OVER*", "*OVER*"},
                                           MeasureCase{0x08, 4571, 1049, "457.1V", "0.105A"},  // bit 3 widens V0 only
                                           MeasureCase{0x08, 4572, 1050, "*OVER*", "*OVER*"},
                                           MeasureCase{0x04, 1295, 7199, "*OVER*", "0.720A"},  // bit 2 widens I0 only
                                           MeasureCase{0x04, 1294, 7200, "129.4V", "*OVER*"},
                                           MeasureCase{0x0C, 65535, 65535, "*OVER*", "*OVER*"},
                                           MeasureCase{0x00, 0, 0, "0.0V", "0.000A"},
                                           MeasureCase{0x00, 123, 130, "12.3V", "0.013A"},
                                           MeasureCase{0x00, 120, 125, "12.0V", "0.013A"},  // halfway rounds up
                                           MeasureCase{0x00, 5, 124, "0.5V", "0.012A"},
                                           MeasureCase{0x00, 10, 5, "1.0V", "0.001A"},
                                           MeasureCase{0x04, 10, 5995, "1.0V", "0.600A"}));

struct PhaseCase {
    std::uint16_t v0;
    std::uint16_t i0;
    std::int16_t phase;
    const char* text;
};

class NowValuePhase : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(NowValuePhase, ShownOnlyWithEnoughV0AndI0) {
    const PhaseCase& c = GetParam();
    DeviceData data;
    NowPayload p;
    p.v0 = c.v0;
    p.i0 = c.i0;
    p.phase = c.phase;
    receive(data, p);
    EXPECT_EQ(data.NowValue.PhaseText, c.text);
    const Measurement& m = data.NowValue.Numbers.measured;
    const std::string text = c.text;
    const PhaseShown expected = text == "**"         ? PhaseShown::NotShown
                                : text == "計測不可" ? PhaseShown::Unmeasurable
                                                     : PhaseShown::Angle;
    EXPECT_EQ(m.phase, expected);
    EXPECT_EQ(m.phaseTenths, c.phase);
    if (expected == PhaseShown::Angle) {
        EXPECT_EQ(text, std::to_string(m.phaseTenths / 10) + "°");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NowValuePhase,
                         ::testing::Values(PhaseCase{300, 130, 455, "45°"}, PhaseCase{299, 130, 455, "**"},
                                           PhaseCase{300, 129, 455, "**"},
                                           PhaseCase{300, 125, 455, "**"},  // the log's test would pass
                                           PhaseCase{300, 130, -500, "-50°"}, PhaseCase{300, 130, -32768, "-3276°"},
                                           PhaseCase{300, 130, -9, "0°"},  // truncated toward zero
                                           PhaseCase{300, 130, 1234, "123°"}, PhaseCase{300, 130, 2005, "計測不可"},
                                           PhaseCase{300, 130, 2000, "計測不可"}, PhaseCase{300, 130, 2009, "計測不可"},
                                           PhaseCase{300, 130, 2010, "201°"}, PhaseCase{300, 130, 1999, "199°"},
                                           PhaseCase{300, 130, -2005, "-200°"}, PhaseCase{200, 130, 2005, "**"},
                                           PhaseCase{1295, 1050, 100, "10°"}));  // *OVER* values still pass

TEST(NowValueDecoder, StatesAndSettingsTexts) {
    DeviceData data;
    NowPayload p;
    p.d0 = 0x03;  // OVGR detecting, range -45..135
    p.d1 = 0x85;
    p.freq = 50;
    p.v0Level = 9;
    p.i0Level = 16;
    p.detectTime = 14;
    p.progress = 3;
    p.cyclic = 7;
    p.overwrite = 1;
    p.ovgr = 1;
    p.alarm1 = 2;
    p.alarm2 = 0;
    receive(data, p);
    const NowValueRecord& now = data.NowValue;
    EXPECT_EQ(now.OvgrStateText, "検出中");
    EXPECT_EQ(now.PhaseRangeText, "-45°～135°");
    EXPECT_EQ(now.FreqText, "50Hz");
    EXPECT_EQ(now.ConfirmCount, 5);
    EXPECT_EQ(now.DetectProgress, 3);
    EXPECT_EQ(now.DetectModeText, "V0のみ");
    EXPECT_EQ(now.V0LevelText, "10% (381.0V)");
    EXPECT_EQ(now.I0LevelText, "600mA");
    EXPECT_EQ(now.DetectTimeText, "0.50秒");
    EXPECT_EQ(now.CyclicDispText, "しない");
    EXPECT_EQ(now.LogOverwriteText, "しない");
    EXPECT_EQ(now.OvgrModeText, "機能あり");
    EXPECT_EQ(now.AlarmOut1Text, "OVGR");
    EXPECT_EQ(now.AlarmOut2Text, "微地絡");
    EXPECT_TRUE(now.Numbers.valid);
    EXPECT_EQ(now.Numbers.frequencyHz, 50U);
    EXPECT_EQ(now.Numbers.detectMode, 3);
    EXPECT_EQ(now.Numbers.v0ThresholdTenths, 3810U);
    EXPECT_EQ(now.Numbers.i0ThresholdMilliamps, 600U);
    EXPECT_EQ(now.Numbers.detectTimeMilliseconds, 500U);
    EXPECT_EQ(now.Numbers.range.fromDegrees, -45);
    EXPECT_EQ(now.Numbers.range.toDegrees, 135);

    p.d0 = 0x00;
    p.d1 = 0x1A;
    p.v0Level = 0;
    p.i0Level = 0;
    p.detectTime = 0;
    p.cyclic = 0;
    p.overwrite = 0;
    p.ovgr = 0;
    p.alarm1 = 1;
    receive(data, p);
    EXPECT_EQ(now.OvgrStateText, "－");
    EXPECT_EQ(now.PhaseRangeText, "-60°～120°");
    EXPECT_EQ(now.ConfirmCount, 10);
    EXPECT_EQ(now.DetectModeText, "V0 & I0 & 位相");
    EXPECT_EQ(now.V0LevelText, "1% (38.1V)");
    EXPECT_EQ(now.I0LevelText, "15mA");
    EXPECT_EQ(now.DetectTimeText, "0.04秒");
    EXPECT_EQ(now.CyclicDispText, "する");
    EXPECT_EQ(now.LogOverwriteText, "する");
    EXPECT_EQ(now.OvgrModeText, "機能なし");
    EXPECT_EQ(now.AlarmOut1Text, "ＧＲ自己診断異常");
    EXPECT_EQ(now.Numbers.detectMode, 0);
    EXPECT_EQ(now.Numbers.v0ThresholdTenths, 381U);
    EXPECT_EQ(now.Numbers.i0ThresholdMilliamps, 15U);
    EXPECT_EQ(now.Numbers.range.fromDegrees, -60);
    EXPECT_EQ(now.Numbers.range.toDegrees, 120);
}

TEST(NowValueDecoder, UnknownCodesKeepThePreviousText) {
    DeviceData data;
    NowPayload p;
    p.d1 = 0x3A;  // 3h is no condition
    p.v0Level = 10;
    p.i0Level = 17;
    p.detectTime = 15;
    p.alarm1 = 3;
    p.alarm2 = 255;
    receive(data, p);
    // Before any known code the texts stay empty.
    EXPECT_EQ(data.NowValue.ConfirmCount, 10);
    EXPECT_EQ(data.NowValue.DetectModeText, "");
    EXPECT_EQ(data.NowValue.V0LevelText, "");
    EXPECT_EQ(data.NowValue.AlarmOut1Text, "");

    NowPayload known;
    known.d1 = 0x42;
    known.v0Level = 2;
    known.i0Level = 3;
    known.detectTime = 4;
    known.alarm1 = 1;
    known.alarm2 = 2;
    receive(data, known);
    receive(data, p);
    EXPECT_EQ(data.NowValue.DetectModeText, "I0のみ");
    EXPECT_EQ(data.NowValue.V0LevelText, "3% (114.3V)");
    EXPECT_EQ(data.NowValue.I0LevelText, "30mA");
    EXPECT_EQ(data.NowValue.DetectTimeText, "0.08秒");
    EXPECT_EQ(data.NowValue.AlarmOut1Text, "ＧＲ自己診断異常");
    EXPECT_EQ(data.NowValue.AlarmOut2Text, "OVGR");
    EXPECT_EQ(data.NowValue.ConfirmCount, 10);
    EXPECT_EQ(data.NowValue.Numbers.detectMode, 2);
    EXPECT_EQ(data.NowValue.Numbers.v0ThresholdTenths, 1143U);
    EXPECT_EQ(data.NowValue.Numbers.i0ThresholdMilliamps, 30U);
    EXPECT_EQ(data.NowValue.Numbers.detectTimeMilliseconds, 80U);
}

TEST(NowValueDecoder, ShortFrameReadsWhatRcvFrameStillHolds) {
    DeviceData data;
    NowPayload full;
    full.alarm1 = 2;
    full.ovgr = 1;
    receive(data, full);

    // A frame that ends after d7: the later positions still hold the bytes of the longer frame before.
    NowPayload shortOne;
    shortOne.v0 = 456;
    std::vector<std::uint8_t> bytes = shortOne.bytes();
    bytes.resize(8);
    receive(data, bytes);
    EXPECT_EQ(data.NowValue.V0Text, "45.6V");
    EXPECT_EQ(data.NowValue.AlarmOut1Text, "OVGR");
    EXPECT_EQ(data.NowValue.OvgrModeText, "機能あり");
}

}  // namespace
}  // namespace tessarin
