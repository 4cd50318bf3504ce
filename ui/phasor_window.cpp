#include "ui/phasor_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "data/log_record_decoder.h"
#include "data/phasor_geometry.h"
#include "ui/stale_values.h"
#include "ui/ui_fonts.h"

namespace tessarin {
namespace {

constexpr double kEdgeLabelSpace = 30.0;  // room around the circle for the edge angles
constexpr double kBarWidth = 22.0;
constexpr double kBarGap = 40.0;
constexpr double kPointRadius = 7.0;
constexpr double kTenths = 10.0;
constexpr unsigned kPhaseMinV0Tenths = 300;
constexpr unsigned kPhaseMinI0Tenths = 130;

const QColor kZoneColor(200, 235, 200);
const QColor kV0Color(30, 70, 200);
const QColor kI0Color(200, 30, 30);
const QColor kThresholdColor(230, 120, 0);

QColor stateColor(RecordState state) {
    switch (state) {
        case RecordState::Confirmed:
            return {210, 0, 120};
        case RecordState::Detected:
            return {240, 170, 0};
        case RecordState::None:
            break;
    }
    return {120, 120, 120};
}

double i0Milliamps(const Measurement& m) { return m.i0Tenths / kTenths; }

void paintArrow(QPainter& painter, QPointF from, QPointF to, const QColor& color) {
    painter.setPen(QPen(color, 3.0));
    painter.drawLine(from, to);
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1.0) {
        return;
    }
    const QPointF unit = d / length;
    const QPointF normal(-unit.y(), unit.x());
    constexpr double kHead = 12.0;
    QPolygonF head;
    head << to << to - unit * kHead + normal * kHead / 2 << to - unit * kHead - normal * kHead / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(head);
    painter.setBrush(Qt::NoBrush);
}

QString signedNumber(double value, int decimals) {
    return (value >= 0 ? QStringLiteral("+") : QString()) + QString::number(value, 'f', decimals);
}

}  // namespace

QString PhasorStateText(const NowValueNumbers& now) {
    if (!now.valid) {
        return QStringLiteral("現在値待ち");
    }
    const ConditionState state = EvaluateConditions(now);
    if (state.Operating()) {
        return QStringLiteral("動作域内");
    }
    if (!state.v0Needed && !state.i0Needed && !state.phaseNeeded) {
        return QStringLiteral("検出条件が不明");
    }
    QStringList unmet;
    if (state.v0Needed && !state.v0Met) {
        unmet << QStringLiteral("V0が整定値未満");
    }
    if (state.i0Needed && !state.i0Met) {
        unmet << QStringLiteral("I0が整定値未満");
    }
    if (state.phaseNeeded && !state.phaseMet) {
        unmet << (now.measured.phase == PhaseShown::Angle ? QStringLiteral("位相が動作域外")
                                                          : QStringLiteral("位相が計測されていない"));
    }
    return QStringLiteral("不成立: ") + unmet.join(QStringLiteral("、"));
}

QString PhaseReasonText(const NowValueNumbers& now) {
    const Measurement& m = now.measured;
    if (!now.valid || m.phase == PhaseShown::Angle) {
        return {};
    }
    if (m.phase == PhaseShown::Unmeasurable) {
        return QStringLiteral("位相 計測不可: 装置が位相を計測できなかった");
    }
    QStringList why;
    if (m.v0Tenths < kPhaseMinV0Tenths) {
        why << QStringLiteral("V0が30.0V未満");
    }
    if (m.i0Tenths < kPhaseMinI0Tenths) {
        why << QStringLiteral("I0が13.0mA未満");
    }
    return QStringLiteral("位相 **: ") + why.join(QStringLiteral("、")) + QStringLiteral("のため計測されない");
}

