// The 「通信診断」 window: why the link is as it is, in full, with the command that fixes it where there is
// one; the link's counters since the program started and the polls' round trip; and the last frames both
// ways, which can be paused, cleared, copied and saved as a text file. It only watches: the link keeps the
// counters and the frames whether the window is open or not, and nothing is formatted while it is closed.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QStaticText>
#include <QString>
#include <QStyledItemDelegate>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <vector>

#include "link/link_counters.h"
#include "link/link_diagnosis_tracker.h"
#include "link/link_monitor.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace tessarin {

class UnitLink;

inline constexpr const char* kLinkDiagnosisCaption = "通信診断";

// The frames of the monitor as rows: time, direction, length, bytes in hex and meaning.
class MonitorTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { ColTime, ColDirection, ColLength, ColBytes, ColMeaning, ColumnCount };

    // `wallOffsetMs` turns the monitor's clock into milliseconds since the epoch.
    explicit MonitorTableModel(qint64 wallOffsetMs, QObject* parent = nullptr);

    // Follows the monitor: drops the rows it no longer holds or numbered below `fromNumber` and appends the
    // frames that came since. A frame's texts are made once, when its row is added, not at every paint.
    void Follow(const LinkMonitor& monitor, std::uint64_t fromNumber);
    // The number of the frame shown in `row`.
    [[nodiscard]] std::uint64_t FrameNumber(int row) const { return m_rows.at(static_cast<std::size_t>(row)).number; }
    // One row as a line of text, the cells separated by tabs.
    [[nodiscard]] QString RowText(int row) const;
    // A cell's text laid out once for `font`, for painting (the view repaints every row in sight each time the
    // list moves on; laying the texts out afresh each time would cost more than everything else).
    [[nodiscard]] const QStaticText& LaidOut(const QModelIndex& index, const QFont& font) const;
    [[nodiscard]] static QString HeaderText();

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Row {
        std::uint64_t number = 0;
        bool sent = false;
        bool ok = false;
        std::array<QString, ColumnCount> cells;
        mutable std::array<QStaticText, ColumnCount> laidOut;
    };
    [[nodiscard]] Row makeRow(const MonitoredFrame& frame) const;

    qint64 m_wallOffsetMs;
    QFont m_fixedFont;
    std::deque<Row> m_rows;
};

// Paints the monitor's cells from their laid-out texts.
class MonitorCellPainter final : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class frmLinkDiagnosis : public QWidget {
    Q_OBJECT
  public:
    // Watches `link` and `tracker`, which outlive the window's use of them (the main window owns all three).
    frmLinkDiagnosis(const UnitLink& link, const LinkDiagnosisTracker& tracker, QWidget* parent = nullptr);

    // Shows what the link and the tracker say now: the reason at once, counters and frames if changed.
    void Refresh();
    void ShowDiagnosis();

    void cmdPause_Click();
    void cmdClear_Click();
    void cmdCopyFrames_Click() const;
    void cmdSaveFrames_Click();
    void cmdCopyFix_Click();

    // The file dialog and the notice; tests replace them.
    void SetFileChooser(std::function<QString()> choose) { m_chooseFile = std::move(choose); }
    void SetNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    // Whether the read-only file of that name may be replaced.
    void SetReplaceReadOnly(std::function<bool(const QString&)> ask) { m_replaceReadOnly = std::move(ask); }

    [[nodiscard]] const MonitorTableModel& Model() const { return *m_model; }
    // The text the copy and save commands produce: the rows selected, or all shown.
    [[nodiscard]] QString FramesText() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void buildControls();
    void showCounters();
    void showFrames();

    const UnitLink& m_link;
    const LinkDiagnosisTracker& m_tracker;
    std::function<QString()> m_chooseFile;
    std::function<void(const QString&)> m_notice;
    std::function<bool(const QString&)> m_replaceReadOnly;

    QLabel* m_lblState = nullptr;
    QLabel* m_lblExplanation = nullptr;
    QLabel* m_lblFix = nullptr;
    QLineEdit* m_txtFix = nullptr;
    QPushButton* m_cmdCopyFix = nullptr;
    std::vector<QLabel*> m_counterValues;
    QLabel* m_lblRoundTrip = nullptr;
    QTableView* m_grdFrames = nullptr;
    MonitorTableModel* m_model = nullptr;
    QPushButton* m_cmdPause = nullptr;
    QLabel* m_lblFrameCount = nullptr;
    QTimer* m_tmrRefresh = nullptr;

    bool m_paused = false;
    bool m_following = true;   // the list shows the newest frame
    bool m_adjusting = false;  // the window itself is moving the list
    LinkCounters m_shownCounters;
    bool m_countersShown = false;
    static constexpr std::uint64_t kNeverShown = ~std::uint64_t{0};
    std::uint64_t m_shownSeen = kNeverShown;  // the monitor's count when the rows were taken
    std::uint64_t m_clearedBefore = 0;        // frames numbered below this were cleared from view
    QString m_shownExplanation;
};

}  // namespace tessarin
