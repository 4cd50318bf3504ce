#include "ui/visit_report.h"
#include "ui/dlg_msg_box.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "ui/app_version.h"
#include "ui/frm_about.h"
#include "ui/frm_log_disp.h"
#include "ui/now_value_items.h"
#include "ui/save_file_dialog.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

// Device units per inch: ten per point, fine enough for text positions, coarse enough to stay readable.
constexpr int kResolution = 720;
constexpr qreal kMarginMm = 15.0;

constexpr double kTitlePt = 20.0;
constexpr double kHeadingPt = 12.0;
constexpr double kBodyPt = 9.5;
constexpr double kSmallPt = 8.0;
constexpr double kTablePt = 8.0;
constexpr double kSmallestTablePt = 5.0;  // a table with many columns shrinks its font down to this

constexpr qreal pt(qreal points) { return points * kResolution / 72.0; }

constexpr qreal kCellPadding = pt(2.5);
constexpr qreal kSectionGap = pt(10);
constexpr qreal kRuleWidth = pt(0.5);
const QColor kShade(230, 230, 230);

constexpr const char* kReportTitle = "点検記録";
constexpr const char* kNotCollected = "未取得";
constexpr const char* kOffLineNotice = "OFF LINE：本体と通信していない状態で作成しました。";
constexpr const char* kLastValuesNotice = "現在値と設定値は、最後に受信した値です。";
constexpr const char* kNoValuesNotice = "現在値を受信していないため、現在値と設定値は記録されていません。";

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString dateTimeText(const QDateTime& when) { return when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

// The pages as they are drawn: a running head and the page number on each, and a cursor down the page.
class ReportCanvas {
  public:
    ReportCanvas(QPdfWriter& writer, const VisitReportFacts& facts, int totalPages)
        : m_writer(writer), m_facts(facts), m_totalPages(totalPages) {}

    bool Begin() {
        if (!m_painter.begin(&m_writer)) {
            return false;
        }
        startPage();
        return true;
    }
    void End() { m_painter.end(); }

    QPainter& Painter() { return m_painter; }
    [[nodiscard]] qreal Width() const { return m_writer.width(); }
    [[nodiscard]] qreal Y() const { return m_y; }
    void Advance(qreal height) { m_y += height; }
    [[nodiscard]] int Pages() const { return m_page; }
    [[nodiscard]] QFontMetricsF Metrics(const QFont& font) const { return {font, &m_writer}; }

    // Starts a new page unless `height` still fits on this one; true when a page was started.
    bool EnsureSpace(qreal height) {
        if (m_y + height <= m_bottom || m_y <= m_top) {
            return false;
        }
        m_writer.newPage();
        startPage();
        return true;
    }

    // One line of text at the cursor, in the rectangle from `x` of width `width`; moves the cursor below it.
    void Line(const QString& text, const QFont& font, qreal x = 0, qreal width = -1) {
        const qreal height = Metrics(font).lineSpacing();
        EnsureSpace(height);
        m_painter.setFont(font);
        m_painter.drawText(QRectF(x, m_y, width < 0 ? Width() - x : width, height),
                           Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        m_y += height;
    }

  private:
    void startPage() {
        ++m_page;
        const QFont small = UiFont(kSmallPt);
        const QFontMetricsF metrics = Metrics(small);
        const qreal line = metrics.lineSpacing();
        m_painter.setFont(small);
        m_painter.setPen(QPen(Qt::black, kRuleWidth));
        const QString head = QString::fromUtf8(kReportTitle) + QStringLiteral("　") + m_facts.port;
        m_painter.drawText(QRectF(0, 0, Width(), line), Qt::AlignLeft | Qt::AlignVCenter, head);
        m_painter.drawText(QRectF(0, 0, Width(), line), Qt::AlignRight | Qt::AlignVCenter,
                           QStringLiteral("作成 ") + dateTimeText(m_facts.createdAt));
        m_painter.drawLine(QPointF(0, line + pt(2)), QPointF(Width(), line + pt(2)));
        const QString number = m_totalPages > 0 ? QStringLiteral("%1 / %2").arg(m_page).arg(m_totalPages)
                                                : QStringLiteral("%1").arg(m_page);
        m_painter.drawText(QRectF(0, m_writer.height() - line, Width(), line), Qt::AlignCenter, number);
        m_top = line + pt(10);
        m_bottom = m_writer.height() - line - pt(8);
        m_y = m_top;
    }

    QPdfWriter& m_writer;
    const VisitReportFacts& m_facts;
    int m_totalPages;
    QPainter m_painter;
    int m_page = 0;
    qreal m_top = 0;
    qreal m_bottom = 0;
    qreal m_y = 0;
};

// A table drawn row by row; when a page ends inside it, it goes on at the top of the next page under its
// caption and header row again.
struct Table {
    QString caption;              // printed above the table and again, marked, on each further page
    std::vector<QString> header;  // empty: no header row
    std::vector<std::vector<QString>> rows;
    std::vector<qreal> widths;  // filled by fitColumns or given
    Qt::Alignment alignment = Qt::AlignLeft;
    bool shadeFirstColumn = false;          // a column of titles
    bool captionWhenContinuedOnly = false;  // a heading above already names the table
    double pointSize = kTablePt;
};

qreal rowHeight(ReportCanvas& canvas, const QFont& font) { return canvas.Metrics(font).height() + 2 * kCellPadding; }

// Column widths for the widest text of each column; a table wider than the page gets a smaller font, and
// the spare width is shared out so that the table spans the page.
void fitColumns(ReportCanvas& canvas, Table& table) {
    const std::size_t columns = std::max(table.header.size(), table.rows.empty() ? 0 : table.rows.front().size());
    for (;;) {
        const QFontMetricsF metrics = canvas.Metrics(UiFont(table.pointSize));
        std::vector<qreal> natural(columns, 0);
        auto measure = [&](const std::vector<QString>& cells) {
            for (std::size_t j = 0; j < cells.size() && j < columns; ++j) {
                natural[j] = std::max(natural[j], metrics.horizontalAdvance(cells[j]) + 2 * kCellPadding + pt(1));
            }
        };
        measure(table.header);
        std::ranges::for_each(table.rows, measure);
        const qreal total = std::accumulate(natural.begin(), natural.end(), qreal{0});
        if (total > canvas.Width() && table.pointSize > kSmallestTablePt) {
            table.pointSize = std::max(kSmallestTablePt, table.pointSize - 0.25);
            continue;
        }
        const qreal spare =
            std::max<qreal>(0, canvas.Width() - total) / static_cast<qreal>(std::max<std::size_t>(1, columns));
        table.widths.clear();
        for (const qreal width : natural) {
            table.widths.push_back(width + spare);
        }
        return;
    }
}

void drawRow(ReportCanvas& canvas, const Table& table, const std::vector<QString>& cells, bool header) {
    const QFont font = UiFont(table.pointSize, header);
    const qreal height = rowHeight(canvas, font);
    QPainter& painter = canvas.Painter();
    painter.setFont(font);
    painter.setPen(QPen(Qt::black, kRuleWidth));
    qreal x = 0;
    for (std::size_t j = 0; j < table.widths.size(); ++j) {
        const QRectF cell(x, canvas.Y(), table.widths[j], height);
        if (header || (j == 0 && table.shadeFirstColumn)) {
            painter.fillRect(cell, kShade);
        }
        painter.drawRect(cell);
        if (j < cells.size()) {
            painter.drawText(cell.adjusted(kCellPadding, 0, -kCellPadding, 0),
                             static_cast<int>(table.alignment | Qt::AlignVCenter) | Qt::TextSingleLine, cells[j]);
        }
        x += table.widths[j];
    }
    canvas.Advance(height);
}

void drawTable(ReportCanvas& canvas, const Table& table) {
    const QFont headingFont = UiFont(kBodyPt, true);
    const qreal captionHeight =
        table.caption.isEmpty() || table.captionWhenContinuedOnly ? 0 : canvas.Metrics(headingFont).lineSpacing();
    const qreal bodyRow = rowHeight(canvas, UiFont(table.pointSize));
    const qreal headerRow = table.header.empty() ? 0 : rowHeight(canvas, UiFont(table.pointSize, true));
    auto startPart = [&](bool continued) {
        if (!table.caption.isEmpty() && (continued || !table.captionWhenContinuedOnly)) {
            canvas.Line(continued ? table.caption + QStringLiteral("（続き）") : table.caption, headingFont);
        }
        if (!table.header.empty()) {
            drawRow(canvas, table, table.header, true);
        }
    };
    // The caption and header never stand alone at the foot of a page.
    canvas.EnsureSpace(captionHeight + headerRow + bodyRow);
    startPart(false);
    for (const std::vector<QString>& row : table.rows) {
        if (canvas.EnsureSpace(bodyRow)) {
            startPart(true);
        }
        drawRow(canvas, table, row, false);
    }
}

void heading(ReportCanvas& canvas, const QString& text) {
    const QFont font = UiFont(kHeadingPt, true);
    // A heading keeps at least a few lines of its section with it.
    canvas.EnsureSpace(canvas.Metrics(font).lineSpacing() + 4 * rowHeight(canvas, UiFont(kTablePt)));
    canvas.Line(text, font);
    canvas.Advance(pt(3));
}

// --- sections, top to bottom ---

void titleSection(ReportCanvas& canvas, const VisitReportFacts& facts) {
    canvas.Line(QString::fromUtf8(kReportTitle), UiFont(kTitlePt, true));
    canvas.Advance(pt(6));
    Table table;
    table.shadeFirstColumn = true;
    table.pointSize = kBodyPt;
    table.rows = {
        {QStringLiteral("作成日時"), dateTimeText(facts.createdAt)},
        {QStringLiteral("ポート"), facts.port.isEmpty() ? QStringLiteral("なし") : facts.port},
        {QStringLiteral("プログラム"), facts.version},
        {QStringLiteral("通信状態"), facts.online ? QStringLiteral("ON LINE") : QStringLiteral("OFF LINE")},
    };
    table.widths = {pt(90), pt(220)};
    drawTable(canvas, table);
    canvas.Advance(kSectionGap);
}

void linkStateSection(ReportCanvas& canvas, const VisitReportFacts& facts) {
    QStringList notices;
    if (!facts.online) {
        notices << QString::fromUtf8(kOffLineNotice);
    }
    if (!facts.valuesReceived) {
        notices << QString::fromUtf8(kNoValuesNotice);
    } else if (!facts.online) {
        notices << QString::fromUtf8(kLastValuesNotice);
    }
    if (notices.isEmpty()) {
        return;
    }
    const QFont font = UiFont(kBodyPt, true);
    const qreal line = canvas.Metrics(font).lineSpacing();
    const qreal padding = pt(6);
    const qreal height = line * static_cast<qreal>(notices.size()) + 2 * padding;
    canvas.EnsureSpace(height);
    const QRectF box(0, canvas.Y(), canvas.Width(), height);
    canvas.Painter().setPen(QPen(Qt::black, pt(1.5)));
    canvas.Painter().drawRect(box);
    canvas.Advance(padding);
    for (const QString& notice : notices) {
        canvas.Line(notice, font, padding, canvas.Width() - 2 * padding);
    }
    canvas.Advance(padding + kSectionGap);
}

void nowValueSection(ReportCanvas& canvas, const VisitReportFacts& facts) {
    if (!facts.valuesReceived) {
        return;
    }
    heading(canvas, QStringLiteral("現在値と設定値"));
    const bool ovgr = HasOvgrFunction(facts.now);
    for (const NowValueGroup& group : NowValueGroups()) {
        Table table;
        table.caption = QString::fromUtf8(group.title);
        table.shadeFirstColumn = true;
        table.pointSize = kBodyPt;
        for (const NowValueItem& item : group.items) {
            if (item.ovgrOnly && !ovgr) {
                continue;
            }
            table.rows.push_back({QString::fromUtf8(item.title), item.text(facts.now)});
        }
        table.widths = {pt(130), pt(180)};
        drawTable(canvas, table);
        canvas.Advance(pt(6));
    }
    canvas.Advance(kSectionGap);
}

void logSection(ReportCanvas& canvas, const VisitReportFacts& facts, int tab) {
    const QString caption = QString::fromUtf8(kLogTabCaptions[tab]);
    const LogKind kind = kLogTabKinds[static_cast<std::size_t>(tab)];
    const CollectedLog* log = facts.logs == nullptr ? nullptr : facts.logs->Collected(kind);
    heading(canvas, caption);
    if (log == nullptr) {
        canvas.Line(QString::fromUtf8(kNotCollected), UiFont(kBodyPt));
        canvas.Advance(kSectionGap);
        return;
    }
    const std::vector<std::vector<std::string>> rows = LogTableRows(*log, kind);
    Table table;
    table.caption = caption;
    table.alignment = Qt::AlignRight;  // as the grid shows them
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::vector<QString> cells;
        std::ranges::transform(rows[i], std::back_inserter(cells), [](const std::string& s) { return fromUtf8(s); });
        if (i == 0) {
            table.header = std::move(cells);
        } else {
            cells.resize(table.header.size());
            table.rows.push_back(std::move(cells));
        }
    }
    table.captionWhenContinuedOnly = true;
    fitColumns(canvas, table);
    drawTable(canvas, table);
    canvas.Advance(kSectionGap);
}

// Lays the whole report out on `writer`; the number of pages, 0 when the writer could not be painted on.
int layOut(QPdfWriter& writer, const VisitReportFacts& facts, int totalPages) {
    ReportCanvas canvas(writer, facts, totalPages);
    if (!canvas.Begin()) {
        return 0;
    }
    titleSection(canvas, facts);
    linkStateSection(canvas, facts);
    nowValueSection(canvas, facts);
    for (int tab = 0; tab < kLogTabCount; ++tab) {
        logSection(canvas, facts, tab);
    }
    canvas.End();
    return canvas.Pages();
}

// One rendering into `out`; the number of pages, 0 on failure.
int renderInto(QBuffer& out, const VisitReportFacts& facts, int totalPages) {
    QPdfWriter writer(&out);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
    writer.setTitle(QString::fromUtf8(kReportTitle) + QStringLiteral(" ") + dateTimeText(facts.createdAt));
    writer.setCreator(facts.version);
    return layOut(writer, facts, totalPages);
}

}  // namespace

