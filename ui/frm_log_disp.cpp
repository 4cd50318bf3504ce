#include "ui/frm_log_disp.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <span>
#include <vector>

#include "data/log_record_decoder.h"
#include "ui/dlg_msg_box.h"
#include "ui/enter_presses_button.h"
#include "ui/save_file_dialog.h"
#include "ui/twips.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

// A grid cell is one line of text, cut off at the cell's edge as the grid has always shown it. The style's
// own item painting lays every cell out as a paragraph with elision: for the hundred rows that arrive at the
// end of a collection that cost more than the rest of the work together, and held the event loop.
class GridCellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant text = index.data(Qt::DisplayRole);
        if (!text.isValid() || (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) != 0) {
            QStyledItemDelegate::paint(painter, option, index);  // the rare cases keep the style's look
            return;
        }
        const int margin =
            option.widget != nullptr
                ? option.widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1
                : 3;
        const QVariant alignment = index.data(Qt::TextAlignmentRole);
        const auto flags = alignment.isValid() ? Qt::Alignment(alignment.toInt()) : (Qt::AlignLeft | Qt::AlignVCenter);
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(option.rect.adjusted(margin, 0, -margin, 0), static_cast<int>(flags) | Qt::TextSingleLine,
                          text.toString());
        painter->restore();
    }
};

constexpr const char* kCsvFilter = "CSVファイル(*.csv)";
constexpr const char* kCsvSuffix = "csv";
constexpr const char* kOvgrPresent = "機能あり";
constexpr const char* kOvgrAbsent = "機能なし";
constexpr const char* kNoData = "データ無し";
constexpr const char* kInportCaption = "ログ取込";
constexpr const char* kAbortCaption = "読み込み中止";

// Column widths in twips; 0 is the hidden spacer column that holds the V0 range.
constexpr int kGrid0Widths[] = {800, 800, 2800, 1200, 1200, 1200, 1200, 1200, 1200, 1200, 1200, 0, 1200, 1200, 1800};
constexpr int kGrid1Widths[] = {800, 2800, 8000};
constexpr int kGrid2Widths[] = {800, 2800, 1200, 1200, 1200, 1200, 1200, 1200, 1200, 1200, 0, 1200, 1200, 1800};
constexpr int kOvgrColumnWidth = 1200;

// Rows a grid shows while its log is being collected: the header row alone for the 微地絡 log, 178 empty
// rows for the other two.
constexpr int kRowsWhileCollecting[kLogTabCount] = {1, 178, 178};

std::span<const int> columnWidths(int tab) {
    switch (tab) {
        case kTabMinorFault:
            return kGrid0Widths;
        case kTabDeviceState:
            return kGrid1Widths;
        default:
            return kGrid2Widths;
    }
}

// The OVGR column of the measurement grids (-1: the device-state grid has none).
int ovgrColumn(int tab) {
    switch (tab) {
        case kTabMinorFault:
            return 13;
        case kTabOvgr:
            return 12;
        default:
            return -1;
    }
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether a line says anything beyond its separators.
bool hasContent(const std::string& line) { return line.find_first_not_of(',') != std::string::npos; }

QString saveErrorText(const QString& name, CsvWriteStatus status, SafeWriteStatus cause) {
    QString reason;
    switch (status) {
        case CsvWriteStatus::CannotCreate:
            reason = QStringLiteral("保存先にファイルを作成できません。保存先のフォルダーを確認してください。");
            break;
        case CsvWriteStatus::EncodingFailed:
            reason = QStringLiteral("ファイルに書けない文字がログに含まれています。");
            break;
        default:
            reason = QStringLiteral("書き込みに失敗しました。ディスクの空き容量などを確認してください。");
            break;
    }
    return QStringLiteral("ファイル「%1」を保存できませんでした。\n%2").arg(name, reason) + SaveCauseLine(cause);
}

}  // namespace

QString LogProgressCaption(const LogProgress& progress) {
    QString caption = QString::fromUtf8(kLogProgressPrefix) + QString::number(progress.record);
    if (progress.resends > 0) {
        caption += u'-' + QString::number(progress.resends);
    }
    return caption;
}

frmLogDisp::frmLogDisp(const DeviceData& deviceData, UnitCommands& commands, LogCollectionWatch& collection,
                       QWidget* parent)
    : QWidget(parent), m_data(deviceData), m_commands(commands), m_collection(collection) {
    Form_Load();
}

