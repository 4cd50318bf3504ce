#include "ui/link_diagnosis_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "data/safe_write.h"
#include "link/unit_link.h"
#include "ui/dlg_msg_box.h"
#include "ui/save_file_dialog.h"
#include "ui/ui_fonts.h"

namespace tessarin {
namespace {

// The window looks again once a second while it is shown; between looks nothing of it runs. Looking more
// often would repaint the list several times per poll, which costs more than the rest of the program idle.
constexpr int kRefreshMs = 1000;

constexpr const char* kColumnTitles[MonitorTableModel::ColumnCount] = {"時刻", "方向", "長さ", "内容（16進）", "意味"};

struct CounterItem {
    const char* title;
    std::uint64_t (*value)(const LinkCounters&);
};

// What the counters panel shows, in reading order (two columns of pairs).
const CounterItem kCounterItems[] = {
    {"ポーリング送信", [](const LinkCounters& c) { return c.pollsSent; }},
    {"応答（正常）", [](const LinkCounters& c) { return c.framesValid; }},
    {"タイムアウト", [](const LinkCounters& c) { return c.pollsUnanswered + c.recordsOverdue; }},
    {"チェックサム異常", [](const LinkCounters& c) { return c.badChecksums; }},
    {"終端マーク異常", [](const LinkCounters& c) { return c.spoiledStartMarks; }},
    {"破棄バイト", [](const LinkCounters& c) { return c.discardedBytes; }},
    {"接続（回）", [](const LinkCounters& c) { return c.linksUp; }},
    {"切断（回）", [](const LinkCounters& c) { return c.portsLost; }},
    {"ログ要求", [](const LinkCounters& c) { return c.recordsAsked; }},
    {"ログ受信", [](const LinkCounters& c) { return c.recordsReceived; }},
    {"ログ再送", [](const LinkCounters& c) { return c.recordsResent; }},
    {"送信失敗", [](const LinkCounters& c) { return c.writesRefused; }},
    {"受信失敗", [](const LinkCounters& c) { return c.readsFailed; }},
    {"ログ番号違い", [](const LinkCounters& c) { return c.recordsStray; }},
};

QString hexBytes(std::span<const std::uint8_t> bytes, bool cut) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()) * 3 + 2);
    for (const std::uint8_t b : bytes) {
        if (!text.isEmpty()) {
            text += QLatin1Char(' ');
        }
        text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    if (cut) {
        text += QStringLiteral(" …");
    }
    return text;
}

}  // namespace

MonitorTableModel::MonitorTableModel(qint64 wallOffsetMs, QObject* parent)
    : QAbstractTableModel(parent),
      m_wallOffsetMs(wallOffsetMs),
      m_fixedFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {}

void MonitorTableModel::Follow(const LinkMonitor& monitor, std::uint64_t fromNumber) {
    std::uint64_t first = monitor.Size() > 0 ? monitor.At(0).number : monitor.Seen();
    first = std::max(first, fromNumber);
    std::size_t gone = 0;
    while (gone < m_rows.size() && m_rows[gone].number < first) {
        ++gone;
    }
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
    }
    const std::uint64_t next = m_rows.empty() ? first : m_rows.back().number + 1;
    if (monitor.Size() == 0 || next >= monitor.Seen()) {
        return;
    }
    const auto from = static_cast<std::size_t>(next - monitor.At(0).number);
    const int count = static_cast<int>(monitor.Size() - from);
    const int at = static_cast<int>(m_rows.size());
    beginInsertRows({}, at, at + count - 1);
    for (std::size_t i = from; i < monitor.Size(); ++i) {
        m_rows.push_back(makeRow(monitor.At(i)));
    }
    endInsertRows();
}

int MonitorTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MonitorTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