VisitReportFacts GatherVisitReportFacts(const DeviceData& data, const CollectedLogs& logs, const QDateTime& now) {
    VisitReportFacts facts;
    facts.createdAt = now;
    if (data.PortNo >= 0) {
        facts.port = QStringLiteral("COM%1").arg(data.PortNo);
        if (!data.PortDevName.empty()) {
            facts.port += QStringLiteral("（") + fromUtf8(data.PortDevName) + QStringLiteral("）");
        }
    }
    facts.version = QString::fromUtf8(kProductName) + QStringLiteral(" ") + frmAbout::VersionText();
    facts.online = data.LinkUp != kFalse;
    // The decoder writes the zero-phase voltage of every answer: empty means none has come yet.
    facts.valuesReceived = !data.NowValue.V0Text.empty();
    facts.now = data.NowValue;
    facts.logs = &logs;
    return facts;
}

QByteArray RenderVisitReport(const VisitReportFacts& facts) {
    // The page count is known only once everything is laid out: a first pass counts, the second prints.
    QBuffer counting;
    counting.open(QIODevice::WriteOnly);
    const int pages = renderInto(counting, facts, 0);
    if (pages == 0) {
        return {};
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (renderInto(out, facts, pages) != pages) {
        return {};
    }
    return out.data();
}

SafeWriteStatus WriteVisitReport(const QString& fileName, const VisitReportFacts& facts, ReadOnlyTarget readOnly) {
    const QByteArray pdf = RenderVisitReport(facts);
    if (pdf.isEmpty()) {
        return SafeWriteStatus::WriteFailed;
    }
    return WriteFileSafely(std::filesystem::path(fileName.toStdU16String()),
                           std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())), readOnly);
}