PhasorDiagram::PhasorDiagram(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picPhasor"));
    setMinimumSize(360, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PhasorDiagram::Show(const NowValueNumbers& now, std::vector<LogLinePoint> points, std::vector<std::string> lines) {
    m_now = now;
    m_points = std::move(points);
    m_lines = std::move(lines);
    const double threshold = now.i0ThresholdMilliamps ? *now.i0ThresholdMilliamps : 0.0;
    // The scale follows the present I0, not the records: one old large record would shrink the live arrow
    // to nothing. Records beyond the edge sit on it; their tooltips give the exact line.
    m_scale = PhasorScaleMilliamps(now.valid ? i0Milliamps(now.measured) : 0.0, threshold);
    update();
}

QRectF PhasorDiagram::diagramRect() const {
    const double width = this->width() - kBarWidth - kBarGap;
    const double side = std::max(10.0, std::min(width, static_cast<double>(height())) - 2 * kEdgeLabelSpace);
    return {(width - side) / 2, (height() - side) / 2, side, side};
}

QRectF PhasorDiagram::v0BarRect() const {
    const double top = kEdgeLabelSpace;
    return {width() - kBarWidth - kBarGap / 2, top, kBarWidth, height() - 2 * top};
}

QPointF PhasorDiagram::DiagramPoint(double degrees, double milliamps) const {
    const QRectF r = diagramRect();
    const double length = std::min(milliamps, m_scale) / m_scale * r.width() / 2;
    const PhasorPoint p = PointAt(degrees, length);
    return r.center() + QPointF(p.x, -p.y);
}

QString PhasorDiagram::LineAt(QPointF position) const {
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const LogLinePoint& p = m_points[i];
        const QPointF centre = DiagramPoint(*p.phaseDegrees, *p.i0Milliamps);
        if (std::hypot(centre.x() - position.x(), centre.y() - position.y()) <= kPointRadius) {
            return QString::fromStdString(m_lines[i]);
        }
    }
    return {};
}

bool PhasorDiagram::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString line = LineAt(help->pos());
        if (line.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), line, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void PhasorDiagram::paintEvent(QPaintEvent* /*event*/) {
    const auto start = std::chrono::steady_clock::now();
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().base());
        painter.setRenderHint(QPainter::Antialiasing);
        paintZone(painter);
        paintRecords(painter);
        paintArrows(painter);
        paintV0Bar(painter);
        if (m_stale) {
            PaintStaleWash(painter, rect());
        }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    m_worstPaintMs = std::max(m_worstPaintMs, took.count());
}

void PhasorDiagram::SetStale(bool stale) {
    if (stale != m_stale) {
        m_stale = stale;
        update();
    }
}

void PhasorDiagram::paintZone(QPainter& painter) const {
    const QRectF r = diagramRect();
    const PhaseRange range = m_now.range;
    QPainterPath sector(r.center());
    sector.arcTo(r, range.fromDegrees, range.toDegrees - range.fromDegrees);
    sector.closeSubpath();
    painter.fillPath(sector, kZoneColor);

    painter.setPen(QPen(palette().mid().color(), 1.0));
    painter.drawEllipse(r);
    painter.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    painter.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));

    // The two edge angles, just outside the circle.
    painter.setPen(palette().text().color());
    const QFontMetricsF metrics(font());
    for (const int edge : {range.fromDegrees, range.toDegrees}) {
        const PhasorPoint p = PointAt(edge, r.width() / 2 + kEdgeLabelSpace / 2);
        const QString text = QString::number(edge) + QStringLiteral("°");
        const QPointF at = r.center() + QPointF(p.x, -p.y);
        const QRectF box(at.x() - metrics.horizontalAdvance(text) / 2, at.y() - metrics.height() / 2,
                         metrics.horizontalAdvance(text), metrics.height());
        painter.drawText(box, Qt::AlignCenter, text);
    }

    if (m_now.i0ThresholdMilliamps) {
        const double radius = *m_now.i0ThresholdMilliamps / m_scale * r.width() / 2;
        painter.setPen(QPen(kThresholdColor, 2.0, Qt::DashLine));
        painter.drawEllipse(r.center(), radius, radius);
    }
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(0, 0, width() - kBarWidth - kBarGap, kEdgeLabelSpace), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("外周 %1mA").arg(m_scale, 0, 'f', 0));
}

