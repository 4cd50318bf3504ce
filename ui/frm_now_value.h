// The current-value screen: the unit's measurements, the settings it reports with them and a few states,
// copied from NowValue into labels ten times a second.
#pragma once

#include <QWidget>
#include <utility>
#include <vector>

#include "data/device_data.h"
#include "ui/now_value_items.h"

class QGroupBox;
class QDateTime;
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
    // The values are no longer refreshed (greyed, with the time of the last answer), or are again.
    void ShowStale(bool stale, const QDateTime& lastAnswer);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // The item's title label above its boxed value label, both named, added to `row`: (title, value).
    std::pair<QLabel*, QLabel*> addPair(QHBoxLayout* row, const NowValueItem& item);

    const DeviceData& m_data;
    QTimer* m_tmrDisp = nullptr;

    // The value label of each item and the items themselves, in the order of NowValueGroups().
    std::vector<QLabel*> m_values;
    // What the labels show now; a tick that finds the same texts in NowValue leaves them alone (the timer
    // ticks ten times a second, the unit answers twice).
    NowValueRecord m_shown;
    bool m_shownOnce = false;
    std::vector<QLabel*> m_titles;
    std::vector<const NowValueItem*> m_items;
    QLabel* m_lblStale = nullptr;
};

}  // namespace tessarin
