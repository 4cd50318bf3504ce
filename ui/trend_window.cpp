#include "ui/trend_window.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/dlg_msg_box.h"
#include "ui/frm_mid_main.h"
#include "ui/now_value_items.h"
#include "ui/save_file_dialog.h"
#include "ui/stale_values.h"
#include "ui/ui_fonts.h"

namespace tessarin {
namespace {

constexpr std::chrono::minutes kSpan{10};
constexpr std::size_t kCapacity = 1400;  // ten minutes of answers at two a second, with room to spare
constexpr int kStrips = 3;
constexpr double kLeftMargin = 56.0;
constexpr double kGap = 8.0;
constexpr double kHeadroom = 1.25;
constexpr std::array<const char*, kStrips> kStripNames{"V0 (V)", "I0 (mA)", "位相 (°)"};
const std::array<QColor, kStrips> kStripColors{QColor(30, 70, 200), QColor(200, 30, 30), QColor(20, 130, 60)};
const QColor kThresholdColor(230, 120, 0);

std::optional<double> valueOf(const HistorySample& s, int strip) {
    switch (strip) {
        case 0:
            return s.v0Volts;
        case 1:
            return s.i0Milliamps;
        default:
            return s.phaseDegrees;
    }
}

QString timeText(std::chrono::system_clock::time_point at) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"));
}

QString valueText(const std::optional<double>& value, const char* unit) {
    return value ? QString::number(*value, 'f', 1) + QString::fromUtf8(unit) : QStringLiteral("―");
}

}  // namespace

std::string RecordingHeader() {
    std::vector<std::string> titles;
    for (const NowValueGroup& group : NowValueGroups()) {
        for (const NowValueItem& item : group.items) {
            titles.emplace_back(item.title);
        }
    }
    return RecordingLine("日時", titles);
}

std::string RecordingLineOf(const NowValueRecord& now) {
    std::vector<std::string> texts;
    for (const NowValueGroup& group : NowValueGroups()) {
        for (const NowValueItem& item : group.items) {
            texts.push_back(item.text(now).toStdString());
        }
    }
    return RecordingLine(timeText(now.Numbers.receivedAt).toStdString(), texts);
}

std::string RecordingGapLine(std::chrono::system_clock::time_point noticedAt, const QDateTime& lastAnswer) {
    const QString last = lastAnswer.isValid() ? QStringLiteral("最終応答 ") +
                                                    lastAnswer.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"))
                                              : QStringLiteral("応答なし");
    return RecordingLine(timeText(noticedAt).toStdString(),
                         {QStringLiteral("―― 更新停止（%1）").arg(last).toStdString()});
}