void PhasorDiagram::paintRecords(QPainter& painter) const {
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    painter.setFont(small);
    for (const LogLinePoint& p : m_points) {
        const QPointF centre = DiagramPoint(*p.phaseDegrees, *p.i0Milliamps);
        painter.setPen(QPen(Qt::black, 1.0));
        painter.setBrush(stateColor(p.state));
        painter.drawEllipse(centre, kPointRadius, kPointRadius);
        painter.drawText(
            QRectF(centre.x() + kPointRadius, centre.y() - 2 * kPointRadius, 4 * kPointRadius, 2 * kPointRadius),
            Qt::AlignLeft | Qt::AlignBottom, QString::number(p.number));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setFont(font());
}

void PhasorDiagram::paintArrows(QPainter& painter) const {
    const QRectF r = diagramRect();
    paintArrow(painter, r.center(), QPointF(r.right(), r.center().y()), kV0Color);
    if (!m_now.valid) {
        return;
    }
    const std::optional<double> phase = PhaseDegrees(m_now.measured);
    if (!phase) {
        return;  // "**" or 計測不可: the labels say why, no arrow is drawn
    }
    const double i0 = m_now.measured.i0Over ? m_scale : i0Milliamps(m_now.measured);
    paintArrow(painter, r.center(), DiagramPoint(*phase, i0), kI0Color);
}

void PhasorDiagram::paintV0Bar(QPainter& painter) const {
    const QRectF bar = v0BarRect();
    painter.setPen(QPen(palette().mid().color(), 1.0));
    painter.drawRect(bar);
    const double threshold = m_now.v0ThresholdTenths ? *m_now.v0ThresholdTenths : 0.0;
    const double full = std::max(threshold * 2.0, 1.0);
    const double v0 = m_now.measured.v0Over ? full : std::min<double>(m_now.measured.v0Tenths, full);
    const double filled = m_now.valid ? v0 / full * bar.height() : 0.0;
    painter.fillRect(QRectF(bar.left(), bar.bottom() - filled, bar.width(), filled), kV0Color);
    if (threshold > 0) {
        const double y = bar.bottom() - threshold / full * bar.height();
        painter.setPen(QPen(kThresholdColor, 2.0));
        painter.drawLine(QPointF(bar.left() - 4, y), QPointF(bar.right() + 4, y));
    }
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(bar.left() - kBarGap / 2, 0, bar.width() + kBarGap, kEdgeLabelSpace), Qt::AlignCenter,
                     QStringLiteral("V0"));
}

frmPhasor::frmPhasor(const CollectedLogs* logs, QWidget* parent) : QWidget(parent, Qt::Window), m_logs(logs) {
    setObjectName(QStringLiteral("frmPhasor"));
    setWindowTitle(QString::fromUtf8(kPhasorCaption));
    setFont(UiFont(kPointSizeControls));
    m_diagram = new PhasorDiagram;
    buildLabels();
    ShowAnswer(NowValueRecord{});
}

QLabel* frmPhasor::addLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

