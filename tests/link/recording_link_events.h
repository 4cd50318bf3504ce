// LinkEvents for tests. What it can do: record every event by name, in order, with the link-down reasons and
// the codes of requests sent and answers overdue; tell whether the link was last reported up; forget what it
// recorded (Clear); keep every connect interval the link reported, so that a test's loop can stand in for
// tmrComConnect at the pace the link says (kept apart from the events, and through Clear). It shows nothing.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/link_events.h"

namespace tessarin::test {

class RecordingLinkEvents : public LinkEvents {
  public:
    void LinkUp() override { add("LinkUp"); }
    void LinkDown(LinkDownReason reason) override {
        add("LinkDown");
        m_reasons.push_back(reason);
    }
    void PortLost() override { add("PortLost"); }
    void RequestSent(std::uint8_t code, bool /*accepted*/) override {
        add("RequestSent");
        m_requests.push_back(code);
    }
    void FrameReceived(std::span<const std::uint8_t> /*frame*/, bool valid) override {
        add(valid ? "FrameReceived" : "BadFrame");
    }
    void PassEnded() override { add("PassEnded"); }
    void ReceiveStopped() override { add("ReceiveStopped"); }
    void AnswerOverdue(std::uint8_t code) override {
        add("AnswerOverdue");
        m_overdue.push_back(code);
    }
    void CollectionStopped() override { add("CollectionStopped"); }
    void CommandTakenBack(std::uint8_t code) override {
        add("CommandTakenBack");
        m_takenBack.push_back(code);
    }
    void ConnectIntervalChanged(std::chrono::milliseconds interval) override {
        m_intervals.push_back(static_cast<int>(interval.count()));
    }

    const std::vector<std::string>& Events() const { return m_events; }
    // The events with these names only, in order.
    std::vector<std::string> Only(std::initializer_list<const char*> names) const {
        std::vector<std::string> out;
        std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(out), [&](const std::string& e) {
            return std::any_of(names.begin(), names.end(), [&](const char* n) { return e == n; });
        });
        return out;
    }
    int Count(const std::string& name) const {
        return static_cast<int>(std::count(m_events.begin(), m_events.end(), name));
    }
    // Whether the last link report was LinkUp (false also when none was made).
    bool ShownUp() const {
        const auto last = std::find_if(m_events.rbegin(), m_events.rend(),
                                       [](const std::string& e) { return e == "LinkUp" || e == "LinkDown"; });
        return last != m_events.rend() && *last == "LinkUp";
    }
    // Whether the last link report was LinkDown.
    const std::vector<std::uint8_t>& TakenBack() const { return m_takenBack; }
    bool ShownDown() const { return !m_events.empty() && !ShownUp() && Count("LinkDown") > 0; }
    const std::vector<LinkDownReason>& DownReasons() const { return m_reasons; }
    const std::vector<std::uint8_t>& RequestCodes() const { return m_requests; }
    const std::vector<std::uint8_t>& OverdueCodes() const { return m_overdue; }
    // Connect intervals in milliseconds, in the order reported.
    const std::vector<int>& Intervals() const { return m_intervals; }
    // The interval tmrComConnect has now: 100 ms until the link first reports one.
    int ConnectInterval() const { return m_intervals.empty() ? 100 : m_intervals.back(); }
    void Clear() {
        m_events.clear();
        m_reasons.clear();
        m_requests.clear();
        m_overdue.clear();
    }

  private:
    void add(const char* name) { m_events.emplace_back(name); }

    std::vector<std::string> m_events;
    std::vector<LinkDownReason> m_reasons;
    std::vector<std::uint8_t> m_requests;
    std::vector<std::uint8_t> m_takenBack;
    std::vector<std::uint8_t> m_overdue;
    std::vector<int> m_intervals;
};

}  // namespace tessarin::test