TrendPlot::TrendPlot(const ValueHistory& history, QWidget* parent) : QWidget(parent), m_history(history) {
    setObjectName(QStringLiteral("picTrend"));
    setMinimumSize(480, 360);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void TrendPlot::Refresh(const NowValueNumbers& now) {
    m_now = now;
    m_end = m_history.Size() > 0 ? m_history.At(m_history.Size() - 1).at : now.receivedAt;
    update();
}

void TrendPlot::SetStale(bool stale) {
    if (stale != m_stale) {
        m_stale = stale;
        update();
    }
}

QRectF TrendPlot::stripRect(int strip) const {
    const double height = (this->height() - kGap * (kStrips + 1)) / kStrips;
    return {kLeftMargin, kGap + strip * (height + kGap), width() - kLeftMargin - kGap, height};
}

double TrendPlot::xOf(std::chrono::system_clock::time_point at) const {
    const QRectF r = stripRect(0);
    const double age = std::chrono::duration<double>(m_end - at).count();
    return r.right() - age / std::chrono::duration<double>(kSpan).count() * r.width();
}

std::pair<double, double> TrendPlot::stripRange(int strip) const {
    if (strip == 2) {
        return {-180.0, 180.0};
    }
    double top = strip == 0 ? (m_now.v0ThresholdTenths ? *m_now.v0ThresholdTenths / 10.0 : 1.0)
                            : (m_now.i0ThresholdMilliamps ? static_cast<double>(*m_now.i0ThresholdMilliamps) : 1.0);
    for (std::size_t i = 0; i < m_history.Size(); ++i) {
        top = std::max(top, valueOf(m_history.At(i), strip).value_or(0.0));
    }
    return {0.0, top * kHeadroom};
}

QPointF TrendPlot::SamplePoint(int strip, std::size_t i, double value) const {
    const QRectF r = stripRect(strip);
    const auto [low, high] = stripRange(strip);
    return {xOf(m_history.At(i).at), r.bottom() - (value - low) / (high - low) * r.height()};
}

void TrendPlot::paintEvent(QPaintEvent* /*event*/) {
    const auto start = std::chrono::steady_clock::now();
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        for (int strip = 0; strip < kStrips; ++strip) {
            paintStrip(painter, strip);
        }
        if (m_stale) {
            PaintStaleWash(painter, rect());
        }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    m_worstPaintMs = std::max(m_worstPaintMs, took.count());
}

void TrendPlot::paintStrip(QPainter& painter, int strip) const {
    const QRectF r = stripRect(strip);
    painter.fillRect(r, palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(r);
    const auto [low, high] = stripRange(strip);
    auto yOf = [&r, low = low, high = high](double value) {
        return r.bottom() - (value - low) / (high - low) * r.height();
    };
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(0, r.top(), kLeftMargin - 4, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromUtf8(kStripNames[static_cast<std::size_t>(strip)]));
    painter.drawText(QRectF(0, r.top(), kLeftMargin - 4, 16), Qt::AlignRight | Qt::AlignTop,
                     QString::number(high, 'f', 0));

    // The thresholds, or the edges of the operating range for the phase.
    std::vector<double> lines;
    if (strip == 0 && m_now.v0ThresholdTenths) {
        lines.push_back(*m_now.v0ThresholdTenths / 10.0);
    } else if (strip == 1 && m_now.i0ThresholdMilliamps) {
        lines.push_back(*m_now.i0ThresholdMilliamps);
    } else if (strip == 2) {
        lines = {static_cast<double>(m_now.range.fromDegrees), static_cast<double>(m_now.range.toDegrees)};
    }
    painter.setPen(QPen(kThresholdColor, 1.0, Qt::DashLine));
    for (const double value : lines) {
        painter.drawLine(QPointF(r.left(), yOf(value)), QPointF(r.right(), yOf(value)));
    }

    // One polyline per run of numbers: a value without one breaks the line.
    painter.save();
    painter.setClipRect(r);
    painter.setPen(QPen(kStripColors[static_cast<std::size_t>(strip)], 1.5));
    QPolygonF run;
    auto flush = [&painter, &run] {
        if (run.size() == 1) {
            painter.drawPoint(run.front());
        } else if (run.size() > 1) {
            painter.drawPolyline(run);
        }
        run.clear();
    };
    for (std::size_t i = 0; i < m_history.Size(); ++i) {
        const HistorySample& s = m_history.At(i);
        const double x = xOf(s.at);
        const std::optional<double> value = valueOf(s, strip);
        if (x < r.left() || !value) {
            flush();
            continue;
        }
        run << QPointF(x, yOf(*value));
    }
    flush();
    painter.restore();
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    const QRectF r = stripRect(0);
    const double share = (r.right() - event->position().x()) / r.width();
    const auto age = std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(share * std::chrono::duration<double>(kSpan).count()));
    emit hovered(share < 0 || share > 1 ? nullptr : m_history.Nearest(m_end - age));
}

frmTrend::frmTrend(QWidget* parent) : QWidget(parent, Qt::Window), m_history(kCapacity) {
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QString::fromUtf8(kTrendCaption));
    setFont(UiFont(kPointSizeControls));
    // Recording starts the file afresh, so an existing one is replaced only when the user says so.
    m_chooseFile = [this] {
        return AskSaveFileNameConfirmed(this, QStringLiteral("記録.csv"), QStringLiteral("CSVファイル(*.csv)"),
                                        QStringLiteral("csv"));
    };
    m_notice = [this](const QString& message) { ShowWarningBox(this, QString::fromUtf8(kProgramTitle), message); };
    buildControls();
}

