// The record-by-record collection of one of the unit's three logs, driven by the log screen's
// supervision timer (tmrComLog, 100 ms) and by record answers arriving through the receive pass.
// The screen implements LogCollectionView; the collection never touches a widget.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "data/device_data.h"
#include "data/log_record_decoder.h"
#include "link/unit_link.h"

namespace tessarin {

inline constexpr std::chrono::milliseconds kConnectIntervalNormal{100};
inline constexpr std::chrono::milliseconds kConnectIntervalCollecting{10};
inline constexpr std::chrono::milliseconds kLogSupervisionInterval{100};
inline constexpr int kLogMaxResends = 3;

// Texts the collection shows.
inline constexpr const char* kLogProgressPrefix = "ログNo：";
inline constexpr const char* kLogFailureText = "ログ収集に失敗しました。";
inline constexpr const char* kLogFailureTitle = "ログ収集エラー";

class LogCollectionView {
  public:
    LogCollectionView() = default;
    LogCollectionView(const LogCollectionView&) = delete;
    LogCollectionView& operator=(const LogCollectionView&) = delete;
    LogCollectionView(LogCollectionView&&) = delete;
    LogCollectionView& operator=(LogCollectionView&&) = delete;
    virtual ~LogCollectionView() = default;

    // lblLogNo's caption.
    virtual void ShowProgress(const std::string& text) = 0;
    // tmrComConnect's interval: 10 ms while collecting, 100 ms otherwise.
    virtual void SetConnectInterval(std::chrono::milliseconds interval) = 0;
    // tmrComLog on or off.
    virtual void SetSupervisionRunning(bool running) = 0;
    // A collection of `tab`'s log has begun: "読み込み中止", delete and export disabled, the tab control
    // disabled, the tab's grid emptied.
    virtual void CollectionStarted(int tab) = 0;
    // The collection has ended however it ended: "ログ取込", buttons and tab control enabled.
    virtual void CollectionEnded() = 0;
    // The last record is in: LogLines 0..100 hold the complete log of `tab` with `recordCount` records.
    virtual void CollectionCompleted(int tab, int recordCount) = 0;
    // "ログ収集に失敗しました。": called once per failed collection, before the collection has ended;
    // nothing is sent while it is shown, and CollectionEnded follows when it returns.
    virtual void ReportFailure() = 0;
};

// Request code, record count and clear code of the log shown on a tab (0 when the tab has none).
std::uint8_t LogRequestCodeForTab(int tab);
int LogRecordCountForTab(int tab);
std::uint8_t LogClearCodeForTab(int tab);

// Stores a decoded record's line under its own number and steps the collection on: the next record (the one
// after the number asked for last), or LogState 2 after the log's last record; the wait and re-send counts
// start again.
void StepCollection(DeviceData& data, LogRecordLine record);
// Decodes the record answer in RcvFrame for a collection of `tab` and steps the collection on; a record
// number without a line changes nothing.
void TakeLogRecord(DeviceData& data, int tab);

class LogCollection {
  public:
    // Both must outlive the collection. What the link should show of it goes to the link's events.
    LogCollection(UnitLink& link, LogCollectionView& view);
    // A collection still running is ended in the shared records only (LogBusy 0); the view is not called.
    ~LogCollection();
    LogCollection(const LogCollection&) = delete;
    LogCollection& operator=(const LogCollection&) = delete;
    LogCollection(LogCollection&&) = delete;
    LogCollection& operator=(LogCollection&&) = delete;

    // cmdLogInport_Click: starts collecting the log of `tab` when idle (a tab without a log does nothing),
    // aborts the running collection otherwise. The first record request leaves at the next request-cycle tick.
    void cmdLogInport_Click(int tab);
    // tmrComLog_Timer: progress, time-out and re-send (at most three per record), completion, failure.
    void tmrComLog_Timer();
    // A record answer is in RcvFrame (the link's log record handler). Decoded only while a collection runs
    // and its last record is not yet in, so a late answer after an abort or a failure changes nothing and
    // requests nothing.
    void RecordArrived();
    // cmdLogDelete_Click after the user confirmed: places the clear request of the tab's log, if it has one.
    void cmdLogDelete_Click(int tab);
    // Ends a running collection as an abort does (the log window is closing); nothing when idle.
    void AbortIfRunning();

    [[nodiscard]] bool Running() const { return m_running; }
    // The tab whose log is (or was last) collected.
    [[nodiscard]] int Tab() const { return m_tab; }

  private:
    void Start(int tab);
    void Abort();
    void Complete();
    void Fail();
    void EndCollection();

    UnitLink& m_link;
    DeviceData& m_data;
    LogCollectionView& m_view;
    int m_tab = 0;
    bool m_running = false;
    bool m_failing = false;  // the failure is being reported; the wind-down waits for the user
    // Tells a failure report that returns after the collection was destroyed meanwhile.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace tessarin