MonitorTableModel::Row MonitorTableModel::makeRow(const MonitoredFrame& frame) const {
    Row row;
    row.number = frame.number;
    row.sent = frame.sent;
    row.ok = frame.ok;
    row.cells[ColTime] =
        QDateTime::fromMSecsSinceEpoch(frame.ms + m_wallOffsetMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    row.cells[ColDirection] = frame.sent ? QStringLiteral("送信 →") : QStringLiteral("← 受信");
    row.cells[ColLength] = QString::number(frame.length);
    row.cells[ColBytes] = hexBytes(frame.Kept(), frame.Kept().size() < frame.length);
    row.cells[ColMeaning] = QString::fromStdString(FrameMeaning(frame.Kept()));
    if (!frame.ok) {
        row.cells[ColMeaning] += frame.sent ? QStringLiteral("（送信失敗）") : QStringLiteral("（チェックサム異常）");
    }
    return row;
}

QVariant MonitorTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount) {
        return {};
    }
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return row.cells[static_cast<std::size_t>(index.column())];
        case Qt::ForegroundRole:
            if (!row.ok) {
                return QColor(192, 0, 0);
            }
            return row.sent ? QVariant() : QColor(0, 96, 0);
        case Qt::TextAlignmentRole:
            return index.column() == ColLength ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case Qt::FontRole:
            return index.column() == ColBytes ? QVariant(m_fixedFont) : QVariant();
        default:
            return {};
    }
}

QVariant MonitorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf8(kColumnTitles[section]);
}

const QStaticText& MonitorTableModel::LaidOut(const QModelIndex& index, const QFont& font) const {
    const Row& row = m_rows.at(static_cast<std::size_t>(index.row()));
    QStaticText& text = row.laidOut.at(static_cast<std::size_t>(index.column()));
    if (text.text().isEmpty() && !row.cells.at(static_cast<std::size_t>(index.column())).isEmpty()) {
        text.setText(row.cells.at(static_cast<std::size_t>(index.column())));
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font);
    }
    return text;
}

void MonitorCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = qobject_cast<const MonitorTableModel*>(index.model());
    if (model == nullptr) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    cell.text.clear();
    // The background, selection and focus as the style draws them; the text from its laid-out copy.
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    if (text.isEmpty()) {
        return;
    }
    const QStaticText& laidOut = model->LaidOut(index, cell.font);
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget).adjusted(2, 0, -2, 0);
    const QSizeF size = laidOut.size();
    double x = area.left();
    if ((cell.displayAlignment & Qt::AlignRight) != 0) {
        x = area.right() - size.width();
    }
    const double y = area.top() + (area.height() - size.height()) / 2.0;
    const bool selected = (cell.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->setClipRect(area);
    painter->setFont(cell.font);
    painter->setPen(selected ? cell.palette.color(QPalette::HighlightedText) : cell.palette.color(QPalette::Text));
    if (!selected) {
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.canConvert<QColor>()) {
            painter->setPen(foreground.value<QColor>());
        }
    }
    painter->drawStaticText(QPointF(x, y), laidOut);
    painter->restore();
}

QString MonitorTableModel::RowText(int row) const {
    const Row& shown = m_rows.at(static_cast<std::size_t>(row));
    return QStringList(shown.cells.begin(), shown.cells.end()).join(QLatin1Char('\t'));
}

QString MonitorTableModel::HeaderText() {
    QStringList cells;
    for (const char* title : kColumnTitles) {
        cells << QString::fromUtf8(title);
    }
    return cells.join(QLatin1Char('\t'));
}

