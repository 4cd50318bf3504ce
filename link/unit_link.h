// The link object the main window owns: the device data, the one serial port (created on first use), the
// one log collection, and the tick operations the window's timers call. Nothing in it sleeps or waits on
// the port.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <span>

#include "data/device_data.h"
#include "link/comm_port.h"
#include "link/frame_codec.h"
#include "link/link_counters.h"
#include "link/link_diagnosis.h"
#include "link/link_events.h"
#include "link/link_monitor.h"
#include "link/log_collection.h"
#include "link/port_listing.h"
#include "link/unit_commands.h"

namespace tessarin {

class UnitLink {
  public:
    using CommFactory = std::function<std::unique_ptr<CommPort>()>;

    // The program's link: the system's serial-port listing and a classComm. `events` hears what happens.
    explicit UnitLink(LinkEvents& events);
    // For tests: any listing and any port.
    UnitLink(LinkEvents& events, std::unique_ptr<PortListing> listing, CommFactory makeComm);
    ~UnitLink();
    UnitLink(const UnitLink&) = delete;
    UnitLink& operator=(const UnitLink&) = delete;
    UnitLink(UnitLink&&) = delete;
    UnitLink& operator=(UnitLink&&) = delete;

    [[nodiscard]] DeviceData& Data() { return m_data; }
    [[nodiscard]] const DeviceData& Data() const { return m_data; }

    // Program start, before the first tick: off line, no log collected, no poll out yet; then Discover.
    void Start();
    // PortNo := FindUnitPort(PortDevName).
    void Discover();
    // Tick of tmrComConnect: connection supervision, then one step of the request cycle while the port is open.
    // A settings write or initialise still placed when the port went away is taken back (CommandTakenBack).
    void ConnectTick();

    // The windows' commands, placed into the link's device data and decided then (see UnitCommands).
    [[nodiscard]] UnitCommands& Commands() { return m_commands; }
    // Tick of tmrComRcv (or a wake on the port): one loop of the receive pass, once the first poll is out
    // and while the port is open: reads what is waiting, extracts at most one frame and routes it when its
    // checksum holds. True when the pass goes on (a valid frame was routed, so more may be waiting): the
    // window then calls again as soon as pending events have run. Nothing of the window ever runs inside.
    // Only the request cycle writes: a record that arrives here is asked after at the next connect tick.
    bool ReceiveTick();
    // Empties the receive assembly (a re-sent request must not be joined by a partly received answer).
    void ResetAssembly() { m_assembler.Reset(); }
    // The receive assembly, for inspection.
    [[nodiscard]] const FrameAssembler& Assembler() const { return m_assembler; }
    // What the window watches between receive ticks so that every byte is read within one tick of its
    // arrival: the port's descriptor while a pass would read it (the window then runs a pass whenever it
    // polls readable), -1 when there is nothing to read or the port offers no descriptor.
    [[nodiscard]] int ReceiveDescriptor() const;
    // Whether tmrComRcv must tick every 10 ms: a pass would read a port that offers no descriptor to wake
    // on, or the link changed and the receive lamp must follow.
    [[nodiscard]] bool ReceiveTicksWanted() const;
    // tmrComConnect's interval: 10 ms while a log is collected, 100 ms otherwise. Every change is also
    // reported (LinkEvents::ConnectIntervalChanged) from inside the call that made it.
    [[nodiscard]] std::chrono::milliseconds ConnectInterval() const { return m_collection.ConnectInterval(); }
    // Closes the port if there is one (program end, "終了").
    void ClosePort();

    // Called for every valid A1h-A3h frame after it is in RcvFrame: the link's log collection, unless a test
    // watching the receive pass alone puts in another. Never replaced from inside itself.
    void SetLogRecordHandler(std::function<void()> handler) { m_onLogRecord = std::move(handler); }

    // The collection of the unit's logs: started and aborted through Commands(), supervised and watched by
    // the log screen.
    [[nodiscard]] LogCollection& Collection() { return m_collection; }
    [[nodiscard]] const LogCollection& Collection() const { return m_collection; }

