// Checking the settings screen's selections against what the unit reports: a comparison of the lists with
// the last report, and the watch after a write or an initialisation, which reads the unit's next answers
// and decides whether the unit took what was written. Both only read; nothing here goes to the unit.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/device_data.h"
#include "data/settings_codec.h"

namespace tessarin {

// One list compared with the unit's report.
struct ListComparison {
    bool Differs = false;
    std::string UnitText;  // what the unit reported, as the list would show it ("" when it reported nothing)
};
using SettingComparison = std::array<ListComparison, kSettingListCount>;

// Compares `selected` with what `now` reports, list by list. A report that matches no entry of its list
// always differs. Index the result with SettingList; the date and time are not settings and are never compared.
SettingComparison CompareWithReport(const SettingPositions& selected, const NowValueRecord& now,
                                    bool alarmListsHaveOvgr);

// The lists of a comparison that differ, in SettingList order.
std::vector<SettingList> DifferingLists(const SettingComparison& comparison);

// The settings the unit returns to when it is initialised.
SettingPositions InitialSettings();

enum class WriteCheckState {
    Waiting,   // the request has not gone out yet
    Watching,  // it went; answers are being read
    Applied,   // the unit reports what was written
    Differs,   // the unit's last answer differs in the fields DifferingFields lists
    NoAnswer,  // no answer came after the request went
};

// The watch after a write. The window feeds it: RequestWent when the request has been written,
// AnswerArrived for each current-value answer after that, and TimeUp when its time has run out.
class WriteCheck {
  public:
    // Answers read before deciding: the first may already have been on its way when the write arrived.
    static constexpr int kAnswersWanted = 2;

    WriteCheck(const SettingPositions& expected, bool alarmListsHaveOvgr)
        : m_expected(expected), m_alarmListsHaveOvgr(alarmListsHaveOvgr) {}

    void RequestWent();
    void AnswerArrived(const NowValueRecord& now);
    void TimeUp();

    [[nodiscard]] WriteCheckState State() const { return m_state; }
    [[nodiscard]] bool Decided() const;
    [[nodiscard]] const std::vector<SettingList>& DifferingFields() const { return m_differing; }

  private:
    SettingPositions m_expected;
    bool m_alarmListsHaveOvgr;
    WriteCheckState m_state = WriteCheckState::Waiting;
    int m_answers = 0;
    std::vector<SettingList> m_differing;
};

}  // namespace tessarin