QString ProposedVisitReportName(const QDateTime& now) {
    return now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".pdf");
}

QString VisitReportErrorText(const QString& fileName, SafeWriteStatus status) {
    const QString reason =
        status == SafeWriteStatus::CannotCreate || status == SafeWriteStatus::PermissionDenied
            ? QStringLiteral("保存先にファイルを作成できません。保存先のフォルダーを確認してください。")
            : QStringLiteral("書き込みに失敗しました。ディスクの空き容量などを確認してください。");
    return QStringLiteral("点検記録「%1」を保存できませんでした。\n%2").arg(fileName, reason) + SaveCauseLine(status);
}

VisitReportDialogs DefaultVisitReportDialogs(QWidget* parent) {
    VisitReportDialogs dialogs;
    dialogs.chooseFile = [parent](const QString& proposedName) {
        QFileDialog dialog(parent, QStringLiteral("点検記録の作成"), proposedName,
                           QStringLiteral("PDFファイル(*.pdf)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without ".pdf" gets it, before the dialog asks about overwriting.
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    dialogs.notice = [parent](const QString& title, const QString& text) { ShowWarningBox(parent, title, text); };
    dialogs.now = [] { return QDateTime::currentDateTime(); };
    dialogs.replaceReadOnly = [parent](const QString& fileName) { return AskReplaceReadOnly(parent, fileName); };
    return dialogs;
}

void MakeVisitReport(const VisitReportDialogs& dialogs, const DeviceData& data, const CollectedLogs& logs) {
    const QString name = dialogs.chooseFile(ProposedVisitReportName(dialogs.now()));
    if (name.isEmpty()) {
        return;
    }
    // The values as they stand once the name is chosen.
    const VisitReportFacts facts = GatherVisitReportFacts(data, logs, dialogs.now());
    const std::optional<SafeWriteStatus> status =
        SaveAskingAboutReadOnly([&](ReadOnlyTarget readOnly) { return WriteVisitReport(name, facts, readOnly); },
                                [&] { return dialogs.replaceReadOnly && dialogs.replaceReadOnly(name); });
    if (status && *status != SafeWriteStatus::Ok) {
        dialogs.notice(QStringLiteral("保存エラー"), VisitReportErrorText(name, *status));
    }
}

}  // namespace tessarin
