#include "sim/unit_frames.h"

#include <algorithm>

namespace tessarin::sim {

std::uint8_t FrameXor(std::span<const std::uint8_t> frame) {
    if (frame.size() < 3) {
        return 0;
    }
    std::uint8_t x = 0;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
        x ^= frame[i];
    }
    return x;
}

std::vector<std::uint8_t> BuildFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
    constexpr std::size_t kMaxData = 255 - 5;
    const std::size_t n = std::min(data.size(), kMaxData);
    std::vector<std::uint8_t> frame;
    frame.reserve(n + 5);
    frame.push_back(kStartMark);
    frame.push_back(code);
    frame.push_back(static_cast<std::uint8_t>(n + 5));
    frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    frame.push_back(kEndMark);
    frame.push_back(0);
    frame.back() = FrameXor(frame);
    return frame;
}

void RequestScanner::Feed(std::span<const std::uint8_t> bytes, std::chrono::steady_clock::time_point at) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_arrivals.insert(m_arrivals.end(), bytes.size(), at);
}

std::optional<ScannedRequest> RequestScanner::Next() {
    while (!m_bytes.empty()) {
        if (m_bytes.front() != kStartMark) {
            dropFront();
            continue;
        }
        if (m_bytes.size() < 3) {
            return std::nullopt;
        }
        const std::size_t length = m_bytes[2];
        if (length != kShortRequestLength && length != kSettingsRequestLength) {
            dropFront();
            continue;
        }
        if (m_bytes.size() < length) {
            return std::nullopt;
        }
        ScannedRequest request;
        request.frame.assign(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(length));
        request.firstByteAt = m_arrivals.front();
        if (request.frame[length - 2] != kEndMark || FrameXor(request.frame) != request.frame[length - 1]) {
            dropFront();
            continue;
        }
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(length));
        m_arrivals.erase(m_arrivals.begin(), m_arrivals.begin() + static_cast<std::ptrdiff_t>(length));
        return request;
    }
    return std::nullopt;
}

void RequestScanner::Clear() {
    m_bytes.clear();
    m_arrivals.clear();
}

void RequestScanner::dropFront() {
    m_bytes.pop_front();
    m_arrivals.pop_front();
}

}  // namespace tessarin::sim