frmLogDisp::~frmLogDisp() {
    // Going while a collection runs ends it as an abort does, so the main window's menus work again; the
    // collection shows nothing more to this window.
    m_tmrComLog->stop();
    m_collection.DetachView(*this);
}

void frmLogDisp::Form_Load() {
    m_saveDialog = [this](const QString& proposedName, const QString& filter) {
        // Overwriting is asked with the program's own confirmation, not the dialog's.
        return AskSaveFileName(this, proposedName, filter, QString::fromUtf8(kCsvSuffix));
    };
    m_confirm = [this](const QString& message, const QString& title) { return ShowMsgDialog(message, title, this); };
    m_notice = [this](const QString& title, const QString& text) { ShowWarningBox(this, title, text); };
    m_today = [] { return QDate::currentDate(); };

    setObjectName(QStringLiteral("frmLogDisp"));
    setWindowTitle(QString::fromUtf8(kLogDispCaption));
    const QFont controls = UiFont(kPointSizeControls);

    m_lblTitle = new QLabel(QString::fromUtf8(kLogDispCaption));
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    m_lblTitle->setFont(UiFont(kPointSizeBanner, true));

    m_sstab1 = new QTabWidget;
    m_sstab1->setObjectName(QStringLiteral("SSTab1"));
    m_sstab1->setFont(controls);
    for (int tab = 0; tab < kLogTabCount; ++tab) {
        auto* grid = new QTableWidget;
        grid->setObjectName(QStringLiteral("mfgLogList_%1").arg(tab));
        grid->setFont(controls);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->verticalHeader()->hide();  // no fixed column
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(controls).height() + 8);
        grid->setWordWrap(false);
        grid->setItemDelegate(new GridCellDelegate(grid));
        grid->horizontalHeader()->setFont(controls);
        grid->horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->horizontalHeader()->setHighlightSections(false);
        const std::span<const int> widths = columnWidths(tab);
        grid->setColumnCount(static_cast<int>(widths.size()));
        for (int column = 0; column < grid->columnCount(); ++column) {
            // The headings come with the first collection; until then the header row is empty.
            auto* heading = new QTableWidgetItem(QString());
            heading->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setHorizontalHeaderItem(column, heading);
            const int width = widths[static_cast<std::size_t>(column)];
            if (width == 0) {
                grid->setColumnHidden(column, true);
            } else {
                grid->setColumnWidth(column, Twips(width));
            }
        }
        grid->setRowCount(0);
        m_mfgLogList[static_cast<std::size_t>(tab)] = grid;
        m_sstab1->addTab(grid, QString::fromUtf8(kLogTabCaptions[tab]));
    }
    // The OVGR log is offered only for a unit with the function, as it reported when the window opened.
    m_sstab1->setTabEnabled(kTabOvgr, m_data.NowValue.OvgrModeText == kOvgrPresent);
    m_sstab1->setCurrentIndex(kTabMinorFault);

    auto makeButton = [&controls](const char* caption, const char* name) {
        auto* button = new QPushButton(QString::fromUtf8(caption));
        button->setObjectName(QString::fromUtf8(name));
        button->setFont(controls);
        button->setMinimumWidth(Twips(1500));
        return button;
    };
    m_cmdLogInport = makeButton(kInportCaption, "cmdLogInport");
    m_cmdLogDelete = makeButton("ログ消去", "cmdLogDelete");
    m_cmdLogExport = makeButton("保存", "cmdLogExport");
    m_lblLogNo = new QLabel;
    m_lblLogNo->setObjectName(QStringLiteral("lblLogNo"));
    m_lblLogNo->setFont(controls);
    m_lblLogNo->setMinimumWidth(Twips(2000));
    m_prgLogNo = new QProgressBar;
    m_prgLogNo->setObjectName(QStringLiteral("prgLogNo"));
    m_prgLogNo->setFont(controls);
    m_prgLogNo->setFormat(QStringLiteral("%v/%m"));
    m_prgLogNo->setMinimumWidth(Twips(2000));
    m_prgLogNo->hide();
    // A button hidden on one tab keeps its place, so that the others stay where the operator's hand is;
    // so does the progress bar between collections.
    for (QWidget* keepsItsPlace : {static_cast<QWidget*>(m_cmdLogDelete), static_cast<QWidget*>(m_prgLogNo)}) {
        QSizePolicy policy = keepsItsPlace->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        keepsItsPlace->setSizePolicy(policy);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblLogNo);
    buttons->addWidget(m_prgLogNo);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdLogInport);
    buttons->addWidget(m_cmdLogDelete);
    buttons->addWidget(m_cmdLogExport);

    auto* page = new QVBoxLayout(this);
    page->addWidget(m_lblTitle);
    page->addWidget(m_sstab1, 1);
    page->addLayout(buttons);
    resize(Twips(12800), Twips(8400));

    m_tmrComLog = new QTimer(this);
    m_tmrComLog->setObjectName(QStringLiteral("tmrComLog"));
    m_tmrComLog->setInterval(static_cast<int>(kLogSupervisionInterval.count()));
    connect(m_tmrComLog, &QTimer::timeout, this, &frmLogDisp::tmrComLog_Timer);
    // Fitting the columns comes a turn of the event loop after the fill, once the filled grid is painted: the
    // two together held the loop long enough to be felt, each alone is short. A zero timer (not a queued
    // call) lets the other timers that are due run first.
    m_fitTimer = new QTimer(this);
    m_fitTimer->setSingleShot(true);
    m_fitTimer->setInterval(0);
    connect(m_fitTimer, &QTimer::timeout, this, [this] {
        for (int tab = 0; tab < kLogTabCount; ++tab) {
            if (m_fitPending[static_cast<std::size_t>(tab)]) {
                m_fitPending[static_cast<std::size_t>(tab)] = false;
                fitColumnsToContents(tab);
            }
        }
    });

    connect(m_cmdLogInport, &QPushButton::clicked, this, &frmLogDisp::cmdLogInport_Click);
    connect(m_cmdLogDelete, &QPushButton::clicked, this, &frmLogDisp::cmdLogDelete_Click);
    connect(m_cmdLogExport, &QPushButton::clicked, this, &frmLogDisp::cmdLogExport_Click);
    connect(m_sstab1, &QTabWidget::currentChanged, this, &frmLogDisp::SSTab1_Click);
    PressFocusedButtonOnEnter(*this);

    inCollectionCall([this] { m_collection.AttachView(*this); });
}

