#include "ui/link_driver.h"

#include <QSocketNotifier>
#include <QTimer>

#include "link/link_diagnosis_system.h"

namespace tessarin {

namespace {

constexpr int kComRcvIntervalMs = 10;

QDateTime dateTimeOf(std::chrono::system_clock::time_point at) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count());
}

}  // namespace

LinkDriver::LinkDriver(QObject* parent) : QObject(parent), m_link(std::make_unique<UnitLink>(*this)) { buildTimers(); }

LinkDriver::LinkDriver(std::unique_ptr<PortListing> listing, UnitLink::CommFactory makeComm, QObject* parent)
    : QObject(parent), m_link(std::make_unique<UnitLink>(*this, std::move(listing), std::move(makeComm))) {
    buildTimers();
}

LinkDriver::~LinkDriver() { Stop(); }

void LinkDriver::buildTimers() {
    m_tmrComConnect = new QTimer(this);
    m_tmrComConnect->setObjectName(QStringLiteral("tmrComConnect"));
    m_tmrComConnect->setInterval(m_link->ConnectInterval());
    connect(m_tmrComConnect, &QTimer::timeout, this, &LinkDriver::tmrComConnect_Timer);
    m_tmrComRcv = new QTimer(this);
    m_tmrComRcv->setObjectName(QStringLiteral("tmrComRcv"));
    m_tmrComRcv->setTimerType(Qt::PreciseTimer);
    m_tmrComRcv->setInterval(kComRcvIntervalMs);
    connect(m_tmrComRcv, &QTimer::timeout, this, &LinkDriver::tmrComRcv_Timer);
    m_rcvContinue = new QTimer(this);
    m_rcvContinue->setObjectName(QStringLiteral("rcvContinue"));
    m_rcvContinue->setSingleShot(true);
    m_rcvContinue->setInterval(0);
    connect(m_rcvContinue, &QTimer::timeout, this, &LinkDriver::receivePass);
}

void LinkDriver::Start() {
    inLinkCall([this] { m_link->Start(); });
    refreshDiagnosis();

    // tmrComRcv ticks, or the port's descriptor is watched, once the link has something to read: the request
    // ticks set that up.
    m_tmrComConnect->start();
}

void LinkDriver::Stop() {
    m_stopped = true;
    m_pending.clear();
    for (QTimer* timer : {m_tmrComConnect, m_tmrComRcv, m_rcvContinue}) {
        timer->stop();
    }
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(false);
    }
}

void LinkDriver::LinkUp() {
    m_diagnosisStale = true;
    deliver([this] { emit linkUp(); });
}

void LinkDriver::LinkDown(LinkDownReason reason) {
    if (reason != m_lastDownReason) {
        m_lastDownReason = reason;
        m_diagnosisStale = true;
    }
    deliver([this, reason] { emit linkDown(reason); });
}

void LinkDriver::PortLost() {
    m_diagnosisStale = true;
    deliver([this] { emit portLost(); });
}

void LinkDriver::RequestSent(std::uint8_t code, bool accepted) {
    deliver([this, code, accepted] { emit requestSent(code, accepted); });
}

void LinkDriver::PassEnded() {
    deliver([this] { emit passEnded(); });
}

void LinkDriver::ReceiveStopped() {
    deliver([this] { emit receiveStopped(); });
}

void LinkDriver::AnswerOverdue(std::uint8_t code) {
    m_diagnosisStale = true;
    deliver([this, code] { emit answerOverdue(code); });
}

void LinkDriver::CollectionStopped() {
    deliver([this] { emit collectionStopped(); });
}

void LinkDriver::CommandTakenBack(std::uint8_t code) {
    deliver([this, code] { emit commandTakenBack(code); });
}

void LinkDriver::ConnectIntervalChanged(std::chrono::milliseconds interval) { m_tmrComConnect->setInterval(interval); }

void LinkDriver::FrameReceived(std::span<const std::uint8_t> frame, bool valid) {
    // A bad frame, or the first good one after silence or bad ones, changes the reason.
    if (!valid || m_tracker.Diagnosis().reason != LinkReason::OnLine) {
        m_diagnosisStale = true;
    }
    const auto at = std::chrono::system_clock::now();
    deliver([this,
             bytes = QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())),
             valid, when = dateTimeOf(at)] { emit frameReceived(bytes, valid, when); });
    if (!valid || frame.size() < 2 || frame[1] != kRespNowValue) {
        return;
    }
    // NowValue already holds the decoded answer when the link reports the frame.
    NowValueRecord& now = m_link->Data().NowValue;
    now.Numbers.receivedAt = at;
    setValuesStale(false);
    // One frame per receive call: NowValue still holds this answer when the call has returned.
    deliver([this, &now] { emit nowValueReceived(now); });
}

