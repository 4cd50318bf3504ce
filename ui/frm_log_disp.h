// The log screen: starts and aborts the link's collection of the unit's three logs through the link's
// commands and watches it (link/log_collection), shows each log in the grid of its tab, asks the unit to
// clear a log and saves a log as a code page 932 CSV file. It keeps the last complete collection of each log
// while it is open. It reads the device data and never writes it.
//
// Grids: row 0 of a log's table is the grid's horizontal header (so it stays in view while the records
// scroll); GridRows counts it, so a grid reads 1 row when the window opens, 101 or 11 when filled.
#pragma once

#include <QDate>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/collected_logs.h"
#include "data/csv_export.h"
#include "data/device_data.h"
#include "data/protocol_codes.h"
#include "link/log_collection.h"
#include "link/unit_commands.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace tessarin {

inline constexpr const char* kLogDispCaption = "ログ表示";
inline constexpr int kLogTabCount = 3;
inline constexpr const char* kLogTabCaptions[kLogTabCount] = {"微地絡ログ", "装置状態ログ", "ＯＶＧＲログ"};

// The window's tabs, one per log in this order: the one place where a tab's number stands for a log.
inline constexpr int kTabMinorFault = 0;
inline constexpr int kTabDeviceState = 1;
inline constexpr int kTabOvgr = 2;
inline constexpr std::array<LogKind, kLogTabCount> kLogTabKinds = {LogKind::MinorFault, LogKind::DeviceState,
                                                                   LogKind::Ovgr};
// The log of a tab, nullopt for a number that is no tab.
constexpr std::optional<LogKind> LogKindOfTab(int tab) {
    if (tab < 0 || tab >= kLogTabCount) {
        return std::nullopt;
    }
    return kLogTabKinds[static_cast<std::size_t>(tab)];
}
// The tab of a log: every log has one.
static_assert(kLogTabCount == kLogKindCount);
constexpr int TabOfLog(LogKind kind) {
    return static_cast<int>(std::ranges::find(kLogTabKinds, kind) - kLogTabKinds.begin());
}

// The collection's texts: the progress line while records are awaited, and the failure's message.
inline constexpr const char* kLogProgressPrefix = "ログNo：";
inline constexpr const char* kLogFailureText = "ログ収集に失敗しました。";
inline constexpr const char* kLogFailureTitle = "ログ収集エラー";
// "ログNo：5", or "ログNo：5-2" once record 5 has been re-sent twice.
QString LogProgressCaption(const LogProgress& progress);

class frmLogDisp : public QWidget, private LogCollectionView {
    Q_OBJECT
  public:
    // What the window asks of its surroundings; each has a default that shows a real dialog.
    // The save dialog: (proposed name, filter) -> the chosen file name, "" when cancelled.
    using SaveDialog = std::function<QString(const QString& proposedName, const QString& filter)>;
    // A confirmation: (message, title) -> 1 OK, 2 Cancel (ShowMsgDialog).
    using Confirm = std::function<std::int16_t(const QString& message, const QString& title)>;
    // A notice with an OK button and the warning icon: (title, text).
    using Notice = std::function<void(const QString& title, const QString& text)>;
    using Today = std::function<QDate()>;

    // Form_Load. The window reads `deviceData`, starts, aborts and clears through `commands`, and watches
    // `collection` from now on; all three must outlive it.
    frmLogDisp(const DeviceData& deviceData, UnitCommands& commands, LogCollectionWatch& collection,
               QWidget* parent = nullptr);
    ~frmLogDisp() override;
    frmLogDisp(const frmLogDisp&) = delete;
    frmLogDisp& operator=(const frmLogDisp&) = delete;
    frmLogDisp(frmLogDisp&&) = delete;
    frmLogDisp& operator=(frmLogDisp&&) = delete;

