#include "data/settings_check.h"

namespace tessarin {
namespace {

int positionOf(const SettingPositions& positions, SettingList list) {
    switch (list) {
        case SettingList::DetectMode:
            return positions.DetectMode;
        case SettingList::V0Level:
            return positions.V0Level;
        case SettingList::I0Level:
            return positions.I0Level;
        case SettingList::PhaseRange:
            return positions.PhaseRange;
        case SettingList::DetectTime:
            return positions.DetectTime;
        case SettingList::ConfirmCount:
            return positions.ConfirmCount;
        case SettingList::CyclicDisp:
            return positions.CyclicDisp;
        case SettingList::LogOverwrite:
            return positions.LogOverwrite;
        case SettingList::AlarmOut1:
            return positions.AlarmOut1;
        case SettingList::AlarmOut2:
            return positions.AlarmOut2;
    }
    return 0;
}

// What the unit reported for `list` in its own words, for a report that matched no entry.
std::string reportedText(const NowValueRecord& now, SettingList list) {
    switch (list) {
        case SettingList::DetectMode:
            return now.DetectModeText;
        case SettingList::V0Level:
            return now.V0LevelText;
        case SettingList::I0Level:
            return now.I0LevelText;
        case SettingList::PhaseRange:
            return now.PhaseRangeText;
        case SettingList::DetectTime:
            return now.DetectTimeText;
        case SettingList::ConfirmCount:
            return now.ConfirmCount == 0 ? std::string() : std::to_string(now.ConfirmCount) + "回";
        case SettingList::CyclicDisp:
            return now.CyclicDispText;
        case SettingList::LogOverwrite:
            return now.LogOverwriteText;
        case SettingList::AlarmOut1:
            return now.AlarmOut1Text;
        case SettingList::AlarmOut2:
            return now.AlarmOut2Text;
    }
    return {};
}

}  // namespace

SettingComparison CompareWithReport(const SettingPositions& selected, const NowValueRecord& now,
                                    bool alarmListsHaveOvgr) {
    const SettingMatches reported = MatchReportedSettings(now, alarmListsHaveOvgr);
    SettingComparison comparison{};
    for (std::size_t i = 0; i < kSettingListCount; ++i) {
        const auto list = static_cast<SettingList>(i);
        const ListMatch& match = reported[i];
        ListComparison& out = comparison[i];
        if (match.Red) {
            out.Differs = true;
            out.UnitText = reportedText(now, list);
            continue;
        }
        out.UnitText = std::string(SettingTable(list, alarmListsHaveOvgr)[static_cast<std::size_t>(match.Position)]);
        out.Differs = match.Position != positionOf(selected, list);
    }
    return comparison;
}

std::vector<SettingList> DifferingLists(const SettingComparison& comparison) {
    std::vector<SettingList> lists;
    for (std::size_t i = 0; i < kSettingListCount; ++i) {
        if (comparison[i].Differs) {
            lists.push_back(static_cast<SettingList>(i));
        }
    }
    return lists;
}

SettingPositions InitialSettings() {
    SettingPositions positions;
    positions.DetectMode = 1;    // V0 & I0
    positions.V0Level = 1;       // 2%
    positions.I0Level = 11;      // 100mA
    positions.PhaseRange = 0;    // -60°～120°
    positions.DetectTime = 0;    // 0.04秒
    positions.ConfirmCount = 2;  // 3回
    positions.CyclicDisp = 1;    // しない
    positions.LogOverwrite = 0;  // する
    positions.AlarmOut1 = 0;     // 微地絡
    positions.AlarmOut2 = 1;     // ＧＲ自己診断異常
    return positions;
}

void WriteCheck::RequestWent() {
    if (m_state == WriteCheckState::Waiting) {
        m_state = WriteCheckState::Watching;
    }
}

void WriteCheck::AnswerArrived(const NowValueRecord& now) {
    if (m_state != WriteCheckState::Watching) {
        return;  // answers before the request went say nothing about it
    }
    ++m_answers;
    m_differing = DifferingLists(CompareWithReport(m_expected, now, m_alarmListsHaveOvgr));
    // A unit that has not yet taken the write on the second answer may still do so before the time is up.
    if (m_answers >= kAnswersWanted && m_differing.empty()) {
        m_state = WriteCheckState::Applied;
    }
}

void WriteCheck::TimeUp() {
    if (Decided()) {
        return;
    }
    if (m_answers == 0) {
        m_state = WriteCheckState::NoAnswer;
        m_differing.clear();
        return;
    }
    m_state = m_differing.empty() ? WriteCheckState::Applied : WriteCheckState::Differs;
}

bool WriteCheck::Decided() const {
    return m_state == WriteCheckState::Applied || m_state == WriteCheckState::Differs ||
           m_state == WriteCheckState::NoAnswer;
}

}  // namespace tessarin