void frmLogDisp::closeEvent(QCloseEvent* event) {
    // Only this window's watching ends: a log window opened after this one may watch already.
    m_collection.DetachView(*this);
    QWidget::closeEvent(event);
}

int frmLogDisp::SelectedTab() const { return m_sstab1->currentIndex(); }

void frmLogDisp::SSTab1_Click(int tab) {
    if (tab < 0 || tab >= kLogTabCount) {
        return;
    }
    const LogCodes& codes = CodesOf(kLogTabKinds[static_cast<std::size_t>(tab)]);
    m_cmdLogDelete->setVisible(codes.clear != 0);
    FillLogGrid(tab, codes.records);
}

void frmLogDisp::cmdLogInport_Click() {
    // A refusal shows nothing: while a failure's message is up there is nothing to start or abort.
    inCollectionCall([this] {
        if (m_collection.Running()) {
            (void)m_commands.AbortCollection();
        } else if (const std::optional<LogKind> kind = LogKindOfTab(SelectedTab())) {
            (void)m_commands.StartCollection(*kind);
        }
    });
}

void frmLogDisp::tmrComLog_Timer() {
    inCollectionCall([this] { m_collection.SupervisionTick(); });
}

void frmLogDisp::cmdLogDelete_Click() {
    if (m_collection.Running()) {
        return;
    }
    const std::optional<LogKind> kind = LogKindOfTab(SelectedTab());
    if (!kind || CodesOf(*kind).clear == 0) {
        return;
    }
    const std::int16_t answer =
        m_confirm(QStringLiteral("本体内のログが消去されます。\r\nよろしいですか？"), QStringLiteral("確認"));
    if (answer == kDlgCancel) {
        return;
    }
    // Placed OFF LINE too, as it always was.
    (void)m_commands.ClearLog(*kind);
}

// --- grids ---

int frmLogDisp::GridRows(int tab) const {
    return tab >= 0 && tab < kLogTabCount ? m_mfgLogList[static_cast<std::size_t>(tab)]->rowCount() + 1 : 0;
}