    void SetSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    void SetConfirm(Confirm confirm) { m_confirm = std::move(confirm); }
    void SetNotice(Notice notice) { m_notice = std::move(notice); }
    void SetToday(Today today) { m_today = std::move(today); }
    // Where each complete collection is kept beyond this window's life too (nullptr: nowhere).
    void SetSessionLogs(CollectedLogs* logs) { m_sessionLogs = logs; }

    // The buttons: start or abort a collection of the selected log; clear the selected log in the unit after
    // confirmation; save the selected log.
    void cmdLogInport_Click();
    void cmdLogDelete_Click();
    void cmdLogExport_Click();
    // The tick of tmrComLog: the collection's supervision tick.
    void tmrComLog_Timer();

    // Fills grid `tab` from LogStore lines 0..count; a log never collected leaves the grid as it is.
    void FillLogGrid(int tab, int count);
    // Writes the export file of `tab` (lines 0..count) under `name`; `cause` as for WriteCsvFile.
    CsvWriteStatus WriteLogCsv(const QString& name, int tab, int count,
                               ReadOnlyTarget readOnly = ReadOnlyTarget::Refuse, SafeWriteStatus* cause = nullptr);

    // The selected tab, the rows of a grid (its header row included), a cell's text (row 0: header).
    int SelectedTab() const;
    int GridRows(int tab) const;
    QString GridCell(int tab, int row, int column) const;
    // Whether the OVGR column of grid 0 or 2 is shown.
    bool OvgrColumnShown(int tab) const;
    // The stored line `line` (0..100) of the last complete collection of `tab`'s log.
    const std::string& LogStoreLine(int tab, int line) const;
    // The proposed export file name for `tab`, such as 20240115_bichiraku.
    QString ProposedFileName(int tab) const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void SSTab1_Click(int tab);
    void setGridRows(int tab, int rows);
    void setCell(int tab, int row, int column, const QString& text);
    void emptyGrid(int tab);
    void applyOvgrMode(int tab);
    void fitColumnsToContents(int tab);
    bool holdsNoLog(int tab) const;
    // The lines of `tab`'s export file, 0..count.
    std::vector<std::string> exportLines(int tab, int count) const;

    // LogCollectionView
    void ShowProgress(const LogProgress& progress) override;
    void ClearProgress() override;
    void SetSupervision(Supervision state) override;
    void CollectionStarted(LogKind kind) override;
    void CollectionEnded() override;
    void CollectionCompleted(LogKind kind, int recordCount) override;
    void CollectionFailed() override;
    // The failure's message, shown once the tick that failed has returned; closing it winds the collection
    // down.
    void showFailure();
    void applySupervision();
    // Runs a call of the collection (or a command that reaches it); tmrComLog follows once it has returned.
    void inCollectionCall(const std::function<void()>& call);

    const DeviceData& m_data;
    UnitCommands& m_commands;
    LogCollectionWatch& m_collection;

    SaveDialog m_saveDialog;
    Confirm m_confirm;
    Notice m_notice;
    Today m_today;
    CollectedLogs* m_sessionLogs = nullptr;

    // LogStore: the last complete collection of each log, lines 0..100.
    std::array<std::array<std::string, kLogLineCount>, kLogTabCount> m_logStore;

    QLabel* m_lblTitle = nullptr;
    QTabWidget* m_sstab1 = nullptr;
    std::array<QTableWidget*, kLogTabCount> m_mfgLogList{};
    QPushButton* m_cmdLogInport = nullptr;
    QPushButton* m_cmdLogDelete = nullptr;
    QPushButton* m_cmdLogExport = nullptr;
    QLabel* m_lblLogNo = nullptr;
    QProgressBar* m_prgLogNo = nullptr;  // n of the log's records while a collection runs
    QTimer* m_tmrComLog = nullptr;
    // What the collection asked of tmrComLog and is not yet done, and how deep this window is in a call of
    // the collection.
    std::optional<Supervision> m_supervision;
    int m_collectionCalls = 0;
    QTimer* m_fitTimer = nullptr;
    std::array<bool, kLogTabCount> m_fitPending{};
};

}  // namespace tessarin