void frmPhasor::buildLabels() {
    m_lblState = addLabel("lblPhasorState");
    QFont bold = font();
    bold.setBold(true);
    m_lblState->setFont(bold);
    m_lblState->setWordWrap(true);
    m_lblPhaseReason = addLabel("lblPhaseReason");
    m_lblPhaseReason->setWordWrap(true);
    m_lblCondition = addLabel("lblPhasorCondition");
    m_lblV0 = addLabel("lblPhasorV0");
    m_lblI0 = addLabel("lblPhasorI0");
    m_lblPhase = addLabel("lblPhasorPhase");
    m_lblV0Margin = addLabel("lblV0Margin");
    m_lblI0Margin = addLabel("lblI0Margin");
    m_lblPhaseMargin = addLabel("lblPhaseMargin");

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("状態"), m_lblState);
    form->addRow(QStringLiteral("検出条件"), m_lblCondition);
    form->addRow(QStringLiteral("V0"), m_lblV0);
    form->addRow(QStringLiteral("I0"), m_lblI0);
    form->addRow(QStringLiteral("位相"), m_lblPhase);
    form->addRow(QStringLiteral("V0 余裕"), m_lblV0Margin);
    form->addRow(QStringLiteral("I0 余裕"), m_lblI0Margin);
    form->addRow(QStringLiteral("位相 余裕"), m_lblPhaseMargin);
    auto* side = new QVBoxLayout;
    side->addLayout(form);
    side->addWidget(m_lblPhaseReason);
    QLabel* legend = addLabel("lblPhasorLegend");
    legend->setText(QStringLiteral("点: 収集した微地絡ログ (赤紫 確定 / 橙 検出 / 灰 ―)"));
    legend->setWordWrap(true);
    side->addWidget(legend);
    side->addStretch(1);
    m_lblStale = MakeStaleLabel();
    m_lblStale->setWordWrap(true);
    side->addWidget(m_lblStale);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_diagram, 1);
    auto* sideWidget = new QWidget;
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(260);
    layout->addWidget(sideWidget);
    resize(720, 440);
}

void frmPhasor::ShowStale(bool stale, const QDateTime& lastAnswer) {
    for (QLabel* label : {m_lblState, m_lblPhaseReason, m_lblCondition, m_lblV0, m_lblI0, m_lblPhase, m_lblV0Margin,
                          m_lblI0Margin, m_lblPhaseMargin}) {
        label->setEnabled(!stale);
    }
    m_diagram->SetStale(stale);
    ShowStaleNote(m_lblStale, stale, lastAnswer);
}

void frmPhasor::ShowAnswer(const NowValueRecord& now) {
    const NowValueNumbers& n = now.Numbers;
    m_lblState->setText(PhasorStateText(n));
    m_lblPhaseReason->setText(PhaseReasonText(n));
    m_lblCondition->setText(QString::fromStdString(now.DetectModeText));
    m_lblV0->setText(QString::fromStdString(now.V0Text));
    m_lblI0->setText(QString::fromStdString(now.I0Text));
    m_lblPhase->setText(QString::fromStdString(now.PhaseText));

    const bool known = n.valid && n.v0ThresholdTenths && n.i0ThresholdMilliamps;
    const QString none = QStringLiteral("―");
    m_lblV0Margin->setText(
        known && !n.measured.v0Over
            ? signedNumber((static_cast<double>(n.measured.v0Tenths) - *n.v0ThresholdTenths) / kTenths, 1) +
                  QStringLiteral("V")
            : none);
    m_lblI0Margin->setText(known && !n.measured.i0Over
                               ? signedNumber(i0Milliamps(n.measured) - *n.i0ThresholdMilliamps, 1) +
                                     QStringLiteral("mA")
                               : none);
    const std::optional<double> phase = n.valid ? PhaseDegrees(n.measured) : std::nullopt;
    if (phase) {
        const double margin = PhaseMarginDegrees(*phase, n.range);
        m_lblPhaseMargin->setText((margin >= 0 ? QStringLiteral("域内 ") : QStringLiteral("域外 ")) +
                                  QString::number(std::abs(margin), 'f', 1) + QStringLiteral("°"));
    } else {
        m_lblPhaseMargin->setText(none);
    }

    std::vector<LogLinePoint> points;
    std::vector<std::string> lines;
    if (const CollectedLog* log = m_logs != nullptr ? m_logs->Collected(LogKind::MinorFault) : nullptr) {
        for (int i = 1; i <= log->recordCount; ++i) {
            const std::string& line = log->lines[static_cast<std::size_t>(i)];
            const std::optional<LogLinePoint> point = MinorFaultLinePoint(line);
            // Only a record with both I0 and a phase has a place in the picture.
            if (point && point->i0Milliamps && point->phaseDegrees) {
                points.push_back(*point);
                lines.push_back(line);
            }
        }
    }
    m_diagram->Show(n, std::move(points), std::move(lines));
}

}  // namespace tessarin
