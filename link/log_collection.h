// The record-by-record collection of one of the unit's three logs: the link's one collection, commanded by
// the log screen (start or abort, and its supervision timer tmrComLog, 100 ms) and fed by record answers
// arriving through the receive pass. The screen watches it through LogCollectionView; the collection never
// touches a widget, and says the connect timer's pace to the link's events.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "data/device_data.h"
#include "data/log_record_decoder.h"
#include "link/frame_codec.h"
#include "link/link_events.h"

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
    // tmrComLog on or off.
    virtual void SetSupervisionRunning(bool running) = 0;
    // A collection of `tab`'s log has begun: "読み込み中止", delete and export disabled, the tab control
    // disabled, the tab's grid emptied.
    virtual void CollectionStarted(int tab) = 0;
    // The collection has ended however it ended: "ログ取込", buttons and tab control enabled.
    virtual void CollectionEnded() = 0;
    // The last record is in: LogLines 0..100 hold the complete log of `tab` with `recordCount` records.
    virtual void CollectionCompleted(int tab, int recordCount) = 0;
    // The collection has failed (once per failed collection, before it has ended). Only noted here: the
    // screen tells the user after the tick has returned, and calls LogCollection::AcknowledgeFailure when
    // the user has closed the message; CollectionEnded follows from there.
    virtual void CollectionFailed() = 0;
};

// Request code, record count and clear code of the log shown on a tab (0 when the tab has none).
std::uint8_t LogRequestCodeForTab(int tab);
int LogRecordCountForTab(int tab);
std::uint8_t LogClearCodeForTab(int tab);

// Stores the line of the record asked for (SendData[0]) and steps the collection on: the next record, or
// LogState 2 after the log's last record; the wait and re-send counts start again.
void StepCollection(DeviceData& data, LogRecordLine record);
// Takes the record answer in RcvFrame into a collection of `tab` when it is the one asked for: record
// SendData[0] of the log LogReqCode names, in that log's answer code (A1h-A3h for 04h-06h); the collection
// then steps on. Any other answer (another record or log, a number without a line) is no answer: it changes
// nothing, and the time-out asks for the record again. True when the answer was taken.
bool TakeLogRecord(DeviceData& data, int tab);

class LogCollection {
  public:
    // Made by the link and gone with it: `data` and `assembly` are the link's, `events` its counting relay.
    LogCollection(DeviceData& data, LinkEvents& events, FrameAssembler& assembly);
    ~LogCollection() = default;
    LogCollection(const LogCollection&) = delete;
    LogCollection& operator=(const LogCollection&) = delete;
    LogCollection(LogCollection&&) = delete;
    LogCollection& operator=(LogCollection&&) = delete;

    // The log screen that watches from now on (one at a time: a newer screen takes over from an older one).
    void AttachView(LogCollectionView& view);
    // `view`'s screen is going. While it is the one watching, a running collection ends as an abort does
    // (the screen still shows it), and a failed one not yet acknowledged is ended in the shared records only
    // (LogBusy 0, ReqCode 0) and at the usual pace; nothing more is shown to it. Another screen's view stays.
    void DetachView(const LogCollectionView& view);

    // Starts collecting the log of `tab` when idle (a tab without a log does nothing), aborts the running
    // collection otherwise. The first record request leaves at the next request-cycle tick. Nothing while a
    // failure waits for its acknowledgement: its message is up.
    void StartOrAbort(int tab);
    // The 100 ms supervision tick: progress, time-out and re-send (at most three per record), completion,
    // failure.
    void SupervisionTick();
    // A record answer is in RcvFrame (the link's log record handler). Decoded only while a collection runs
    // and its last record is not yet in, so a late answer after an abort or a failure changes nothing and
    // requests nothing. Meanwhile an answer that is not the one asked for (TakeLogRecord) is counted and
    // otherwise ignored.
    void RecordArrived();
    // Places the clear request of the tab's log, if it has one (the user has confirmed).
    void RequestClear(int tab);
    // Ends a running collection as an abort does; nothing when idle.
    void AbortIfRunning();
    // The user has closed the failure's message: the collection winds down (CollectionStopped, the usual
    // pace, LogBusy 0, CollectionEnded). Nothing unless Failed().
    void AcknowledgeFailure();

    [[nodiscard]] bool Running() const { return m_running; }
    // The collection has failed and waits for AcknowledgeFailure: no record is taken, nothing is sent
    // (ReqCode 255), LogBusy stays 1 and the pace stays the collecting one.
    [[nodiscard]] bool Failed() const { return m_failed; }
    // The tab whose log is (or was last) collected.
    [[nodiscard]] int Tab() const { return m_tab; }
    // The pace the request cycle needs: tmrComConnect's interval, 10 ms from the start of a collection to its
    // end (a failure's message included), 100 ms otherwise. Every setting is reported at once through
    // LinkEvents::ConnectIntervalChanged, from inside the call that made it.
    [[nodiscard]] std::chrono::milliseconds ConnectInterval() const { return m_connectInterval; }
    // Record answers ignored because they were for another record or log than the one asked for.
    [[nodiscard]] std::uint64_t StrayAnswers() const { return m_strayAnswers; }

  private:
    void Start(int tab);
    void Abort();
    void Complete();
    void Fail();
    void EndCollection();
    void SetPace(std::chrono::milliseconds interval);

    DeviceData& m_data;
    LinkEvents& m_events;
    FrameAssembler& m_assembly;
    LogCollectionView* m_view;  // a view that shows nothing while no screen watches
    int m_tab = 0;
    bool m_running = false;
    bool m_failed = false;
    std::chrono::milliseconds m_connectInterval = kConnectIntervalNormal;
    std::uint64_t m_strayAnswers = 0;
};

}  // namespace tessarin