frmLinkDiagnosis::frmLinkDiagnosis(const UnitLink& link, const LinkDiagnosisTracker& tracker, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_tracker(tracker) {
    setObjectName(QStringLiteral("frmLinkDiagnosis"));
    setWindowTitle(QString::fromUtf8(kLinkDiagnosisCaption));
    setFont(UiFont(kPointSizeControls));
    m_chooseFile = [this] {
        return AskSaveFileNameConfirmed(this, QStringLiteral("通信記録.txt"), QStringLiteral("テキストファイル(*.txt)"),
                                        QStringLiteral("txt"));
    };
    m_notice = [this](const QString& message) { ShowWarningBox(this, windowTitle(), message); };
    m_replaceReadOnly = [this](const QString& name) { return AskReplaceReadOnly(this, name); };
    // The monitor's clock is steady; the rows show the time of day it stood for when the window opened.
    m_model = new MonitorTableModel(QDateTime::currentMSecsSinceEpoch() - m_link.Monitor().Now(), this);
    buildControls();
    m_tmrRefresh = new QTimer(this);
    m_tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    m_tmrRefresh->setInterval(kRefreshMs);
    connect(m_tmrRefresh, &QTimer::timeout, this, &frmLinkDiagnosis::Refresh);
    resize(1120, 660);
    Refresh();
}

void frmLinkDiagnosis::buildControls() {
    auto* stateBox = new QGroupBox(QStringLiteral("状態"));
    m_lblState = new QLabel;
    m_lblState->setObjectName(QStringLiteral("lblLinkState"));
    m_lblState->setFont(UiFont(kPointSizeControls, true));
    m_lblState->setTextFormat(Qt::PlainText);
    m_lblExplanation = new QLabel;
    m_lblExplanation->setObjectName(QStringLiteral("lblExplanation"));
    m_lblExplanation->setTextFormat(Qt::PlainText);  // device and process names are shown as they are
    m_lblExplanation->setWordWrap(true);
    m_lblExplanation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblExplanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblFix = new QLabel(QStringLiteral("対処のコマンド："));
    m_txtFix = new QLineEdit;
    m_txtFix->setObjectName(QStringLiteral("txtFixCommand"));
    m_txtFix->setReadOnly(true);
    m_txtFix->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_cmdCopyFix = new QPushButton(QStringLiteral("コピー"));
    m_cmdCopyFix->setObjectName(QStringLiteral("cmdCopyFix"));
    connect(m_cmdCopyFix, &QPushButton::clicked, this, &frmLinkDiagnosis::cmdCopyFix_Click);
    auto* fixRow = new QHBoxLayout;
    fixRow->addWidget(m_lblFix);
    fixRow->addWidget(m_txtFix, 1);
    fixRow->addWidget(m_cmdCopyFix);
    auto* stateColumn = new QVBoxLayout(stateBox);
    stateColumn->addWidget(m_lblState);
    stateColumn->addWidget(m_lblExplanation);
    stateColumn->addLayout(fixRow);

    auto* counterBox = new QGroupBox(QStringLiteral("カウンタ（起動から）"));
    auto* grid = new QGridLayout(counterBox);
    constexpr int kPairsPerRow = 4;
    int i = 0;
    for (const CounterItem& item : kCounterItems) {
        auto* value = new QLabel(QStringLiteral("0"));
        value->setObjectName(QStringLiteral("lblCounter%1").arg(i));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A fixed size with room for large counts: a count that changes then repaints its own label only,
        // where a label that may change size makes the window lay itself out again at every poll.
        value->setFixedSize(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")), fontMetrics().height() + 2);
        grid->addWidget(new QLabel(QString::fromUtf8(item.title)), i / kPairsPerRow, (i % kPairsPerRow) * 2);
        grid->addWidget(value, i / kPairsPerRow, (i % kPairsPerRow) * 2 + 1);
        m_counterValues.push_back(value);
        ++i;
    }
    m_lblRoundTrip = new QLabel;
    m_lblRoundTrip->setObjectName(QStringLiteral("lblRoundTrip"));
    m_lblRoundTrip->setFixedSize(fontMetrics().horizontalAdvance(QStringLiteral(
                                     "ポーリング応答時間：最新 00000 ms　平均 00000.0 ms　最大 00000 ms")),
                                 fontMetrics().height() + 2);
    grid->addWidget(m_lblRoundTrip, (i + kPairsPerRow - 1) / kPairsPerRow, 0, 1, kPairsPerRow * 2);

    auto* framesBox = new QGroupBox(QStringLiteral("通信記録（最新%1件）").arg(kMonitorFrames));
    m_grdFrames = new QTableView;
    m_grdFrames->setObjectName(QStringLiteral("grdFrames"));
    m_grdFrames->setModel(m_model);
    m_grdFrames->setItemDelegate(new MonitorCellPainter(m_grdFrames));
    // The list follows the newest frame until the user scrolls away from the foot, and again once they
    // scroll back to it.
    QScrollBar* bar = m_grdFrames->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!m_adjusting) {
            m_following = value >= bar->maximum();
        }
    });
    m_grdFrames->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdFrames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdFrames->setWordWrap(false);
    m_grdFrames->verticalHeader()->hide();
    m_grdFrames->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdFrames->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = m_grdFrames->horizontalHeader();
    // The table takes the window's font once it is laid out; measure with that one.
    const QFontMetrics metrics(font());
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Fixed widths: rows that come and go never make the columns jump.
    header->resizeSection(MonitorTableModel::ColTime, metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    header->resizeSection(MonitorTableModel::ColDirection, metrics.horizontalAdvance(QStringLiteral("← 受信")) + 16);
    header->resizeSection(MonitorTableModel::ColLength, metrics.horizontalAdvance(QStringLiteral("長さ")) + 16);
    // Room for the unit's longest answer, 29 bytes.
    header->resizeSection(MonitorTableModel::ColBytes,
                          fixed.horizontalAdvance(QString(qsizetype{29} * 3, QLatin1Char('0'))) + 8);
    header->setStretchLastSection(true);

    m_cmdPause = new QPushButton(QStringLiteral("一時停止"));
    m_cmdPause->setObjectName(QStringLiteral("cmdPause"));
    m_cmdPause->setCheckable(true);
    // Wide enough for either caption.
    m_cmdPause->setMinimumWidth(m_cmdPause->fontMetrics().horizontalAdvance(QStringLiteral("一時停止")) + 32);
    auto* cmdClear = new QPushButton(QStringLiteral("クリア"));
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    auto* cmdCopy = new QPushButton(QStringLiteral("コピー"));
    cmdCopy->setObjectName(QStringLiteral("cmdCopyFrames"));
    auto* cmdSave = new QPushButton(QStringLiteral("保存..."));
    cmdSave->setObjectName(QStringLiteral("cmdSaveFrames"));
    connect(m_cmdPause, &QPushButton::clicked, this, &frmLinkDiagnosis::cmdPause_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLinkDiagnosis::cmdClear_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmLinkDiagnosis::cmdCopyFrames_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmLinkDiagnosis::cmdSaveFrames_Click);
    m_lblFrameCount = new QLabel;
    m_lblFrameCount->setObjectName(QStringLiteral("lblFrameCount"));
    m_lblFrameCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblFrameCount->setFixedSize(fontMetrics().horizontalAdvance(QStringLiteral("00000 件")),
                                  fontMetrics().height() + 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdPause);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdSave);
    buttons->addStretch(1);
    buttons->addWidget(m_lblFrameCount);
    auto* framesColumn = new QVBoxLayout(framesBox);
    framesColumn->addWidget(m_grdFrames, 1);
    framesColumn->addLayout(buttons);

    auto* column = new QVBoxLayout(this);
    column->addWidget(stateBox);
    column->addWidget(counterBox);
    column->addWidget(framesBox, 1);
}