void frmLogDisp::setGridRows(int tab, int rows) { m_mfgLogList[static_cast<std::size_t>(tab)]->setRowCount(rows - 1); }

QString frmLogDisp::GridCell(int tab, int row, int column) const {
    if (tab < 0 || tab >= kLogTabCount) {
        return {};
    }
    const QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    const QTableWidgetItem* item = row == 0 ? grid->horizontalHeaderItem(column) : grid->item(row - 1, column);
    return item == nullptr ? QString() : item->text();
}

void frmLogDisp::setCell(int tab, int row, int column, const QString& text) {
    QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    if (row == 0) {
        grid->horizontalHeaderItem(column)->setText(text);
        return;
    }
    QTableWidgetItem* item = grid->item(row - 1, column);
    if (item == nullptr) {
        // Made whole before it joins the grid: one change for the view to handle, not three.
        item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->setItem(row - 1, column, item);
        return;
    }
    item->setText(text);
}

void frmLogDisp::emptyGrid(int tab) {
    QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    grid->clearContents();
    for (int column = 0; column < grid->columnCount(); ++column) {
        grid->horizontalHeaderItem(column)->setText(QString());
    }
}

bool frmLogDisp::OvgrColumnShown(int tab) const {
    const int column = ovgrColumn(tab);
    if (column < 0) {
        return false;
    }
    const QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    return !grid->isColumnHidden(column) && grid->columnWidth(column) > 0;
}

void frmLogDisp::applyOvgrMode(int tab) {
    QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    const int column = ovgrColumn(tab);
    const std::string& mode = m_data.NowValue.OvgrModeText;
    if (mode == kOvgrPresent) {
        grid->setColumnHidden(column, false);
        grid->setColumnWidth(column, Twips(kOvgrColumnWidth));
    } else if (mode == kOvgrAbsent) {
        grid->setColumnHidden(column, true);
    }
    // Any other text (no current values yet) leaves the column as it is.
}

const std::string& frmLogDisp::LogStoreLine(int tab, int line) const {
    static const std::string kNone;
    if (tab < 0 || tab >= kLogTabCount || line < 0 || line >= static_cast<int>(kLogLineCount)) {
        return kNone;
    }
    return m_logStore[static_cast<std::size_t>(tab)][static_cast<std::size_t>(line)];
}

bool frmLogDisp::holdsNoLog(int tab) const {
    return std::ranges::all_of(m_logStore[static_cast<std::size_t>(tab)],
                               [](const std::string& line) { return line.empty(); });
}

void frmLogDisp::FillLogGrid(int tab, int count) {
    if (tab < 0 || tab >= kLogTabCount || holdsNoLog(tab)) {
        return;
    }
    const auto& store = m_logStore[static_cast<std::size_t>(tab)];
    const int last = std::min(count, static_cast<int>(kLogLineCount) - 1);
    if (tab == kTabDeviceState) {
        setGridRows(kTabDeviceState, 11);
    } else {
        setGridRows(kTabMinorFault, 101);
        setGridRows(kTabOvgr, 11);
    }
    emptyGrid(tab);
    const int columns = m_mfgLogList[static_cast<std::size_t>(tab)]->columnCount();
    for (int i = 0; i <= last; ++i) {
        const std::string& line = store[static_cast<std::size_t>(i)];
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> fields = SplitLogLine(line);
        if (tab == kTabDeviceState) {
            setCell(tab, i, 0, fromUtf8(fields[0]));
            if (fields.size() > 1) {
                setCell(tab, i, 1, fromUtf8(fields[1]));
            }
            if (i == 0) {
                if (fields.size() > 2) {
                    setCell(tab, 0, 2, fromUtf8(fields[2]));
                }
            } else if (fields.size() > 1 && fields[1] != kNoData) {
                const std::string_view state = DeviceStateText(line);
                if (!state.empty()) {
                    setCell(tab, i, 2, QString::fromUtf8(state.data(), static_cast<qsizetype>(state.size())));
                }
            }
            continue;
        }
        const int shown = std::min(columns, static_cast<int>(fields.size()));
        for (int j = 0; j < shown; ++j) {
            if (j == ovgrColumn(tab)) {
                applyOvgrMode(tab);
            }
            setCell(tab, i, j, fromUtf8(fields[static_cast<std::size_t>(j)]));
            if (fields[static_cast<std::size_t>(j)] == kNoData) {
                break;  // an empty record: the rest of the row stays empty
            }
        }
    }
    m_fitPending[static_cast<std::size_t>(tab)] = true;
    m_fitTimer->start();
}

