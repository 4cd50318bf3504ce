#include "ui/now_value_items.h"

#include <array>
#include <string>

#include "data/choice_tables.h"

namespace tessarin {

namespace {

// Value label widths: ordinary, about 1.6 times for the longer texts, twice for the alarm outputs.
constexpr int kValueWidth = 1800;
constexpr int kValueWidthWide = 2880;
constexpr int kValueWidthDouble = 3600;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Values are copied as the decoder wrote them, except the two that the screen composes.
constexpr std::array kMeasureItems{
    NowValueItem{"零相電圧 Vo", "lblV0Title", "lblV0", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.V0Text); }},
    NowValueItem{"零相電流 Ｉo", "lblI0Title", "lblI0", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.I0Text); }},
    NowValueItem{"位相", "lblPhaseTitle", "lblPhase", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.PhaseText); }},
    NowValueItem{"電源周波数", "lblFreqTitle", "lblFreq", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.FreqText); }},
    NowValueItem{"ＯＶＧＲ", "lblOvgrStateTitle", "lblOvgrState", kValueWidth, false, true,
                 [](const NowValueRecord& now) { return Text(now.OvgrStateText); }},
};

constexpr std::array kSettingItems{
    NowValueItem{"微地絡検出条件", "lblDetectModeTitle", "lblDetectMode", kValueWidthWide, false, false,
                 [](const NowValueRecord& now) { return Text(now.DetectModeText); }},
    NowValueItem{"Ｖｏしきい値", "lblV0LevelTitle", "lblV0Level", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.V0LevelText); }},
    NowValueItem{"Ｉｏしきい値", "lblI0LevelTitle", "lblI0Level", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.I0LevelText); }},
    NowValueItem{"動作位相範囲", "lblPhaseRangeTitle", "lblPhaseRange", kValueWidthWide, false, false,
                 [](const NowValueRecord& now) { return Text(now.PhaseRangeText); }},
    NowValueItem{"微地絡検出時間", "lblDetectTimeTitle", "lblDetectTime", kValueWidth, true, false,
                 [](const NowValueRecord& now) { return Text(now.DetectTimeText); }},
    // Counts 11 to 15 have no entry: the label stays empty for them as for 0.
    NowValueItem{"微地絡確定回数", "lblConfirmCountTitle", "lblConfirmCount", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return ConfirmCountText(now.ConfirmCount); }},
    NowValueItem{"a11-a12警報出力", "lblAlarmOut1Title", "lblAlarmOut1", kValueWidthDouble, false, false,
                 [](const NowValueRecord& now) { return Text(now.AlarmOut1Text); }},
    NowValueItem{"a21-a22警報出力", "lblAlarmOut2Title", "lblAlarmOut2", kValueWidthDouble, false, false,
                 [](const NowValueRecord& now) { return Text(now.AlarmOut2Text); }},
};

constexpr std::array kOtherItems{
    NowValueItem{"サイクリック表示", "lblCyclicDispTitle", "lblCyclicDisp", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.CyclicDispText); }},
    NowValueItem{"ログ上書き", "lblLogOverwriteTitle", "lblLogOverwrite", kValueWidth, false, false,
                 [](const NowValueRecord& now) { return Text(now.LogOverwriteText); }},
    NowValueItem{"微地絡検出の途中経過", "lblDetectProgressTitle", "lblDetectProgress", kValueWidthWide, false, false,
                 [](const NowValueRecord& now) { return ProgressText(now.DetectProgress, now.ConfirmCount); }},
    NowValueItem{"ＯＶＧＲモード", "lblOvgrModeTitle", "lblOvgrMode", kValueWidth, false, true,
                 [](const NowValueRecord& now) { return Text(now.OvgrModeText); }},
};

constexpr std::array kGroups{
    NowValueGroup{"計測値", "fraMeasure", kMeasureItems},
    NowValueGroup{"設定値", "fraSetting", kSettingItems},
    NowValueGroup{"その他", "fraOther", kOtherItems},
};

}  // namespace

std::span<const NowValueGroup> NowValueGroups() { return kGroups; }

bool HasOvgrFunction(const NowValueRecord& now) { return now.OvgrModeText == kOvgrPresent; }

QString ConfirmCountText(int confirmCount) {
    if (confirmCount < 1 || confirmCount > static_cast<int>(ConfirmCountTable.size())) {
        return {};
    }
    const std::string_view entry = ConfirmCountTable[static_cast<std::size_t>(confirmCount - 1)];
    return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

QString ProgressText(int detectProgress, int confirmCount) {
    return QString::number(detectProgress) + QStringLiteral("回／") + QString::number(confirmCount) +
           QStringLiteral("回");
}

}  // namespace tessarin
