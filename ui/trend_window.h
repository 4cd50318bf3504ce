// The 「トレンド」 window: V0, I0 and the phase of the last ten minutes, one point per current-value answer,
// with the thresholds as lines and *OVER* or "**" as gaps; pause and resume; the values under the mouse
// pointer; and the recording of every answer to a CSV file.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "data/device_data.h"
#include "data/recording_writer.h"
#include "data/value_history.h"

class QDateTime;
class QLabel;
class QPushButton;

namespace tessarin {

inline constexpr const char* kTrendCaption = "トレンド";
inline constexpr const char* kRecordingMark = "● 記録中";

// The painted plots alone: V0, I0 and the phase, one above the other.
class TrendPlot : public QWidget {
    Q_OBJECT
  public:
    explicit TrendPlot(const ValueHistory& history, QWidget* parent = nullptr);

    // The settings to draw the thresholds from; repaints.
    void Refresh(const NowValueNumbers& now);
    // Drawn washed out while the values are not refreshed.
    void SetStale(bool stale);
    // The strip (0 V0, 1 I0, 2 phase) and the x position of sample i, as last painted.
    [[nodiscard]] QPointF SamplePoint(int strip, std::size_t i, double value) const;

    // The longest paint so far, in milliseconds (for the benchmark).
    [[nodiscard]] double WorstPaintMilliseconds() const { return m_worstPaintMs; }

  signals:
    // The mouse pointer is over the time of this sample (nullptr: no sample).
    void hovered(const HistorySample* sample);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    double m_worstPaintMs = 0.0;
    [[nodiscard]] QRectF stripRect(int strip) const;
    [[nodiscard]] double xOf(std::chrono::system_clock::time_point at) const;
    [[nodiscard]] std::pair<double, double> stripRange(int strip) const;
    void paintStrip(QPainter& painter, int strip) const;

    const ValueHistory& m_history;
    NowValueNumbers m_now;
    std::chrono::system_clock::time_point m_end{};
    bool m_stale = false;
};

class frmTrend : public QWidget {
    Q_OBJECT
  public:
    explicit frmTrend(QWidget* parent = nullptr);

    // A new current-value answer: kept, recorded when recording, and drawn unless paused.
    void ShowAnswer(const NowValueRecord& now);
    // The values are no longer refreshed, or are again. Going stale breaks the lines where the answers
    // stopped and writes a marker line into the recording, so that silence never reads as steady values.
    void ShowStale(bool stale, const QDateTime& lastAnswer);

    // What asks for the recording file ("" cancels) and what shows a message; tests replace them.
    void SetFileChooser(std::function<QString()> choose) { m_chooseFile = std::move(choose); }
    void SetNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }

    void cmdPause_Click();   // 一時停止 / 再開
    void cmdRecord_Click();  // 記録開始 / 記録停止

    [[nodiscard]] bool Recording() const { return m_writer.Recording(); }
    [[nodiscard]] bool Paused() const { return m_paused; }
    [[nodiscard]] TrendPlot* Plot() const { return m_plot; }

  signals:
    // The recording started or ended (by the user or by a failure).
    void recordingChanged(bool recording);

  private:
    void buildControls();
    void showHovered(const HistorySample* sample);
    void recordingEnded(const QString& message);
    // Writes one line of the recording; a failure ends it, and its message follows once the caller returned.
    void record(const std::string& line);
    void showWriteFailure();

    ValueHistory m_history;
    RecordingWriter m_writer;
    NowValueNumbers m_last;
    bool m_paused = false;
    bool m_stale = false;
    std::function<QString()> m_chooseFile;
    std::function<void(const QString&)> m_notice;
    QString m_writeFailure;  // the message of a write failure not shown yet

    TrendPlot* m_plot = nullptr;
    QPushButton* m_cmdPause = nullptr;
    QPushButton* m_cmdRecord = nullptr;
    QLabel* m_lblRecording = nullptr;
    QLabel* m_lblCursor = nullptr;
    QLabel* m_lblStale = nullptr;
};

// The header and the line of an answer in the recording: the time to the millisecond, then the texts of
// the current-value screen in its order.
std::string RecordingHeader();
std::string RecordingLineOf(const NowValueRecord& now);
// The marker line where the answers stopped: the time it was noticed, then what it is and the last answer.
std::string RecordingGapLine(std::chrono::system_clock::time_point noticedAt, const QDateTime& lastAnswer);

}  // namespace tessarin