void frmLogDisp::fitColumnsToContents(int tab) {
    // The widths are made for the program's own font; where a stand-in font is wider, a column grows so
    // that a date or a heading is not cut off. It never shrinks below its width.
    //
    // The view's size hint for a column lays out the text of every cell in it again: at the end of a
    // 100-record collection that held the event loop for about ten milliseconds. Most columns are far wider
    // than any of their texts, which the font's widest character already shows; only a column that might be
    // too narrow is measured the exact way.
    QTableWidget* grid = m_mfgLogList[static_cast<std::size_t>(tab)];
    const QFontMetrics metrics(grid->font());
    const int widestCharacter = metrics.maxWidth();
    const int margins = 2 * metrics.averageCharWidth();  // above the cell's own margins and grid line
    auto mightNotFit = [&](int column) {
        const int width = grid->columnWidth(column);
        if (grid->horizontalHeader()->sectionSizeHint(column) > width) {
            return true;
        }
        for (int row = 0; row < grid->rowCount(); ++row) {
            const QTableWidgetItem* item = grid->item(row, column);
            if (item == nullptr) {
                continue;
            }
            const QString text = item->text();
            if (static_cast<int>(text.size()) * widestCharacter + margins > width &&
                metrics.horizontalAdvance(text) + margins > width) {
                return true;
            }
        }
        return false;
    };
    for (int column = 0; column < grid->columnCount(); ++column) {
        if (grid->isColumnHidden(column) || !mightNotFit(column)) {
            continue;
        }
        const int needed = std::max(static_cast<const QAbstractItemView*>(grid)->sizeHintForColumn(column),
                                    grid->horizontalHeader()->sectionSizeHint(column));
        if (needed > grid->columnWidth(column)) {
            grid->setColumnWidth(column, needed);
        }
    }
}

// --- export ---

QString frmLogDisp::ProposedFileName(int tab) const {
    if (tab < 0 || tab >= kLogTabCount) {
        return {};
    }
    return m_today().toString(QStringLiteral("yyyyMMdd")) + u'_' +
           QString::fromUtf8(CodesOf(kLogTabKinds[static_cast<std::size_t>(tab)]).fileName);
}

std::vector<std::string> frmLogDisp::exportLines(int tab, int count) const {
    std::vector<std::string> lines;
    const int last = std::min(count, static_cast<int>(kLogLineCount) - 1);
    for (int i = 0; i <= last; ++i) {
        if (tab == kTabDeviceState) {
            // The device-state file holds what its grid shows.
            lines.push_back(
                (GridCell(tab, i, 0) + u',' + GridCell(tab, i, 1) + u',' + GridCell(tab, i, 2)).toStdString());
        } else {
            lines.push_back(
                ExportLogLine(LogStoreLine(tab, i), kLogTabKinds[static_cast<std::size_t>(tab)], OvgrColumnShown(tab)));
        }
    }
    return lines;
}

CsvWriteStatus frmLogDisp::WriteLogCsv(const QString& name, int tab, int count, ReadOnlyTarget readOnly,
                                       SafeWriteStatus* cause) {
    return WriteCsvFile(NativeFilePath(name), exportLines(tab, count), readOnly, cause);
}