void frmTrend::buildControls() {
    m_plot = new TrendPlot(m_history);
    m_cmdPause = new QPushButton(QStringLiteral("一時停止"));
    m_cmdPause->setObjectName(QStringLiteral("cmdPause"));
    m_cmdRecord = new QPushButton(QStringLiteral("記録開始"));
    m_cmdRecord->setObjectName(QStringLiteral("cmdRecord"));
    m_lblRecording = new QLabel(QString::fromUtf8(kRecordingMark));
    m_lblRecording->setObjectName(QStringLiteral("lblRecording"));
    m_lblRecording->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_lblRecording->setVisible(false);
    m_lblCursor = new QLabel;
    m_lblCursor->setObjectName(QStringLiteral("lblTrendCursor"));
    m_lblCursor->setTextFormat(Qt::PlainText);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdPause);
    buttons->addWidget(m_cmdRecord);
    buttons->addWidget(m_lblRecording);
    buttons->addStretch(1);
    m_lblStale = MakeStaleLabel();
    buttons->addWidget(m_lblStale);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_lblCursor);
    resize(760, 520);

    connect(m_cmdPause, &QPushButton::clicked, this, &frmTrend::cmdPause_Click);
    connect(m_cmdRecord, &QPushButton::clicked, this, &frmTrend::cmdRecord_Click);
    connect(m_plot, &TrendPlot::hovered, this, &frmTrend::showHovered);
}

void frmTrend::ShowAnswer(const NowValueRecord& now) {
    m_last = now.Numbers;
    m_history.Add(SampleOf(now.Numbers));
    if (m_writer.Recording()) {
        record(RecordingLineOf(now));
    }
    if (!m_paused) {
        m_plot->Refresh(m_last);
    }
}

void frmTrend::ShowStale(bool stale, const QDateTime& lastAnswer) {
    if (stale == m_stale) {
        return;
    }
    m_stale = stale;
    ShowStaleNote(m_lblStale, stale, lastAnswer);
    m_plot->SetStale(stale);
    if (!stale) {
        return;
    }
    // A sample without numbers where the answers stopped: the next answer starts new lines.
    const auto now = std::chrono::system_clock::now();
    HistorySample gap;
    gap.at = now;
    m_history.Add(gap);
    if (m_writer.Recording()) {
        record(RecordingGapLine(now, lastAnswer));
    }
    if (!m_paused) {
        m_plot->Refresh(m_last);
    }
}

void frmTrend::cmdPause_Click() {
    m_paused = !m_paused;
    m_cmdPause->setText(m_paused ? QStringLiteral("再開") : QStringLiteral("一時停止"));
    if (!m_paused) {
        m_plot->Refresh(m_last);
    }
}

void frmTrend::cmdRecord_Click() {
    if (m_writer.Recording()) {
        m_writer.Stop();
        recordingEnded({});
        return;
    }
    const QString name = m_chooseFile ? m_chooseFile() : QString();
    if (name.isEmpty()) {
        return;
    }
    if (m_writer.Start(name.toStdString(), RecordingHeader()) != RecordingStatus::Ok) {
        recordingEnded(QStringLiteral("記録ファイルを作成できません。\n") + name + SaveCauseLine(m_writer.Cause()));
        return;
    }
    m_cmdRecord->setText(QStringLiteral("記録停止"));
    m_lblRecording->setVisible(true);
    emit recordingChanged(true);
}

void frmTrend::record(const std::string& line) {
    if (m_writer.Write(line) != RecordingStatus::Ok) {
        recordingEnded({});
        m_writeFailure = QStringLiteral("記録ファイルに書き込めないため、記録を停止しました。\n") +
                         QString::fromStdString(m_writer.Target().string());
        // An answer or a gap is recorded from inside the link's tick: the message's modal loop would run the
        // link's timers within it. Queued on this window, the call is dropped if the window goes first.
        QMetaObject::invokeMethod(this, &frmTrend::showWriteFailure, Qt::QueuedConnection);
    }
}

void frmTrend::showWriteFailure() {
    const QString message = std::exchange(m_writeFailure, QString());
    if (!message.isEmpty() && m_notice) {
        m_notice(message);
    }
}

void frmTrend::recordingEnded(const QString& message) {
    m_cmdRecord->setText(QStringLiteral("記録開始"));
    m_lblRecording->setVisible(false);
    emit recordingChanged(false);
    if (!message.isEmpty() && m_notice) {
        m_notice(message);
    }
}

void frmTrend::showHovered(const HistorySample* sample) {
    if (sample == nullptr) {
        m_lblCursor->clear();
        return;
    }
    m_lblCursor->setText(timeText(sample->at) + QStringLiteral("  V0 ") + valueText(sample->v0Volts, "V") +
                         QStringLiteral("  I0 ") + valueText(sample->i0Milliamps, "mA") + QStringLiteral("  位相 ") +
                         valueText(sample->phaseDegrees, "°"));
}

}  // namespace tessarin
