// The record-by-record collection of one of the unit's three logs: the link's one collection, started and
// aborted through the link's commands (UnitCommands), ticked by the log screen's supervision timer (100 ms)
// and fed by record answers arriving through the receive pass. The screen watches it through
// LogCollectionView; the collection never touches a widget nor holds a text, and says the connect timer's
// pace to the link's events.
#pragma once

#include <chrono>
#include <cstdint>

#include "data/device_data.h"
#include "data/log_record_decoder.h"
#include "data/protocol_codes.h"
#include "link/frame_codec.h"
#include "link/link_events.h"

namespace tessarin {

inline constexpr std::chrono::milliseconds kConnectIntervalNormal{100};
inline constexpr std::chrono::milliseconds kConnectIntervalCollecting{10};
inline constexpr std::chrono::milliseconds kLogSupervisionInterval{100};
inline constexpr int kLogMaxResends = 3;

// Where a running collection stands at a supervision tick: the record it waits for (SendData[0]) and how
// often that record has been re-sent so far.
struct LogProgress {
    LogKind kind = LogKind::MinorFault;
    int record = 0;
    int resends = 0;
};

// Whether the collection wants its SupervisionTick every kLogSupervisionInterval.
enum class Supervision { Stopped, Running };

class LogCollectionView {
  public:
    LogCollectionView() = default;
    LogCollectionView(const LogCollectionView&) = delete;
    LogCollectionView& operator=(const LogCollectionView&) = delete;
    LogCollectionView(LogCollectionView&&) = delete;
    LogCollectionView& operator=(LogCollectionView&&) = delete;
    virtual ~LogCollectionView() = default;

    // A supervision tick within the awaited record's time-out: where the collection stands.
    virtual void ShowProgress(const LogProgress& progress) = 0;
    // Nothing is awaited within its time-out any more (the tick that found the record overdue or the log
    // complete, an abort): no progress to show.
    virtual void ClearProgress() = 0;
    // From now on the supervision ticks, or it no longer does.
    virtual void SetSupervision(Supervision state) = 0;
    // A collection of the log has begun: the screen shows it as collecting (the start becomes an abort,
    // deleting, saving and choosing another log are held, the log's table emptied).
    virtual void CollectionStarted(LogKind kind) = 0;
    // The collection has ended however it ended: the screen is as before the start.
    virtual void CollectionEnded() = 0;
    // The last record is in: LogLines 0..100 hold the complete log with `recordCount` records.
    virtual void CollectionCompleted(LogKind kind, int recordCount) = 0;
    // The collection has failed (once per failed collection, before it has ended). Only noted here: the
    // screen tells the user after the tick has returned, and calls LogCollection::AcknowledgeFailure when
    // the user has closed the message; CollectionEnded follows from there.
    virtual void CollectionFailed() = 0;
};

// Stores the line of the record asked for (SendData[0]) and steps the collection on: the next record, or
// LogState 2 after the log's last record; the wait and re-send counts start again.
void StepCollection(DeviceData& data, LogRecordLine record);
// Takes the record answer in RcvFrame into a collection of the log `kind` when it is the one asked for: record
// SendData[0] of the log LogReqCode names, in that log's answer code (A1h-A3h for 04h-06h); the collection
// then steps on. Any other answer (another record or log, a number without a line) is no answer: it changes
// nothing, and the time-out asks for the record again. True when the answer was taken.
bool TakeLogRecord(DeviceData& data, LogKind kind);

// What the log screen needs of the collection beyond the commands: watching it, ticking its supervision,
// acknowledging a failure, and whether one runs or has failed.
class LogCollectionWatch {
  public:
    LogCollectionWatch() = default;
    LogCollectionWatch(const LogCollectionWatch&) = delete;
    LogCollectionWatch& operator=(const LogCollectionWatch&) = delete;
    LogCollectionWatch(LogCollectionWatch&&) = delete;
    LogCollectionWatch& operator=(LogCollectionWatch&&) = delete;
    virtual ~LogCollectionWatch() = default;

