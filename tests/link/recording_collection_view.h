// A LogCollectionView for tests. What it can do: keep lblLogNo's caption, whether tmrComLog runs and since
// when (on the test's clock, where it has one), the collecting look, how many collections started and ended,
// every completion and failure report; run a test's code while the failure message would be up. It shows
// nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/log_collection.h"

namespace tessarin::test {

// How collections have ended so far.
struct CollectionCounts {
    int started = 0;
    int ended = 0;
    std::vector<std::pair<int, int>> completed;  // tab, record count
    int failures = 0;
};

class RecordingCollectionView : public LogCollectionView {
  public:
    RecordingCollectionView() = default;
    // `now`: the test's clock, read when tmrComLog starts or stops.
    explicit RecordingCollectionView(const int& now) : m_now(&now) {}

    void ShowProgress(const std::string& text) override { label = text; }
    void SetSupervisionRunning(bool running) override {
        supervising = running;
        supervisionSince = m_now != nullptr ? *m_now : 0;
    }
    void CollectionStarted(int tab) override {
        collecting = true;
        startedTabs.push_back(tab);
        ++counts.started;
    }
    void CollectionEnded() override {
        collecting = false;
        ++counts.ended;
    }
    void CollectionCompleted(int tab, int recordCount) override { counts.completed.emplace_back(tab, recordCount); }
    void ReportFailure() override {
        // The supervision must be stopped when the message box opens; the rest waits for the user.
        failuresWhileSupervising += supervising ? 1 : 0;
        collectingAtFailure = collecting;
        ++counts.failures;
        if (whileReporting) {
            whileReporting();
        }
    }

    std::string label;
    bool supervising = false;
    int supervisionSince = 0;
    bool collecting = false;
    std::vector<int> startedTabs;
    CollectionCounts counts;
    int failuresWhileSupervising = 0;
    bool collectingAtFailure = false;
    std::function<void()> whileReporting;  // runs as if the message box's modal loop were open

  private:
    const int* m_now = nullptr;
};

}  // namespace tessarin::test
