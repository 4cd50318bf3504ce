// The 「ベクトル図」 window: V0 as the reference arrow, I0 at its measured phase, the unit's operating zone and
// I0 threshold, the minor-fault records collected in this session as numbered points; the state and the
// readouts as labels beside the picture. It repaints only when a new current-value answer is shown.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "data/collected_logs.h"
#include "data/device_data.h"
#include "data/measured_values.h"

class QDateTime;
class QLabel;

namespace tessarin {

inline constexpr const char* kPhasorCaption = "ベクトル図";

// The painted diagram alone.
class PhasorDiagram : public QWidget {
    Q_OBJECT
  public:
    explicit PhasorDiagram(QWidget* parent = nullptr);

    // The answer and the records to draw; repaints once.
    void Show(const NowValueNumbers& now, std::vector<LogLinePoint> points, std::vector<std::string> lines);

    // Where a current of `milliamps` at `degrees` lies in the widget, on the scale now drawn.
    [[nodiscard]] QPointF DiagramPoint(double degrees, double milliamps) const;
    // The I0 at the outer circle, in mA.
    [[nodiscard]] double ScaleMilliamps() const { return m_scale; }
    // The log line of the record point under `position`, empty when none is there.
    [[nodiscard]] QString LineAt(QPointF position) const;

    // The longest paint so far, in milliseconds (for the benchmark).
    [[nodiscard]] double WorstPaintMilliseconds() const { return m_worstPaintMs; }

    // Drawn washed out while the values are not refreshed.
    void SetStale(bool stale);
    [[nodiscard]] bool Stale() const { return m_stale; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    double m_worstPaintMs = 0.0;
    [[nodiscard]] QRectF diagramRect() const;
    [[nodiscard]] QRectF v0BarRect() const;
    void paintZone(QPainter& painter) const;
    void paintArrows(QPainter& painter) const;
    void paintRecords(QPainter& painter) const;
    void paintV0Bar(QPainter& painter) const;

    NowValueNumbers m_now;
    std::vector<LogLinePoint> m_points;
    std::vector<std::string> m_lines;  // the log line of each point
    double m_scale = 20.0;
    bool m_stale = false;
};

class frmPhasor : public QWidget {
    Q_OBJECT
  public:
    // `logs`, when given, must outlive the window; its minor-fault records are drawn.
    explicit frmPhasor(const CollectedLogs* logs, QWidget* parent = nullptr);

    // A new current-value answer: the labels and the picture follow it.
    void ShowAnswer(const NowValueRecord& now);
    // The values are no longer refreshed (greyed, with the time of the last answer), or are again.
    void ShowStale(bool stale, const QDateTime& lastAnswer);

    [[nodiscard]] PhasorDiagram* Diagram() const { return m_diagram; }

  private:
    void buildLabels();
    QLabel* addLabel(const char* name);

    const CollectedLogs* m_logs;
    PhasorDiagram* m_diagram = nullptr;
    QLabel* m_lblState = nullptr;
    QLabel* m_lblPhaseReason = nullptr;
    QLabel* m_lblV0 = nullptr;
    QLabel* m_lblI0 = nullptr;
    QLabel* m_lblPhase = nullptr;
    QLabel* m_lblV0Margin = nullptr;
    QLabel* m_lblI0Margin = nullptr;
    QLabel* m_lblPhaseMargin = nullptr;
    QLabel* m_lblCondition = nullptr;
    QLabel* m_lblStale = nullptr;
};

// The state in words: 「動作域内」, or the conditions of the detection mode that are not met.
QString PhasorStateText(const NowValueNumbers& now);
// Why the phase cannot be drawn ("**" or "計測不可"), empty when it can.
QString PhaseReasonText(const NowValueNumbers& now);

}  // namespace tessarin
