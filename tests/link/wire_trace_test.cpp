// A scripted session tick by tick, its writes to the port recorded as "<ms> <hex>" lines and compared with a
// reference trace: polls with their answers, a settings write, a 10-record collection of the device-state
// log in which one answer is dropped, and an unplug and replug. Any change to what the unit sees, or at
// which tick, shows here. Run with TESSARIN_PRINT_TRACE=1 to print the trace of the code as it is.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/log_record_decoder.h"
#include "link/fake_comm_port.h"
#include "link/fake_port_listing.h"
#include "link/log_collection.h"
#include "link/recording_collection_view.h"
#include "link/recording_link_events.h"
#include "link/request_cycle.h"
#include "link/scripted_log_unit.h"
#include "link/unit_link.h"
#include "link/wire_trace_reference.h"

namespace tessarin {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WireTrace {
  public:
    WireTrace() {
        auto listing = std::make_unique<test::FakePortListing>();
        auto port = std::make_unique<test::FakeCommPort>();
        m_listing = listing.get();
        m_port = port.get();
        PlugIn();
        m_unit.delayMs = 30;
        // Record 4 goes unanswered the first time it is asked for.
        m_unit.answers = [](int record, int sending) { return record != 4 || sending > 1; };
        m_port->OnWrite([this](const Bytes& frame) { OnWrite(frame); });
        m_link = std::make_unique<UnitLink>(m_lamps, std::move(listing), test::HandOver(std::move(port)));
        m_collection = &m_link->Collection();
        m_collection->AttachView(m_view);
        m_link->Discover();
    }

    std::string Run() {
        Steps(1500);
        for (std::size_t i = 0; i < 17; ++i) {
            m_link->Data().SendData[i] = static_cast<std::uint8_t>(0x10 + i);
        }
        m_link->Data().ReqCode = kReqWriteSettings;
        Steps(700);
        EXPECT_EQ(m_link->Commands().StartCollection(LogKind::DeviceState), CommandResult::Queued);
        for (int t = 0; t < 5000 && m_collection->Running(); t += 10) {
            Steps(10);
        }
        Steps(600);
        m_listing->RemoveVcp(0);
        m_port->RemoveDevice(5);
        m_port->Vanish();
        Steps(300);
        m_port->Reappear();
        PlugIn();
        Steps(1200);
        return m_trace.str();
    }

  private:
    void PlugIn() {
        m_listing->SetVcp(0, "COM5");
        m_port->AddDevice(5);
    }
    void OnWrite(const Bytes& frame) {
        m_trace << m_now;
        for (const std::uint8_t b : frame) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            m_trace << ' ' << kDigits[b >> 4] << kDigits[b & 0x0F];
        }
        m_trace << '\n';
        m_unit.OnRequest(frame, m_now);
        if (frame.size() > 1 && frame[1] == kReqPoll) {
            Bytes values(24, 0x00);
            values[0] = 0x01;
            values[1] = 0xC8;
            m_unit.pending.emplace_back(m_now + 60, test::ScriptedLogUnit::Frame(0xA0, values));
        }
    }
    // The window's timers in 10 ms steps: tmrComConnect at the interval the link reports, tmrComRcv
    // every step, tmrComLog every 100 ms while it runs.
    void Steps(int ms) {
        for (int t = 0; t < ms; t += 10) {
            m_now += 10;
            m_unit.DeliverDue(*m_port, m_now);
            if (m_lamps.ConnectInterval() != m_connectInterval) {  // QTimer::setInterval restarts the timer
                m_connectInterval = m_lamps.ConnectInterval();
                m_connectDue = m_now + m_connectInterval - 10;
            }
            if (m_now >= m_connectDue) {
                m_link->ConnectTick();
                m_connectDue = m_now + m_connectInterval;
            }
            while (m_link->ReceiveTick()) {
            }
            if (m_view.supervising != m_supervising) {
                m_supervising = m_view.supervising;
                m_supervisionDue = m_now + 100;
            }
            if (m_supervising && m_now >= m_supervisionDue) {
                m_collection->SupervisionTick();
                m_supervisionDue = m_now + 100;
            }
        }
    }

    int m_now = 0;
    int m_connectInterval = 100;
    int m_connectDue = 100;
    bool m_supervising = false;
    int m_supervisionDue = 0;
    std::ostringstream m_trace;
    test::RecordingLinkEvents m_lamps;
    test::RecordingCollectionView m_view;
    test::ScriptedLogUnit m_unit;
    test::FakePortListing* m_listing = nullptr;
    test::FakeCommPort* m_port = nullptr;
    std::unique_ptr<UnitLink> m_link;
    LogCollection* m_collection = nullptr;
};

TEST(WireTrace, SessionWritesTheReferenceBytesAtTheReferenceTicks) {
    WireTrace session;
    const std::string trace = session.Run();
    if (std::getenv("TESSARIN_PRINT_TRACE") != nullptr) {
        std::fputs(trace.c_str(), stdout);
    }
    EXPECT_EQ(trace, test::kWireTraceReference);
}

}  // namespace
}  // namespace tessarin
