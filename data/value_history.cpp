#include "data/value_history.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>

namespace tessarin {

HistorySample SampleOf(const NowValueNumbers& now) {
    HistorySample sample;
    sample.at = now.receivedAt;
    const Measurement& m = now.measured;
    if (!m.v0Over) {
        sample.v0Volts = m.v0Tenths / 10.0;
    }
    if (!m.i0Over) {
        sample.i0Milliamps = m.i0Tenths / 10.0;
    }
    if (m.phase == PhaseShown::Angle) {
        sample.phaseDegrees = m.phaseTenths / 10.0;
    }
    return sample;
}

ValueHistory::ValueHistory(std::size_t capacity) : m_ring(std::max<std::size_t>(capacity, 1)) {}

void ValueHistory::Add(const HistorySample& sample) {
    if (m_count < m_ring.size()) {
        m_ring[(m_first + m_count) % m_ring.size()] = sample;
        ++m_count;
    } else {
        m_ring[m_first] = sample;
        m_first = (m_first + 1) % m_ring.size();
    }
}

void ValueHistory::Clear() {
    m_first = 0;
    m_count = 0;
}

const HistorySample& ValueHistory::At(std::size_t i) const { return m_ring[(m_first + i) % m_ring.size()]; }

const HistorySample* ValueHistory::Nearest(std::chrono::system_clock::time_point at) const {
    if (m_count == 0) {
        return nullptr;
    }
    // Samples are in time order: find the first not before `at`, then take the nearer of it and the one before.
    std::size_t low = 0;
    std::size_t high = m_count;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (At(mid).at < at) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low == m_count) {
        return &At(m_count - 1);
    }
    if (low == 0) {
        return &At(0);
    }
    const HistorySample& after = At(low);
    const HistorySample& before = At(low - 1);
    return (after.at - at) < (at - before.at) ? &after : &before;
}

}  // namespace tessarin
