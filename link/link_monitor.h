// What crossed the line lately, for the link monitor: the last frames both ways in a bounded ring, with
// their times, and the round-trip time of the polls. The link keeps it at all times, so it costs one copy of
// each frame into a slot allocated once; nothing is formatted here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tessarin {

// Frames kept by the program's link.
inline constexpr std::size_t kMonitorFrames = 500;
// Bytes kept of each frame; the unit's frames are 22 bytes at most, a longer one is kept cut.
inline constexpr std::size_t kMonitorFrameBytes = 64;

struct MonitoredFrame {
    std::uint64_t number = 0;  // 0 for the first frame the link saw, counting on
    std::int64_t ms = 0;       // on the monitor's clock
    bool sent = false;         // to the unit (else from it)
    bool ok = false;           // sent: the port took it whole; received: its checksum held
    std::size_t length = 0;    // the whole frame's length
    std::array<std::uint8_t, kMonitorFrameBytes> bytes{};

    [[nodiscard]] std::span<const std::uint8_t> Kept() const {
        return std::span(bytes).first(length < bytes.size() ? length : bytes.size());
    }
};

struct RoundTrip {
    std::uint64_t count = 0;  // polls answered
    std::int64_t lastMs = 0;
    std::int64_t worstMs = 0;
    std::int64_t totalMs = 0;
    [[nodiscard]] double MeanMs() const { return count == 0 ? 0.0 : static_cast<double>(totalMs) / count; }
};

class LinkMonitor {
  public:
    // Milliseconds on a steady clock.
    using Clock = std::function<std::int64_t()>;

    // An empty clock reads the system's steady clock.
    explicit LinkMonitor(std::size_t capacity = kMonitorFrames, Clock clock = {});

    [[nodiscard]] std::int64_t Now() const { return m_clock(); }

    // A request went out (`ok`: the port took it whole); a poll starts its round trip.
    void FrameSent(std::span<const std::uint8_t> frame, bool ok, bool isPoll);
    // A frame came in (`ok`: its checksum held); a valid current-value answer ends the poll's round trip.
    void FrameReceived(std::span<const std::uint8_t> frame, bool ok, bool isPollAnswer);
    // The poll went unanswered, or the link changed: no answer to come is timed against it.
    void ForgetPoll() { m_pollSentMs = -1; }

    // Forgets the frames kept; the round-trip figures stay.
    void Clear();

    // Frames kept, oldest first.
    [[nodiscard]] std::size_t Size() const { return m_size; }
    [[nodiscard]] const MonitoredFrame& At(std::size_t i) const { return m_ring[(m_first + i) % m_ring.size()]; }
    // Frames seen since the link was made (the number the next one gets).
    [[nodiscard]] std::uint64_t Seen() const { return m_next; }
    [[nodiscard]] const RoundTrip& PollRoundTrip() const { return m_roundTrip; }

  private:
    void keep(std::span<const std::uint8_t> frame, bool sent, bool ok, std::int64_t now);

    Clock m_clock;
    std::vector<MonitoredFrame> m_ring;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
    std::uint64_t m_next = 0;
    std::int64_t m_pollSentMs = -1;
    RoundTrip m_roundTrip;
};

// What a frame says, for the monitor: its command code and meaning, such as "A0h 現在値" or
// "04h 微地絡ログ要求 No.3"; a code the program does not know is "5Bh 不明".
std::string FrameMeaning(std::span<const std::uint8_t> frame);

}  // namespace tessarin