void frmLogDisp::cmdLogExport_Click() {
    if (m_collection.Running()) {
        return;
    }
    const int tab = SelectedTab();
    if (tab < 0 || tab >= kLogTabCount || GridRows(tab) < 2) {
        return;
    }
    const int count = CodesOf(kLogTabKinds[static_cast<std::size_t>(tab)]).records;
    // A grid with rows but without a collected log behind it would give a file of empty lines.
    const std::vector<std::string> lines = exportLines(tab, count);
    if (std::ranges::none_of(lines, hasContent)) {
        return;
    }
    const QString name = m_saveDialog(ProposedFileName(tab), QString::fromUtf8(kCsvFilter));
    if (name.isEmpty()) {
        return;
    }
    if (QFileInfo::exists(name)) {
        const QString question = QStringLiteral("既に同じファイル名「") + name + QStringLiteral("」が存在します。 ") +
                                 QStringLiteral("\r\n") + QStringLiteral("上書きしますか？");
        if (m_confirm(question, QStringLiteral("確認")) == kDlgCancel) {
            return;
        }
    }
    SafeWriteStatus cause = SafeWriteStatus::Ok;
    CsvWriteStatus status = WriteLogCsv(name, tab, count, ReadOnlyTarget::Refuse, &cause);
    if (status == CsvWriteStatus::ReadOnly) {
        if (m_confirm(ReadOnlyQuestion(name), QStringLiteral("確認")) == kDlgCancel) {
            return;
        }
        status = WriteLogCsv(name, tab, count, ReadOnlyTarget::Replace, &cause);
    }
    if (status != CsvWriteStatus::Ok) {
        m_notice(QStringLiteral("保存エラー"), saveErrorText(name, status, cause));
    }
}

// --- the collection's view ---

void frmLogDisp::ShowProgress(const LogProgress& progress) {
    // The label names the record being asked for; the bar shows how far that is along the log.
    m_lblLogNo->setText(LogProgressCaption(progress));
    m_prgLogNo->setValue(progress.record);
}

void frmLogDisp::ClearProgress() { m_lblLogNo->setText(QString()); }

void frmLogDisp::SetSupervision(Supervision state) {
    // Inside a call this window made (its timer's tick, its button), tmrComLog is started or stopped once
    // the call has returned; told from elsewhere, at once.
    m_supervision = state;
    if (m_collectionCalls == 0) {
        applySupervision();
    }
}

void frmLogDisp::inCollectionCall(const std::function<void()>& call) {
    ++m_collectionCalls;
    call();
    --m_collectionCalls;
    applySupervision();
}

void frmLogDisp::applySupervision() {
    if (!m_supervision) {
        return;
    }
    if (*m_supervision == Supervision::Running) {
        m_tmrComLog->start();
    } else {
        m_tmrComLog->stop();
    }
    m_supervision.reset();
}

void frmLogDisp::CollectionStarted(LogKind kind) {
    const int tab = TabOfLog(kind);
    m_sstab1->setEnabled(false);
    m_cmdLogInport->setText(QString::fromUtf8(kAbortCaption));
    emptyGrid(tab);
    setGridRows(tab, kRowsWhileCollecting[tab]);
    m_cmdLogDelete->setEnabled(false);
    m_cmdLogExport->setEnabled(false);
    m_prgLogNo->setRange(0, CodesOf(kind).records);
    m_prgLogNo->setValue(0);
    m_prgLogNo->show();
}

void frmLogDisp::CollectionEnded() {
    m_cmdLogInport->setText(QString::fromUtf8(kInportCaption));
    m_cmdLogInport->setEnabled(true);
    m_cmdLogDelete->setEnabled(true);
    m_cmdLogExport->setEnabled(true);
    m_sstab1->setEnabled(true);
    m_prgLogNo->hide();
}

void frmLogDisp::CollectionCompleted(LogKind kind, int recordCount) {
    const int tab = TabOfLog(kind);
    m_logStore[static_cast<std::size_t>(tab)] = m_data.LogLines;
    FillLogGrid(tab, recordCount);
    if (m_sessionLogs != nullptr) {
        m_sessionLogs->Keep(kind, m_data.LogLines, recordCount, OvgrColumnShown(tab));
    }
}

void frmLogDisp::CollectionFailed() {
    // Not from inside the tick: the message's modal loop would run the other timers within the collection's
    // call. Queued on this window, the call is dropped if the window goes first.
    QMetaObject::invokeMethod(this, &frmLogDisp::showFailure, Qt::QueuedConnection);
}

void frmLogDisp::showFailure() {
    if (!m_collection.Failed()) {
        return;  // wound down meanwhile: the window was closed
    }
    const QPointer<frmLogDisp> alive(this);
    m_notice(QString::fromUtf8(kLogFailureTitle), QString::fromUtf8(kLogFailureText));
    if (alive) {  // the window may be destroyed while the message is up; its going wound the collection down
        inCollectionCall([this] { m_collection.AcknowledgeFailure(); });
    }
}

}  // namespace tessarin
