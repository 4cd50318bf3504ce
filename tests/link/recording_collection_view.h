// A LogCollectionView for tests. What it can do: keep the last progress shown ("record" or
// "record-resends", "" when cleared), whether the supervision runs and since when (on the test's clock,
// where it has one), the collecting look, how many collections started and ended,
// every completion and failure report. It shows nothing and acknowledges nothing: whoever drives the
// collection does, as the screen would once the user has closed the message.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "link/log_collection.h"

namespace tessarin::test {

// How collections have ended so far.
struct CollectionCounts {
    int started = 0;
    int ended = 0;
    std::vector<std::pair<LogKind, int>> completed;  // log, record count
    int failures = 0;
};

class RecordingCollectionView : public LogCollectionView {
  public:
    RecordingCollectionView() = default;
    // `now`: the test's clock, read when tmrComLog starts or stops.
    explicit RecordingCollectionView(const int& now) : m_now(&now) {}

    void ShowProgress(const LogProgress& progress) override {
        label = std::to_string(progress.record);
        if (progress.resends > 0) {
            label += "-" + std::to_string(progress.resends);
        }
        progressKind = progress.kind;
    }
    void ClearProgress() override { label.clear(); }
    void SetSupervision(Supervision state) override {
        supervising = state == Supervision::Running;
        supervisionSince = m_now != nullptr ? *m_now : 0;
    }
    void CollectionStarted(LogKind kind) override {
        collecting = true;
        startedKinds.push_back(kind);
        ++counts.started;
    }
    void CollectionEnded() override {
        collecting = false;
        ++counts.ended;
    }
    void CollectionCompleted(LogKind kind, int recordCount) override {
        counts.completed.emplace_back(kind, recordCount);
    }
    void CollectionFailed() override {
        // The supervision must be stopped when the failure is told; the rest waits for the acknowledgement.
        failuresWhileSupervising += supervising ? 1 : 0;
        collectingAtFailure = collecting;
        ++counts.failures;
    }

    std::string label;
    LogKind progressKind = LogKind::MinorFault;
    bool supervising = false;
    int supervisionSince = 0;
    bool collecting = false;
    std::vector<LogKind> startedKinds;
    CollectionCounts counts;
    int failuresWhileSupervising = 0;
    bool collectingAtFailure = false;

  private:
    const int* m_now = nullptr;
};

}  // namespace tessarin::test