QDateTime LinkDriver::LastAnswerTime() const {
    const auto at = m_link->Data().NowValue.Numbers.receivedAt;
    return at == std::chrono::system_clock::time_point{} ? QDateTime() : dateTimeOf(at);
}

void LinkDriver::setValuesStale(bool stale) {
    if (stale != m_valuesStale) {
        m_valuesStale = stale;
        deliver([this, stale, when = LastAnswerTime()] { emit valuesStaleChanged(stale, when); });
    }
}

void LinkDriver::deliver(std::function<void()> signal) {
    m_pending.push_back(std::move(signal));
    deliverPending();
}

void LinkDriver::inLinkCall(const std::function<void()>& call) {
    ++m_linkCalls;
    call();
    --m_linkCalls;
    deliverPending();
}

void LinkDriver::deliverPending() {
    while (m_linkCalls == 0 && !m_pending.empty()) {
        const std::function<void()> signal = std::move(m_pending.front());
        m_pending.pop_front();
        signal();
    }
}

void LinkDriver::refreshDiagnosis() {
    const std::int64_t now = m_link->Monitor().Now();
    if (!m_diagnosisStale && (m_tracker.Diagnosis().reason == LinkReason::OnLine || now - m_diagnosedMs < 1000)) {
        return;
    }
    m_diagnosisStale = false;
    m_diagnosedMs = now;
    if (!m_tracker.Refresh(*m_link, now)) {
        return;
    }
    setValuesStale(tessarin::ValuesStale(m_tracker.Seen()));
    emit diagnosisChanged();
}

void LinkDriver::tmrComConnect_Timer() {
    inLinkCall([this] { m_link->ConnectTick(); });
    syncReceiveWake();
    refreshDiagnosis();
}

void LinkDriver::tmrComRcv_Timer() {
    receivePass();
    if (m_ticksAfterWake > 0) {
        --m_ticksAfterWake;
    }
    syncReceiveWake();
}

void LinkDriver::portReadable() {
    // The notifier stays quiet until a tick has found the line quiet again: a descriptor that polls
    // readable without bytes to read (a line hung up) must not spin the event loop.
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(false);
    }
    m_ticksAfterWake = 1;
    receivePass();
    syncReceiveWake();
}

void LinkDriver::receivePass() {
    // One frame per call; while the pass goes on it is called again once pending events have run, so that
    // nothing of the windows ever runs inside the link.
    bool goesOn = false;
    inLinkCall([this, &goesOn] { goesOn = m_link->ReceiveTick(); });
    if (goesOn) {
        m_rcvContinue->start();
    }
}

void LinkDriver::syncReceiveWake() {
    if (m_stopped) {
        return;
    }
    // Every byte the unit sends is read within a tick of its arrival: either the timer ticks, or the
    // port's descriptor wakes a pass.
    const int descriptor = m_link->ReceiveDescriptor();
    const int watched = m_rcvNotifier != nullptr ? static_cast<int>(m_rcvNotifier->socket()) : -1;
    if (descriptor != watched) {
        if (m_rcvNotifier != nullptr) {
            // It may be the notifier whose wake is running further up this stack.
            m_rcvNotifier->setEnabled(false);
            m_rcvNotifier->deleteLater();
            m_rcvNotifier = nullptr;
        }
        if (descriptor >= 0) {
            m_rcvNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
            m_rcvNotifier->setObjectName(QStringLiteral("rcvNotifier"));
            connect(m_rcvNotifier, &QSocketNotifier::activated, this, &LinkDriver::portReadable);
        }
    }
    const bool tick = m_ticksAfterWake > 0 || m_link->ReceiveTicksWanted();
    if (tick && !m_tmrComRcv->isActive()) {
        m_tmrComRcv->start();
    } else if (!tick && m_tmrComRcv->isActive()) {
        m_tmrComRcv->stop();
    }
    if (m_rcvNotifier != nullptr) {
        m_rcvNotifier->setEnabled(!tick);
    }
}

}  // namespace tessarin
