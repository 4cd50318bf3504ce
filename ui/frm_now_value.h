// The current-value screen: the unit's measurements, the settings it reports with them and a few states,
// copied from NowValue into labels ten times a second.
#pragma once

#include <QWidget>

#include "data/device_data.h"

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QTimer;

namespace tessarin {

inline constexpr const char* kNowValueCaption = "現在値表示";

class frmNowValue : public QWidget {
    Q_OBJECT
  public:
    // Opening the screen: the labels are filled once before the window is shown, then tmrDisp runs.
    // `deviceData` must outlive the window.
    explicit frmNowValue(const DeviceData& deviceData, QWidget* parent = nullptr);
    ~frmNowValue() override;
    frmNowValue(const frmNowValue&) = delete;
    frmNowValue& operator=(const frmNowValue&) = delete;
    frmNowValue(frmNowValue&&) = delete;
    frmNowValue& operator=(frmNowValue&&) = delete;

    // Copies NowValue into the value labels and shows the OVGR items only for a unit with that function.
    void RefreshNowValue();

    // The text of the progress label for these counts, such as 2回／5回.
    static QString ProgressText(int detectProgress, int confirmCount);
    // The confirmation-count label's text: the table entry for 1 to 10, empty otherwise.
    static QString ConfirmCountText(int confirmCount);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // A title label above a boxed value label, both named, added to `row`.
    QLabel* addPair(QHBoxLayout* row, const char* title, const char* titleName, const char* valueName,
                    int valueWidthTwips);

    const DeviceData& m_data;
    QTimer* m_tmrDisp = nullptr;

    QLabel* m_lblV0 = nullptr;
    QLabel* m_lblI0 = nullptr;
    QLabel* m_lblPhase = nullptr;
    QLabel* m_lblFreq = nullptr;
    QLabel* m_lblOvgrStateTitle = nullptr;
    QLabel* m_lblOvgrState = nullptr;
    QLabel* m_lblDetectMode = nullptr;
    QLabel* m_lblV0Level = nullptr;
    QLabel* m_lblI0Level = nullptr;
    QLabel* m_lblPhaseRange = nullptr;
    QLabel* m_lblDetectTime = nullptr;
    QLabel* m_lblConfirmCount = nullptr;
    QLabel* m_lblAlarmOut1 = nullptr;
    QLabel* m_lblAlarmOut2 = nullptr;
    QLabel* m_lblCyclicDisp = nullptr;
    QLabel* m_lblLogOverwrite = nullptr;
    QLabel* m_lblDetectProgress = nullptr;
    QLabel* m_lblOvgrModeTitle = nullptr;
    QLabel* m_lblOvgrMode = nullptr;
};

}  // namespace tessarin
