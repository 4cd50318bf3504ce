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
    const auto linkUp = m_data.LinkUp;
    SuperviseConnection(m_data, *m_listing, m_view, [this]() -> CommPort& { return EnsureComm(); });
    // Going off or on line: one pass sets the receive lamp to what the link now is.
    if (m_data.LinkUp != linkUp) {
        m_passesOwed = 1;
    }
}

bool UnitLink::PassesRead() const { return m_data.TxStarted == kTrue && m_data.LinkUp == kTrue && m_comm; }

int UnitLink::ReceiveDescriptor() const { return PassesRead() ? m_comm->ReadableDescriptor() : -1; }

bool UnitLink::ReceiveTicksWanted() const {
    // Before the first poll a receive tick does nothing at all.
    if (m_data.TxStarted != kTrue) {
        return false;
    }
    return m_passesOwed > 0 || (PassesRead() && m_comm->ReadableDescriptor() < 0);
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
    (void)ReceiveTimerTick(m_data, m_comm.get(), m_view, letEventsRun, onLogRecord);
    if (m_passesOwed > 0) {
        --m_passesOwed;
    }
    m_inReceivePass = false;
}

void UnitLink::ClosePort() {
    if (m_comm) {
        (void)m_comm->ClosePort();
    }
}

}  // namespace tessarin
