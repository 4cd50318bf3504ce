#include "link/unit_link.h"

#include <utility>

#include "link/port_discovery.h"
#include "link/request_cycle.h"

namespace tessarin {

namespace {

// Stands in when the factory gave no port: nothing opens, nothing is read or written.
class AbsentPort final : public CommPort {
  public:
    [[nodiscard]] std::int32_t PortNumber() const override { return 0; }
    void SetPortNumber(std::int32_t) override {}
    void SetBaudRate(std::int32_t) override {}
    void SetDataBits(std::uint8_t) override {}
    void SetParity(std::uint8_t) override {}
    void SetStopBits(std::uint8_t) override {}
    void SetHandshaking(std::int32_t) override {}
    void SetTimeOut(std::int16_t) override {}
    std::int32_t OpenPort() override { return 0; }
    std::int32_t ClosePort() override { return 0; }
    std::int32_t WriteBinary(std::span<const std::uint8_t>) override { return 0; }
    std::int32_t ReadBufferDataSize() override { return 0; }
    std::vector<std::uint8_t> ReadBinary() override { return {0}; }
    std::int32_t ClearWriteBuffer() override { return 0; }
    std::int32_t ClearReadBuffer() override { return 0; }
};

// Passes that follow a write whose answer nothing marks as awaited (a clear, the settings, an initialise):
// 200 ms at 10 ms a pass, as long as the log supervision waits for a record.
constexpr int kPassesAfterWrite = 20;

bool isRecordRequest(std::uint8_t code) {
    return code == kReqMinorFaultRecord || code == kReqOvgrRecord || code == kReqDeviceStateRecord;
}

}  // namespace

UnitLink::UnitLink(LinkView& view, std::unique_ptr<PortListing> listing, CommFactory makeComm)
    : m_view(view), m_listing(std::move(listing)), m_makeComm(std::move(makeComm)) {}

UnitLink::~UnitLink() = default;

CommPort& UnitLink::EnsureComm() {
    if (!m_comm && m_makeComm) {
        m_comm = m_makeComm();
    }
    if (!m_comm) {
        m_comm = std::make_unique<AbsentPort>();
    }
    return *m_comm;
}

void UnitLink::Discover() { m_data.PortNo = FindUnitPort(*m_listing, m_data, m_data.PortDevName); }

void UnitLink::ConnectTick() {
    // Every write toggles the send lamp; going off or on line changes LinkUp.
    const auto sendLamp = m_data.TxLamp;
    const auto linkUp = m_data.LinkUp;
    SuperviseConnection(m_data, *m_listing, m_view, [this]() -> CommPort& { return EnsureComm(); });
    if (m_data.TxLamp != sendLamp || m_data.LinkUp != linkUp) {
        m_passesOwed = kPassesAfterWrite;
    }
}

bool UnitLink::AnswerAwaited() const {
    return m_data.LinkUp == kTrue && m_data.TxStarted == kTrue &&
           (m_data.PollPending == kPollOutstanding || m_data.ReqCode == kReqAwaitingRecord);
}

bool UnitLink::ReceivePassesWanted() const {
    // Before the first poll a receive tick does nothing at all.
    return m_data.TxStarted == kTrue && (m_passesOwed > 0 || AnswerAwaited());
}

void UnitLink::ReceiveTick(const std::function<void()>& letEventsRun) {
    // The pass lets events run, and one of them may be this timer again: that tick has nothing to do.
    if (m_inReceivePass) {
        return;
    }
    m_inReceivePass = true;
    // The handler is looked up per record and called on a copy: events may replace it during the pass, and
    // it may replace itself.
    const std::function<void()> onLogRecord = [this] {
        const std::function<void()> handler = m_onLogRecord;
        if (handler) {
            handler();
        }
    };
    const bool extracted = ReceiveTimerTick(m_data, m_comm.get(), m_view, letEventsRun, onLogRecord);
    if (m_passesOwed > 0) {
        --m_passesOwed;
    }
    // An answer that came in, or a link that is down, settles what the last write or change was owed.
    if ((extracted && !AnswerAwaited()) || m_data.LinkUp == kFalse) {
        m_passesOwed = 0;
    }
    // A log record just in: ask for the next one now rather than at the next request tick, which would
    // add up to a tick to every one of the hundred exchanges.
    if (m_data.LinkUp == kTrue && m_comm && isRecordRequest(m_data.ReqCode)) {
        SendRequest(m_data, *m_comm, m_view);
    }
    m_inReceivePass = false;
}

void UnitLink::ClosePort() {
    if (m_comm) {
        (void)m_comm->ClosePort();
    }
}

}  // namespace tessarin
