#include "link/log_collection.h"

#include <optional>
#include <utility>

#include "data/log_record_decoder.h"

namespace tessarin {

namespace {

// Stands in while no log screen watches.
class NoView final : public LogCollectionView {
  public:
    void ShowProgress(const LogProgress& /*progress*/) override {}
    void ClearProgress() override {}
    void SetSupervision(Supervision /*state*/) override {}
    void CollectionStarted(LogKind /*kind*/) override {}
    void CollectionEnded() override {}
    void CollectionCompleted(LogKind /*kind*/, int /*recordCount*/) override {}
    void CollectionFailed() override {}
};

LogCollectionView& Unwatched() {
    static NoView view;
    return view;
}

}  // namespace

LogCollection::LogCollection(DeviceData& data, LinkEvents& events, FrameAssembler& assembly)
    : m_data(data), m_events(events), m_assembly(assembly), m_view(&Unwatched()) {}

void LogCollection::AttachView(LogCollectionView& view) { m_view = &view; }

void LogCollection::DetachView(const LogCollectionView& view) {
    if (m_view != &view) {
        return;
    }
    if (m_failed) {
        // The screen that would acknowledge the failure is going: the shared records are wound down here.
        m_failed = false;
        m_data.ReqCode = kReqNone;
        m_data.LogState = kLogIdle;
        m_data.LogRetryCount = 0;
        m_data.LogWaitTicks = 0;
        m_data.LogBusy = 0;
        SetPace(kConnectIntervalNormal);
    } else {
        (void)Abort();
    }
    m_view = &Unwatched();
}

void LogCollection::SetPace(std::chrono::milliseconds interval) {
    // Reported at the moment the interval is set: the connect timer restarts from here, and the first record
    // request leaves at its first tick.
    m_connectInterval = interval;
    m_events.ConnectIntervalChanged(interval);
}

bool LogCollection::Start(LogKind kind) {
    if (m_failed || m_running) {
        return false;
    }
    const std::uint8_t code = CodesOf(kind).request;
    m_kind = kind;
    m_running = true;
    m_data.LogBusy = 1;
    SetPace(kConnectIntervalCollecting);
    m_view->CollectionStarted(kind);
    m_data.LogReqCode = code;
    m_data.ReqCode = code;
    m_data.LogState = kLogRunning;
    m_data.SendData[0] = 1;
    m_data.LogWaitTicks = 0;
    m_data.LogRetryCount = 0;
    m_view->SetSupervision(Supervision::Running);
    // Entry 100 too: a stale line from an earlier collection must never reach the screen.
    for (auto& line : m_data.LogLines) {
        line.clear();
    }
    m_data.LogLines[0] = std::string(LogHeaderLine(kind));
    return true;
}

void LogCollection::RecordArrived() {
    // Once the last record is in (LogState 2) a further answer must not overwrite the complete log.
    if (m_running && m_data.LogState == kLogRunning && !TakeLogRecord(m_data, m_kind)) {
        ++m_strayAnswers;
    }
}

void StepCollection(DeviceData& data, LogRecordLine record) {
    const int number = record.number;
    data.LogLines[static_cast<std::size_t>(number)] = std::move(record.line);
    const std::optional<LogKind> kind = LogKindOfRequest(data.LogReqCode);
    const int last = kind ? CodesOf(*kind).records : 0;
    if (number < last) {
        ++data.SendData[0];
        data.ReqCode = data.LogReqCode;
    } else {
        data.ReqCode = kReqNone;
        data.LogState = kLogLastReceived;
    }
    data.LogWaitTicks = 0;
    data.LogRetryCount = 0;
}

bool TakeLogRecord(DeviceData& data, LogKind kind) {
    // Only the answer asked for moves the collection: a renumbered or repeated answer stored under its own
    // number would overwrite a line, skip a record or end the log early. Anything else leaves everything as
    // it was, LogWaitTicks included, so the record asked for is re-sent at its time-out as if unanswered.
    // The answer's code (A1h, A2h or A3h) is not looked at: a unit may answer any log's request with any of
    // the three, and they are decoded alike.
    const bool collecting = data.LogReqCode >= kReqMinorFaultRecord && data.LogReqCode <= kReqDeviceStateRecord;
    if (!collecting || data.RcvFrame[3] != data.SendData[0]) {
        return false;
    }
    std::optional<LogRecordLine> record = DecodeLogRecord(data.RcvFrame, kind);
    if (!record) {
        return false;  // a number without a line
    }
    StepCollection(data, std::move(*record));
    return true;
}

void LogCollection::SupervisionTick() {
    if (!m_running) {
        return;
    }
    if (m_data.LogState == kLogLastReceived) {
        m_view->ClearProgress();
        Complete();
        return;
    }
    ++m_data.LogWaitTicks;
    if (m_data.LogWaitTicks < 2) {
        m_view->ShowProgress(LogProgress{m_kind, m_data.SendData[0], m_data.LogRetryCount});
        return;
    }
    // The record is overdue.
    m_view->ClearProgress();
    m_events.AnswerOverdue(m_data.LogReqCode);
    if (m_data.LogRetryCount < kLogMaxResends) {
        ++m_data.LogRetryCount;
        m_assembly.Reset();  // a half-received answer must not join the re-sent one's
        m_data.LogWaitTicks = 0;
        m_data.ReqCode = m_data.LogReqCode;
        return;
    }
    Fail();
}

void LogCollection::EndCollection() {
    m_running = false;
    m_view->SetSupervision(Supervision::Stopped);
    m_data.LogState = kLogIdle;
    m_data.LogRetryCount = 0;
    m_data.LogWaitTicks = 0;
    SetPace(kConnectIntervalNormal);
    m_data.LogBusy = 0;
    m_view->CollectionEnded();
}

void LogCollection::Complete() {
    const LogKind kind = LogKindOfRequest(m_data.LogReqCode).value_or(LogKind::MinorFault);
    EndCollection();
    m_view->CollectionCompleted(kind, CodesOf(kind).records);
}

void LogCollection::Fail() {
    // Reported once: the supervision stops and the collection stops taking answers, and ReqCode 255 keeps
    // the request cycle from sending anything while the user is being told. The rest of the wind-down
    // follows the acknowledgement.
    m_running = false;
    m_failed = true;
    m_view->SetSupervision(Supervision::Stopped);
    m_data.ReqCode = kReqAwaitingRecord;
    m_view->CollectionFailed();
}

void LogCollection::AcknowledgeFailure() {
    if (!m_failed) {
        return;
    }
    m_failed = false;
    m_data.ReqCode = kReqNone;
    m_events.CollectionStopped();
    EndCollection();
}

bool LogCollection::Abort() {
    if (!m_running) {
        return false;
    }
    m_data.ReqCode = kReqNone;
    m_view->ClearProgress();
    for (std::size_t i = 0; i + 1 < m_data.LogLines.size(); ++i) {
        m_data.LogLines[i].clear();
    }
    m_events.CollectionStopped();
    EndCollection();
    return true;
}

}  // namespace tessarin
