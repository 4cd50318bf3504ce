#include "link/log_collection.h"

#include <optional>
#include <utility>

#include "data/log_record_decoder.h"

namespace tessarin {

std::uint8_t LogRequestCodeForTab(int tab) {
    switch (tab) {
        case kTabMinorFault:
            return kReqMinorFaultRecord;
        case kTabDeviceState:
            return kReqDeviceStateRecord;
        case kTabOvgr:
            return kReqOvgrRecord;
        default:
            return 0;
    }
}

int LogRecordCountForTab(int tab) { return tab == kTabMinorFault ? kMinorFaultRecords : kShortLogRecords; }

std::uint8_t LogClearCodeForTab(int tab) {
    switch (tab) {
        case kTabMinorFault:
            return kReqClearMinorFaultLog;
        case kTabOvgr:
            return kReqClearOvgrLog;
        default:
            return 0;  // the device-state log cannot be cleared
    }
}

namespace {

int TabForRequestCode(std::uint8_t code) {
    switch (code) {
        case kReqDeviceStateRecord:
            return kTabDeviceState;
        case kReqOvgrRecord:
            return kTabOvgr;
        default:
            return kTabMinorFault;
    }
}

}  // namespace

namespace {

// Stands in while no log screen watches.
class NoView final : public LogCollectionView {
  public:
    void ShowProgress(const std::string& /*text*/) override {}
    void SetSupervisionRunning(bool /*running*/) override {}
    void CollectionStarted(int /*tab*/) override {}
    void CollectionEnded() override {}
    void CollectionCompleted(int /*tab*/, int /*recordCount*/) override {}
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
        AbortIfRunning();
    }
    m_view = &Unwatched();
}

void LogCollection::SetPace(std::chrono::milliseconds interval) {
    // Reported at the moment the interval is set: the connect timer restarts from here, and the first record
    // request leaves at its first tick.
    m_connectInterval = interval;
    m_events.ConnectIntervalChanged(interval);
}

void LogCollection::StartOrAbort(int tab) {
    if (m_failed) {
        return;
    }
    if (m_running) {
        Abort();
    } else {
        Start(tab);
    }
}

void LogCollection::Start(int tab) {
    const std::uint8_t code = LogRequestCodeForTab(tab);
    if (code == 0) {
        return;
    }
    m_tab = tab;
    m_running = true;
    m_data.LogBusy = 1;
    SetPace(kConnectIntervalCollecting);
    m_view->CollectionStarted(tab);
    m_data.LogReqCode = code;
    m_data.ReqCode = code;
    m_data.LogState = kLogRunning;
    m_data.SendData[0] = 1;
    m_data.LogWaitTicks = 0;
    m_data.LogRetryCount = 0;
    m_view->SetSupervisionRunning(true);
    // Entry 100 too: a stale line from an earlier collection must never reach the screen.
    for (auto& line : m_data.LogLines) {
        line.clear();
    }
    m_data.LogLines[0] = std::string(LogHeaderLine(tab));
}

void LogCollection::RecordArrived() {
    // Once the last record is in (LogState 2) a further answer must not overwrite the complete log.
    if (m_running && m_data.LogState == kLogRunning && !TakeLogRecord(m_data, m_tab)) {
        ++m_strayAnswers;
    }
}

void StepCollection(DeviceData& data, LogRecordLine record) {
    const int number = record.number;
    data.LogLines[static_cast<std::size_t>(number)] = std::move(record.line);
    int last = 0;
    if (data.LogReqCode == kReqMinorFaultRecord) {
        last = kMinorFaultRecords;
    } else if (data.LogReqCode == kReqOvgrRecord || data.LogReqCode == kReqDeviceStateRecord) {
        last = kShortLogRecords;
    }
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

bool TakeLogRecord(DeviceData& data, int tab) {
    // Only the answer asked for moves the collection: a renumbered or repeated answer stored under its own
    // number would overwrite a line, skip a record or end the log early. Anything else leaves everything as
    // it was, LogWaitTicks included, so the record asked for is re-sent at its time-out as if unanswered.
    // The answer's code (A1h, A2h or A3h) is not looked at: a unit may answer any log's request with any of
    // the three, and they are decoded alike.
    const bool collecting = data.LogReqCode >= kReqMinorFaultRecord && data.LogReqCode <= kReqDeviceStateRecord;
    if (!collecting || data.RcvFrame[3] != data.SendData[0]) {
        return false;
    }
    std::optional<LogRecordLine> record = DecodeLogRecord(data.RcvFrame, tab);
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
    m_view->ShowProgress({});
    if (m_data.LogState == kLogLastReceived) {
        Complete();
        return;
    }
    ++m_data.LogWaitTicks;
    if (m_data.LogWaitTicks < 2) {
        std::string text = kLogProgressPrefix + std::to_string(m_data.SendData[0]);
        if (m_data.LogRetryCount > 0) {
            text += "-" + std::to_string(m_data.LogRetryCount);
        }
        m_view->ShowProgress(text);
        return;
    }
    // The record is overdue.
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
    m_view->SetSupervisionRunning(false);
    m_data.LogState = kLogIdle;
    m_data.LogRetryCount = 0;
    m_data.LogWaitTicks = 0;
    SetPace(kConnectIntervalNormal);
    m_data.LogBusy = 0;
    m_view->CollectionEnded();
}

void LogCollection::Complete() {
    const int tab = TabForRequestCode(m_data.LogReqCode);
    EndCollection();
    m_view->CollectionCompleted(tab, LogRecordCountForTab(tab));
}

void LogCollection::Fail() {
    // Reported once: the supervision stops and the collection stops taking answers, and ReqCode 255 keeps
    // the request cycle from sending anything while the user is being told. The rest of the wind-down
    // follows the acknowledgement.
    m_running = false;
    m_failed = true;
    m_view->SetSupervisionRunning(false);
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

void LogCollection::Abort() {
    m_data.ReqCode = kReqNone;
    m_view->ShowProgress({});
    for (std::size_t i = 0; i + 1 < m_data.LogLines.size(); ++i) {
        m_data.LogLines[i].clear();
    }
    m_events.CollectionStopped();
    EndCollection();
}

void LogCollection::AbortIfRunning() {
    if (m_running) {
        Abort();
    }
}

void LogCollection::RequestClear(int tab) {
    const std::uint8_t code = LogClearCodeForTab(tab);
    if (code != 0) {
        m_data.ReqCode = code;
    }
}

}  // namespace tessarin