    // Where the link's parts report what happened: counted here, then passed on to the window's events.
    [[nodiscard]] LinkEvents& Events() { return m_relay; }
    // Counts since the link was made.
    [[nodiscard]] LinkCounters Counters() const;
    // What the link itself has seen for the diagnosis: the listed port, the last open failure, the polls
    // unanswered in a row and the bad frames since the last valid one, since the port was last opened.
    // The system's part (permissions, holders) is filled by the caller.
    [[nodiscard]] LinkObservations Observations() const;

    // The last frames both ways and the polls' round trip, kept at all times for the link monitor.
    [[nodiscard]] LinkMonitor& Monitor() { return m_relay.monitor; }
    [[nodiscard]] const LinkMonitor& Monitor() const { return m_relay.monitor; }
    // Replaces the clock the monitor and the diagnosis times read (tests).
    void SetClock(LinkMonitor::Clock clock) { m_relay.monitor = LinkMonitor(kMonitorFrames, std::move(clock)); }

    // The port object, nullptr before the first open attempt.
    [[nodiscard]] CommPort* Comm() { return m_comm.get(); }

  private:
    CommPort& EnsureComm();
    [[nodiscard]] bool PassesRead() const;
    void RouteFrame(std::span<const std::uint8_t> frame);

    // Counts every event on its way to the window's.
    class CountingRelay final : public LinkEvents {
      public:
        CountingRelay(LinkEvents& to, const DeviceData& data) : m_to(to), m_data(data) {}
        void LinkUp() override;
        void LinkDown(LinkDownReason reason) override { m_to.LinkDown(reason); }
        void PortLost() override;
        void RequestSent(std::uint8_t code, bool accepted) override;
        void FrameReceived(std::span<const std::uint8_t> frame, bool valid) override;
        void PassEnded() override { m_to.PassEnded(); }
        void ReceiveStopped() override { m_to.ReceiveStopped(); }
        void AnswerOverdue(std::uint8_t code) override;
        void CollectionStopped() override;
        void CommandTakenBack(std::uint8_t code) override { m_to.CommandTakenBack(code); }
        void ConnectIntervalChanged(std::chrono::milliseconds interval) override {
            m_to.ConnectIntervalChanged(interval);
        }

        LinkCounters counters;
        LinkMonitor monitor;
        // Since the port was last opened.
        int unansweredPolls = 0;
        std::int64_t unansweredSinceMs = 0;  // when the first of the unanswered polls went out
        std::uint64_t badFramesSinceValid = 0;
        bool answered = false;
        // The last frames' outcomes, newest in bit 0, for a share of bad answers that never runs in a row.
        std::uint32_t recentBad = 0;
        std::uint32_t recentCount = 0;

      private:
        LinkEvents& m_to;
        const DeviceData& m_data;
        std::int64_t m_lastPollMs = 0;
        // The last record request (code, number), to tell a re-send from the next record.
        std::uint8_t m_lastRecordCode = 0;
        std::uint8_t m_lastRecordNumber = 0;
        // A frame failed its checksum since the last request went out: that request was answered, badly,
        // and is counted as a bad frame only, not as a time-out too.
        bool m_badSinceRequest = false;
    };

    DeviceData m_data;
    CountingRelay m_relay;
    std::unique_ptr<PortListing> m_listing;
    CommFactory m_makeComm;
    std::unique_ptr<CommPort> m_comm;
    std::function<void()> m_onLogRecord{[this] { m_collection.RecordArrived(); }};
    FrameAssembler m_assembler;
    // After the data, the relay and the assembly it uses, so that it goes before them.
    LogCollection m_collection{m_data, m_relay, m_assembler};
    LinkCommands m_commands{m_data, m_collection};
    bool m_passExtracted = false;  // the pass under way has extracted a frame
    // Receive passes still owed after a change of the link, counted down per tick.
    int m_passesOwed = 0;
};

}  // namespace tessarin