    // The log screen that watches from now on (one at a time: a newer screen takes over from an older one).
    virtual void AttachView(LogCollectionView& view) = 0;
    // `view`'s screen is going. While it is the one watching, a running collection ends as an abort does
    // (the screen still shows it), and a failed one not yet acknowledged is ended in the shared records only
    // (LogBusy 0, ReqCode 0) and at the usual pace; nothing more is shown to it. Another screen's view stays.
    virtual void DetachView(const LogCollectionView& view) = 0;
    // The 100 ms supervision tick: progress, time-out and re-send (at most three per record), completion,
    // failure.
    virtual void SupervisionTick() = 0;
    // The user has closed the failure's message: the collection winds down (CollectionStopped, the usual
    // pace, LogBusy 0, CollectionEnded). Nothing unless Failed().
    virtual void AcknowledgeFailure() = 0;
    [[nodiscard]] virtual bool Running() const = 0;
    // The collection has failed and waits for AcknowledgeFailure: no record is taken, nothing is sent
    // (ReqCode 255), LogBusy stays 1 and the pace stays the collecting one.
    [[nodiscard]] virtual bool Failed() const = 0;
};

class LogCollection final : public LogCollectionWatch {
  public:
    // Made by the link and gone with it: `data` and `assembly` are the link's, `events` its counting relay.
    LogCollection(DeviceData& data, LinkEvents& events, FrameAssembler& assembly);
    ~LogCollection() override = default;
    LogCollection(const LogCollection&) = delete;
    LogCollection& operator=(const LogCollection&) = delete;
    LogCollection(LogCollection&&) = delete;
    LogCollection& operator=(LogCollection&&) = delete;

    void AttachView(LogCollectionView& view) override;
    void DetachView(const LogCollectionView& view) override;

    // Starts collecting the log when idle, whatever the link's state; the first record request leaves at
    // the next request-cycle tick. False, changing nothing, while one runs or a failure waits for its
    // acknowledgement (its message is up).
    bool Start(LogKind kind);
    // Ends a running collection as the user's abort does. False, changing nothing, when none runs (idle, or
    // failed and waiting for the acknowledgement).
    bool Abort();
    void SupervisionTick() override;
    // A record answer is in RcvFrame (the link's log record handler). Decoded only while a collection runs
    // and its last record is not yet in, so a late answer after an abort or a failure changes nothing and
    // requests nothing. Meanwhile an answer that is not the one asked for (TakeLogRecord) is counted and
    // otherwise ignored.
    void RecordArrived();
    void AcknowledgeFailure() override;

    [[nodiscard]] bool Running() const override { return m_running; }
    [[nodiscard]] bool Failed() const override { return m_failed; }
    // The log that is (or was last) collected.
    [[nodiscard]] LogKind Kind() const { return m_kind; }
    // The pace the request cycle needs: tmrComConnect's interval, 10 ms from the start of a collection to its
    // end (a failure's message included), 100 ms otherwise. Every setting is reported at once through
    // LinkEvents::ConnectIntervalChanged, from inside the call that made it.
    [[nodiscard]] std::chrono::milliseconds ConnectInterval() const { return m_connectInterval; }
    // Record answers ignored because they were for another record or log than the one asked for.
    [[nodiscard]] std::uint64_t StrayAnswers() const { return m_strayAnswers; }

  private:
    void Complete();
    void Fail();
    void EndCollection();
    void SetPace(std::chrono::milliseconds interval);

    DeviceData& m_data;
    LinkEvents& m_events;
    FrameAssembler& m_assembly;
    LogCollectionView* m_view;  // a view that shows nothing while no screen watches
    LogKind m_kind = LogKind::MinorFault;
    bool m_running = false;
    bool m_failed = false;
    std::chrono::milliseconds m_connectInterval = kConnectIntervalNormal;
    std::uint64_t m_strayAnswers = 0;
};

}  // namespace tessarin
