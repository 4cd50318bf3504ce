#include "link/frame_codec.h"

#include <algorithm>

namespace tessarin {

namespace {

constexpr std::uint8_t kSpoiledMark = 0x00;
constexpr std::uint8_t kMinRequestLength = 5;  // envelope without data bytes

}  // namespace

std::uint8_t CalcXor(std::span<const std::uint8_t> buffer, int n) {
    std::uint8_t x = 0;
    if (n < 1 || buffer.empty()) {
        return x;
    }
    const std::size_t last = std::min(static_cast<std::size_t>(n), buffer.size() - 1);
    for (std::size_t i = 1; i <= last; ++i) {
        x ^= buffer[i];
    }
    return x;
}

void BuildRequest(std::array<std::uint8_t, kSendFrameSize>& sendFrame, std::uint8_t code, std::uint8_t length,
                  std::span<const std::uint8_t> data) {
    const std::size_t l = std::clamp<std::size_t>(length, kMinRequestLength, kSendFrameSize);
    sendFrame[0] = kStartMark;
    sendFrame[1] = code;
    sendFrame[2] = static_cast<std::uint8_t>(l);
    for (std::size_t k = 0; k < l - kMinRequestLength; ++k) {
        sendFrame[3 + k] = k < data.size() ? data[k] : 0;
    }
    sendFrame[l - 2] = kEndMark;
    sendFrame[l - 1] = CalcXor(sendFrame, static_cast<int>(l) - 2);
}

bool CheckFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() < 2) {
        return false;
    }
    const int n = static_cast<int>(frame.size());
    return CalcXor(frame, n - 2) == frame[frame.size() - 1];
}

// Appends the new bytes behind the held ones, restarting the buffer when they would need a position beyond
// the limit. Of new bytes that alone exceed it only the latest ones are kept.
void FrameAssembler::appendWithinLimit(std::span<const std::uint8_t> bytes) {
    if (m_buffer.size() + bytes.size() > kRcvBufferLimit) {
        m_counters.discardedBytes += m_buffer.size();
        m_buffer.clear();
    }
    const std::size_t keep = std::min(bytes.size(), kRcvBufferLimit);
    m_counters.discardedBytes += bytes.size() - keep;
    m_buffer.insert(m_buffer.end(), bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

std::optional<std::vector<std::uint8_t>> FrameAssembler::Push(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return std::nullopt;
    }
    appendWithinLimit(bytes);

    const auto mark = std::find(m_buffer.begin(), m_buffer.end(), kStartMark);
    if (mark == m_buffer.end()) {
        return std::nullopt;
    }
    const std::size_t s = static_cast<std::size_t>(mark - m_buffer.begin());
    const std::size_t last = m_buffer.size() - 1;
    if (last < s + 2) {
        return std::nullopt;  // the length byte has not arrived
    }
    const std::size_t length = m_buffer[s + 2];
    // A length of 0 or 1 would put the end mark before the start mark: no end mark where it belongs.
    if (length >= 2) {
        if (last <= s + length - 2) {
            return std::nullopt;  // the checksum byte has not arrived
        }
        if (m_buffer[s + length - 2] == kEndMark) {
            const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(s);
            std::vector<std::uint8_t> frame(begin, begin + static_cast<std::ptrdiff_t>(length));
            m_counters.discardedBytes += m_buffer.size() - length;
            m_buffer.clear();
            return frame;
        }
    }
    m_buffer[s] = kSpoiledMark;
    ++m_counters.spoiledStartMarks;
    return std::nullopt;
}

}  // namespace tessarin
