// The settings screen: the unit's settings as it last reported them, in drop-down lists the operator can
// change; a write of all of them together with a time for the unit's clock, and the initialise request.
// It talks to the unit only through the request mailbox (ReqCode, SendData), and only from its buttons.
#pragma once

#include <QDateTime>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "data/device_data.h"
#include "data/settings_check.h"
#include "link/unit_commands.h"

class QComboBox;
class QLabel;
class QRadioButton;
class QTimer;

namespace tessarin {

inline constexpr const char* kUnitSettingCaption = "微地絡設定";

// What FillNumberList puts into a list.
enum class NumberKind { Year, Month, Day, Hour, Minute };

// What the settings-file buttons ask of their surroundings; the defaults show real dialogs. Tests replace them.
struct UnitSettingDialogs {
    std::function<QString(const QString& proposedName)> chooseSaveFile;  // "" when cancelled
    std::function<QString()> chooseOpenFile;                             // "" when cancelled
    std::function<void(const QString& title, const QString& text)> notice;
    // Whether the read-only file of that name may be replaced (none: it is not).
    std::function<bool(const QString& fileName)> replaceReadOnly{};
};
UnitSettingDialogs DefaultUnitSettingDialogs(QWidget* parent);

// How long the screen watches the unit's answers after a write or an initialisation.
inline constexpr std::chrono::milliseconds kWriteCheckTime{5000};

class frmUnitSetting : public QWidget {
    Q_OBJECT
  public:
    // The PC's clock as local date and time; tests pass a fixed one.
    using Clock = std::function<QDateTime()>;

    // Opening the screen (Form_Load): fills the lists, selects the PC's date and time, "ＰＣ日時".
    // `deviceData` and `commands` must outlive the window; an empty `clock` is the PC's clock.
    frmUnitSetting(const DeviceData& deviceData, UnitCommands& commands, Clock clock = {}, QWidget* parent = nullptr);
    ~frmUnitSetting() override;
    frmUnitSetting(const frmUnitSetting&) = delete;
    frmUnitSetting& operator=(const frmUnitSetting&) = delete;
    frmUnitSetting(frmUnitSetting&&) = delete;
    frmUnitSetting& operator=(frmUnitSetting&&) = delete;

    // Selects in each of the ten setting lists what NowValue reports; a list whose report matches none of
    // its entries gets its fallback entry and a red background until the next call. The date and time
    // lists and the clock source are left alone. The main window calls it after opening the screen.
    void Value_Click_getdata();

    // The three buttons.
    void cmdNowValue_Click();  // 現在値に表示更新: Value_Click_getdata, nothing is sent
    void cmdSetting_Click();   // 一括設定変更: the encoded settings and clock, 03h
    void cmdInit_Click();      // 設定初期化: after the operator's OK, 07h

    // Settings files and the comparison; what they found shows in the line lblCheck.
    void cmdSaveFile_Click();  // ファイルに保存...: the ten selections, safely written to a chosen file
    void cmdLoadFile_Click();  // ファイルから読込...: selects a file's texts; a bad file changes nothing
    void cmdCompare_Click();   // 本体と比較: marks each list whose selection differs from NowValue
    void SetDialogs(UnitSettingDialogs dialogs) { m_dialogs = std::move(dialogs); }

    // The main window forwards what the link reports, so that a write can be checked: a request written,
    // and a current-value answer decoded into NowValue.
    void RequestWent(std::uint8_t code);
    void NowValueArrived();
    // The port went away before the placed write or initialise left: it was never sent.
    void CommandTakenBack();
    // The watch's time is up (tmrCheck; tests call it directly).
    void tmrCheck_Timer();
    // The line under the lists: the comparison's summary or the outcome of the last write.
    QString CheckText() const;

    // Clears `list`, adds the table's texts in order and selects position 0.
    static void FillChoiceList(QComboBox* list, std::span<const std::string_view> table);
    // Clears `list`, adds the numbers of `kind` as plain decimal texts and selects position 0. The day
    // count follows the year and month lists of this screen.
    void FillNumberList(NumberKind kind, QComboBox* list);

  private:
    void buildWindow();
    void Form_Load();
    void yearOrMonthChanged();
    QDateTime pcNow() const;
    QComboBox* settingList(std::size_t list) const;
    void showMatches(const SettingMatches& matches);
    void clearMarks();
    bool linkUpOrSay();
    // Whether the command was placed; says why not when it was refused.
    bool placedOrSay(CommandResult result);
    // Ends any watch of a write and puts `why` in lblCheck.
    void stopCheckSaying(const QString& why);
    void startCheck(const SettingPositions& expected);
    void showCheck();
    SettingPositions selectedPositions() const;

    const DeviceData& m_data;
    UnitCommands& m_commands;
    Clock m_clock;
    bool m_alarmListsHaveOvgr = false;  // decided at opening, kept until the screen is opened again

    std::array<QComboBox*, 8> m_cmbUnitPara1{};
    std::array<QComboBox*, 7> m_cmbUnitPara2{};
    std::array<QRadioButton*, 2> m_option1{};
    QLabel* m_lblCheck = nullptr;
    QTimer* m_tmrCheck = nullptr;

    UnitSettingDialogs m_dialogs;
    std::array<bool, kSettingListCount> m_red{};
    std::optional<WriteCheck> m_check;
};

}  // namespace tessarin