void frmLinkDiagnosis::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    m_tmrRefresh->start();
}

void frmLinkDiagnosis::hideEvent(QHideEvent* event) {
    m_tmrRefresh->stop();
    QWidget::hideEvent(event);
}

void frmLinkDiagnosis::Refresh() {
    ShowDiagnosis();
    showCounters();
    if (!m_paused) {
        showFrames();
    }
}

void frmLinkDiagnosis::ShowDiagnosis() {
    const LinkDiagnosis& diagnosis = m_tracker.Diagnosis();
    const QString explanation =
        QString::fromStdString(FullExplanation(diagnosis, m_tracker.Seen(), m_link.Monitor().Now()));
    if (explanation == m_shownExplanation) {
        return;
    }
    m_shownExplanation = explanation;
    m_lblState->setText(IsOnLine(diagnosis.reason) ? QStringLiteral("ON LINE") : QStringLiteral("OFF LINE"));
    m_lblExplanation->setText(explanation);
    const bool fix = !diagnosis.fixCommand.empty();
    m_txtFix->setText(QString::fromStdString(diagnosis.fixCommand));
    m_lblFix->setVisible(fix);
    m_txtFix->setVisible(fix);
    m_cmdCopyFix->setVisible(fix);
}

void frmLinkDiagnosis::showCounters() {
    const LinkCounters counters = m_link.Counters();
    if (m_countersShown && counters == m_shownCounters) {
        return;
    }
    m_countersShown = true;
    m_shownCounters = counters;
    for (std::size_t i = 0; i < m_counterValues.size(); ++i) {
        m_counterValues[i]->setText(QString::number(kCounterItems[i].value(counters)));
    }
    const RoundTrip& rtt = m_link.Monitor().PollRoundTrip();
    m_lblRoundTrip->setText(rtt.count == 0 ? QStringLiteral("ポーリング応答時間：―")
                                           : QStringLiteral("ポーリング応答時間：最新 %1 ms　平均 %2 ms　最大 %3 ms")
                                                 .arg(rtt.lastMs)
                                                 .arg(rtt.MeanMs(), 0, 'f', 1)
                                                 .arg(rtt.worstMs));
}

