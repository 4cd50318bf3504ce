// RecordingLinkEvents that also keep every connect interval the link reported, in order, so that a test's
// loop can stand in for tmrComConnect at the pace the link says.
#pragma once

#include <chrono>
#include <vector>

#include "link/recording_link_events.h"

namespace tessarin::test {

class PaceRecordingLinkEvents : public RecordingLinkEvents {
  public:
    void ConnectIntervalChanged(std::chrono::milliseconds interval) override {
        m_intervals.push_back(static_cast<int>(interval.count()));
    }

    // In milliseconds, in the order reported.
    const std::vector<int>& Intervals() const { return m_intervals; }
    // The interval tmrComConnect has now: 100 ms until the link first reports one.
    int ConnectInterval() const { return m_intervals.empty() ? 100 : m_intervals.back(); }

  private:
    std::vector<int> m_intervals;
};

}  // namespace tessarin::test
