// What drives the link in the program: the UnitLink, the timers that tick it (tmrComConnect at the pace the
// link says, tmrComRcv or a wake on the port's descriptor for the receive pass), and the diagnosis worked
// out again when the link changes. It turns the link's events into signals, delivered in the order the link
// reported them once the link's call has returned, so that nothing of a window (a message box's modal loop,
// a timer it starts or stops, a command it places) runs inside the link; the status bar and the windows
// draw them.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>

#include "link/link_diagnosis_tracker.h"
#include "link/link_events.h"
#include "link/port_listing.h"
#include "link/unit_link.h"

class QSocketNotifier;
class QTimer;

namespace tessarin {

class LinkDriver : public QObject, public LinkEvents {
    Q_OBJECT
  public:
    // The system's serial-port list and serial ports.
    explicit LinkDriver(QObject* parent = nullptr);
    // For tests: any listing and any port.
    LinkDriver(std::unique_ptr<PortListing> listing, UnitLink::CommFactory makeComm, QObject* parent = nullptr);
    ~LinkDriver() override;
    LinkDriver(const LinkDriver&) = delete;
    LinkDriver& operator=(const LinkDriver&) = delete;
    LinkDriver(LinkDriver&&) = delete;
    LinkDriver& operator=(LinkDriver&&) = delete;

    // Program start: the link's start-up step, the first diagnosis, then tmrComConnect runs.
    void Start();
    // Program end: no timer ticks and no wake comes any more; the port is left as it is.
    void Stop();

    UnitLink& Link() { return *m_link; }
    [[nodiscard]] const UnitLink& Link() const { return *m_link; }
    const LinkDiagnosisTracker& DiagnosisTracker() const { return m_tracker; }
    // The current values are not being refreshed: the windows showing them grey them.
    [[nodiscard]] bool ValuesStale() const { return m_valuesStale; }
    // When the last current-value answer came (not valid: none yet).
    [[nodiscard]] QDateTime LastAnswerTime() const;
    // True while the driver is inside one of the link's calls; no signal is emitted then.
    [[nodiscard]] bool InLinkCall() const { return m_linkCalls > 0; }

    // LinkEvents, each passed on as the signal of the same name (at once when it comes from outside a call
    // of the link, as a test gives it).
    void LinkUp() override;
    void LinkDown(LinkDownReason reason) override;
    void PortLost() override;
    void RequestSent(std::uint8_t code, bool accepted) override;
    void PassEnded() override;
    void ReceiveStopped() override;
    void AnswerOverdue(std::uint8_t code) override;
    void CollectionStopped() override;
    void CommandTakenBack(std::uint8_t code) override;
    // The link's pace: tmrComConnect takes the interval at once (a running timer starts its count again).
    void ConnectIntervalChanged(std::chrono::milliseconds interval) override;
    // A current-value answer is stamped with its arrival time before anyone hears of it.
    void FrameReceived(std::span<const std::uint8_t> frame, bool valid) override;

  signals:
    void linkUp();
    void linkDown(tessarin::LinkDownReason reason);
    void portLost();
    void requestSent(std::uint8_t code, bool accepted);
    void passEnded();
    void receiveStopped();
    void answerOverdue(std::uint8_t code);
    void collectionStopped();
    void commandTakenBack(std::uint8_t code);
    // Every frame extracted, `valid` when its checksum held; `at` when it was taken in.
    void frameReceived(const QByteArray& frame, bool valid, const QDateTime& at);
    // After frameReceived, for a valid current-value answer: `now` is the link's NowValue, decoded and stamped.
    void nowValueReceived(const tessarin::NowValueRecord& now);
    // The reason of the link's state, or what it was worked out from, changed.
    void diagnosisChanged();
    // The current values stopped being refreshed (the link is down or the polls go unanswered), or came back.
    void valuesStaleChanged(bool stale, const QDateTime& lastAnswer);

  private:
    void buildTimers();
    void tmrComConnect_Timer();
    void tmrComRcv_Timer();
    void portReadable();
    void receivePass();
    void syncReceiveWake();
    void refreshDiagnosis();
    void setValuesStale(bool stale);
    // Emits `signal` now, or after the link's call in progress has returned.
    void deliver(std::function<void()> signal);
    void deliverPending();
    // Runs one of the link's calls, then delivers what it reported.
    void inLinkCall(const std::function<void()>& call);

    std::unique_ptr<UnitLink> m_link;
    QTimer* m_tmrComConnect = nullptr;
    QTimer* m_tmrComRcv = nullptr;
    // Wakes a receive pass when the port has bytes, so that tmrComRcv need not tick while the line is quiet.
    QSocketNotifier* m_rcvNotifier = nullptr;
    QTimer* m_rcvContinue = nullptr;  // calls the receive pass again while it goes on
    int m_ticksAfterWake = 0;
    bool m_stopped = false;
    int m_linkCalls = 0;
    // Signals held while the link's call runs. A slot that runs a modal loop lets a nested tick deliver
    // the rest of the queue, in order, before its own.
    std::deque<std::function<void()>> m_pending;

    LinkDiagnosisTracker m_tracker;
    // The diagnosis is worked out again after an event that may change it, and once a second while the
    // link is down (a permission granted, a holder gone); not at every connect tick.
    bool m_diagnosisStale = true;
    std::int64_t m_diagnosedMs = 0;
    bool m_valuesStale = true;
    LinkDownReason m_lastDownReason = LinkDownReason::NotListed;
};

}  // namespace tessarin