void frmLinkDiagnosis::showFrames() {
    const LinkMonitor& monitor = m_link.Monitor();
    if (monitor.Seen() == m_shownSeen) {
        return;
    }
    m_shownSeen = monitor.Seen();
    m_adjusting = true;
    // The frame at the top of the view, so that it stays there while old frames leave above it.
    const int topRow = m_grdFrames->rowAt(0);
    const std::uint64_t topNumber = topRow >= 0 ? m_model->FrameNumber(topRow) : 0;
    m_model->Follow(monitor, m_clearedBefore);
    m_lblFrameCount->setText(QStringLiteral("%1 件").arg(m_model->rowCount()));
    if (m_following) {
        m_grdFrames->scrollToBottom();
    } else if (topRow >= 0 && m_model->rowCount() > 0) {
        const std::uint64_t first = m_model->FrameNumber(0);
        const int row = topNumber >= first ? static_cast<int>(topNumber - first) : 0;
        m_grdFrames->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtTop);
    }
    m_adjusting = false;
}

void frmLinkDiagnosis::cmdPause_Click() {
    m_paused = m_cmdPause->isChecked();
    m_cmdPause->setText(m_paused ? QStringLiteral("再開") : QStringLiteral("一時停止"));
    if (!m_paused) {
        m_shownSeen = kNeverShown;  // show what came meanwhile
        showFrames();
    }
}

void frmLinkDiagnosis::cmdClear_Click() {
    m_clearedBefore = m_link.Monitor().Seen();
    m_shownSeen = kNeverShown;
    showFrames();
}

QString frmLinkDiagnosis::FramesText() const {
    QList<int> rows;
    for (const QModelIndex& index : m_grdFrames->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    if (rows.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row) {
            rows << row;
        }
    }
    std::sort(rows.begin(), rows.end());
    QString text = MonitorTableModel::HeaderText() + QLatin1Char('\n');
    for (const int row : rows) {
        text += m_model->RowText(row) + QLatin1Char('\n');
    }
    return text;
}

void frmLinkDiagnosis::cmdCopyFrames_Click() const { QApplication::clipboard()->setText(FramesText()); }

void frmLinkDiagnosis::cmdCopyFix_Click() { QApplication::clipboard()->setText(m_txtFix->text()); }

void frmLinkDiagnosis::cmdSaveFrames_Click() {
    const QString name = m_chooseFile();
    if (name.isEmpty()) {
        return;
    }
    const QByteArray bytes = FramesText().toUtf8();
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::optional<SafeWriteStatus> status = SaveAskingAboutReadOnly(
        [&](ReadOnlyTarget readOnly) { return WriteFileSafely(NativeFilePath(name), text, readOnly); },
        [&] { return m_replaceReadOnly && m_replaceReadOnly(name); });
    if (status && *status != SafeWriteStatus::Ok) {
        m_notice(QStringLiteral("「") + name + QStringLiteral("」に保存できませんでした。") + SaveCauseLine(*status));
    }
}

}  // namespace tessarin
