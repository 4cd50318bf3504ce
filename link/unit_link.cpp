#include "link/unit_link.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <string>
#include <utility>

#include "data/now_value_decoder.h"
#include "link/frame_codec.h"

#include "link/connection_supervision.h"
#include "link/port_discovery.h"
#include "link/request_cycle.h"

namespace tessarin {

UnitLink::UnitLink(LinkEvents& events, std::unique_ptr<PortListing> listing, CommFactory makeComm)
    : m_relay(events, m_data), m_listing(std::move(listing)), m_makeComm(std::move(makeComm)) {}

UnitLink::~UnitLink() = default;

CommPort& UnitLink::EnsureComm() {
    if (!m_comm && m_makeComm) {
        m_comm = m_makeComm();
    }
    if (!m_comm) {
        m_comm = std::make_unique<ClosedPort>();
    }
    return *m_comm;
}

void UnitLink::Start() {
    m_data.LinkUp = kFalse;
    m_data.LogBusy = 0;
    m_data.TxStarted = kFalse;
    Discover();
}

void UnitLink::Discover() { m_data.PortNo = FindUnitPort(*m_listing, m_data, m_data.PortDevName); }

void UnitLink::ConnectTick() {
    const auto linkUp = m_data.LinkUp;
    const SupervisionOutcome outcome =
        SuperviseConnection(m_data, *m_listing, m_relay, [this]() -> CommPort& { return EnsureComm(); });
    if (PortWentAway(outcome)) {
        if (const std::uint8_t code = TakeBackPlacedCommand(m_data); code != 0) {
            m_relay.CommandTakenBack(code);
        }
    }
    if (m_data.LinkUp == kTrue) {
        (void)SendRequest(m_data, EnsureComm(), m_relay);
    }
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

bool UnitLink::ReceiveTick() {
    if (m_passesOwed > 0) {
        --m_passesOwed;
    }
    // Nothing is read before the first poll has gone out.
    if (m_data.TxStarted != kTrue) {
        return false;
    }
    if (m_data.LinkUp != kTrue || !m_comm) {
        m_relay.ReceiveStopped();
        m_passExtracted = false;
        return false;
    }
    // One loop of the pass: read what is waiting, assemble, check, route.
    // A failed read is counted and adds nothing: no byte of it may reach the assembly.
    const PortRead read = m_comm->Read();
    if (read.status == ReadStatus::Failed) {
        ++m_relay.counters.readsFailed;
    }
    const std::optional<std::vector<std::uint8_t>> frame = m_assembler.Push(read.bytes);
    bool more = false;
    if (frame) {
        m_passExtracted = true;
        // A frame that fails the checksum is dropped and ends the pass; the pass goes on while valid
        // frames keep coming.
        more = CheckFrame(*frame);
        if (more) {
            RouteFrame(*frame);
        }
        m_relay.FrameReceived(*frame, more);
    }
    if (!more) {
        if (m_passExtracted) {
            m_relay.PassEnded();
        }
        m_passExtracted = false;
    }
    return more;
}

void UnitLink::RouteFrame(std::span<const std::uint8_t> frame) {
    m_data.PollPending = 0;
    // Positions past this frame keep what longer frames left there.
    const std::size_t n = std::min(frame.size(), m_data.RcvFrame.size());
    std::copy_n(frame.begin(), n, m_data.RcvFrame.begin());
    m_data.RcvLast = static_cast<std::int16_t>(n - 1);
    const std::uint8_t code = frame[1];
    if (code == kRespNowValue) {
        // Past the frame's own end the received-frame record still holds what longer frames left there.
        m_data.NowValue = DecodeNowValue(m_data.RcvFrame, m_data.NowValue);
    } else if (code >= kRespRecordFirst && code <= kRespRecordLast && m_onLogRecord) {
        m_onLogRecord();
    }
}

LinkCounters UnitLink::Counters() const {
    LinkCounters counters = m_relay.counters;
    counters.spoiledStartMarks = m_assembler.Counters().spoiledStartMarks;
    counters.discardedBytes = m_assembler.Counters().discardedBytes;
    counters.recordsStray = m_collection.StrayAnswers();
    return counters;
}

LinkObservations UnitLink::Observations() const {
    LinkObservations seen;
    seen.linkUp = m_data.LinkUp == kTrue;
    // A port that will not open is tried again at every tick without a new search, so its number outlives
    // its entry: while down, the adapter counts as listed only while the entry is there.
    seen.listed = m_data.PortNo != -1 && (seen.linkUp || UnitPortListed(*m_listing, m_data.PortDevName));
    if (seen.listed) {
        seen.portName = "COM" + std::to_string(m_data.PortNo);
    } else {
        seen.untrustedListPart = m_listing->UntrustedPart();
    }
    if (m_comm) {
        seen.openFailure = seen.linkUp ? OpenFailure::None : m_comm->LastOpenFailure();
        seen.devicePath = m_comm->DevicePath();
    } else {
        seen.openFailure = OpenFailure::Other;  // not tried yet
    }
    seen.unansweredPolls = m_relay.unansweredPolls;
    seen.unansweredSinceMs = m_relay.unansweredSinceMs;
    seen.badFramesSinceValid = m_relay.badFramesSinceValid;
    seen.recentFrames = m_relay.recentCount;
    seen.recentBadFrames = static_cast<std::uint32_t>(std::popcount(m_relay.recentBad));
    seen.answered = m_relay.answered;
    return seen;
}

void UnitLink::CountingRelay::LinkUp() {
    ++counters.linksUp;
    unansweredPolls = 0;
    badFramesSinceValid = 0;
    answered = false;
    recentBad = 0;
    recentCount = 0;
    m_badSinceRequest = false;
    monitor.ForgetPoll();
    m_to.LinkUp();
}

void UnitLink::CountingRelay::PortLost() {
    ++counters.portsLost;
    m_to.PortLost();
}

void UnitLink::CountingRelay::RequestSent(std::uint8_t code, bool accepted) {
    ++counters.requestsSent;
    counters.writesRefused += accepted ? 0 : 1;
    m_badSinceRequest = false;
    // Every write is the whole send buffer, the request and what longer ones left behind it.
    monitor.FrameSent(m_data.SendFrame, accepted, code == kReqPoll);
    if (code == kReqPoll) {
        ++counters.pollsSent;
        m_lastPollMs = monitor.Now();
    } else if (code >= kReqMinorFaultRecord && code <= kReqDeviceStateRecord) {
        ++counters.recordsAsked;
        const std::uint8_t number = m_data.SendFrame[3];
        counters.recordsResent += code == m_lastRecordCode && number == m_lastRecordNumber ? 1 : 0;
        m_lastRecordCode = code;
        m_lastRecordNumber = number;
    }
    m_to.RequestSent(code, accepted);
}

void UnitLink::CountingRelay::FrameReceived(std::span<const std::uint8_t> frame, bool valid) {
    if (valid) {
        ++counters.framesValid;
        unansweredPolls = 0;
        badFramesSinceValid = 0;
        answered = true;
        counters.recordsReceived += frame[1] >= kRespRecordFirst && frame[1] <= kRespRecordLast ? 1 : 0;
    } else {
        ++counters.badChecksums;
        ++badFramesSinceValid;
        m_badSinceRequest = true;
    }
    static_assert(kRecentFrames <= 32);
    recentBad = static_cast<std::uint32_t>(
        (((std::uint64_t{recentBad} << 1U) | (valid ? 0U : 1U)) & ((std::uint64_t{1} << kRecentFrames) - 1U)));
    recentCount = std::min<std::uint32_t>(recentCount + 1, kRecentFrames);
    monitor.FrameReceived(frame, valid, frame.size() > 1 && frame[1] == kRespNowValue);
    m_to.FrameReceived(frame, valid);
}

void UnitLink::CountingRelay::AnswerOverdue(std::uint8_t code) {
    // A poll answered only by a bad frame still leaves the values unrefreshed (unansweredPolls), but the
    // counters tell it as the bad frame it was.
    const bool timedOut = !m_badSinceRequest;
    if (code == kReqPoll) {
        counters.pollsUnanswered += timedOut ? 1 : 0;
        if (unansweredPolls++ == 0) {
            unansweredSinceMs = m_lastPollMs;
        }
        monitor.ForgetPoll();
    } else {
        counters.recordsOverdue += timedOut ? 1 : 0;
    }
    m_to.AnswerOverdue(code);
}

void UnitLink::CountingRelay::CollectionStopped() {
    m_lastRecordCode = 0;  // a new collection's first request is no re-send
    m_to.CollectionStopped();
}

void UnitLink::ClosePort() {
    if (m_comm) {
        m_comm->Close();
    }
}

}  // namespace tessarin
