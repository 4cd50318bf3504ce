// The last minutes of current-value answers as numbers, one sample per answer, in a fixed-size ring so
// that keeping them costs nothing more once it is full.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include "data/measured_values.h"

namespace tessarin {

// One answer: a value the screen shows as *OVER* or "**" has no number here, so it is drawn as a gap.
struct HistorySample {
    std::chrono::system_clock::time_point at{};
    std::optional<double> v0Volts;
    std::optional<double> i0Milliamps;
    std::optional<double> phaseDegrees;
};

// The sample of an answer.
HistorySample SampleOf(const NowValueNumbers& now);

class ValueHistory {
  public:
    // Room for `capacity` samples (at least 1).
    explicit ValueHistory(std::size_t capacity);

    // Adds a sample; the oldest goes when the ring is full.
    void Add(const HistorySample& sample);
    void Clear();

    [[nodiscard]] std::size_t Size() const { return m_count; }
    // Sample i, 0 the oldest kept.
    [[nodiscard]] const HistorySample& At(std::size_t i) const;
    // The sample nearest in time to `at`, nullptr when there is none.
    [[nodiscard]] const HistorySample* Nearest(std::chrono::system_clock::time_point at) const;

  private:
    std::vector<HistorySample> m_ring;
    std::size_t m_first = 0;
    std::size_t m_count = 0;
};

}  // namespace tessarin
