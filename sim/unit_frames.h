// The unit's side of the frame envelope: FFh, code, total length L, data, CCh, XOR of bytes 1..L-2.
// Kept apart from the program's own frame code on purpose, so that one mistake cannot hide in both.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace tessarin::sim {

inline constexpr std::uint8_t kStartMark = 0xFF;
inline constexpr std::uint8_t kEndMark = 0xCC;
inline constexpr std::size_t kShortRequestLength = 20;     // every request but the settings write
inline constexpr std::size_t kSettingsRequestLength = 22;  // the settings write (code 03h)

// XOR of frame bytes 1 through n-2 of a whole frame of n bytes (code through end mark); 0 below 3 bytes.
std::uint8_t FrameXor(std::span<const std::uint8_t> frame);

// A whole frame: FFh, code, length, data, CCh, checksum. Data beyond 250 bytes is cut off (L is one byte).
std::vector<std::uint8_t> BuildFrame(std::uint8_t code, std::span<const std::uint8_t> data);

struct ScannedRequest {
    std::vector<std::uint8_t> frame;                    // the whole request, 20 or 22 bytes
    std::chrono::steady_clock::time_point firstByteAt;  // when its start mark arrived
};

// Finds requests in the byte stream coming from the program. Anything that is not a whole, valid request
// (the two bytes the program writes behind every 20-byte request, noise, broken frames) is passed over one
// byte at a time, so a request behind it is still found.
class RequestScanner {
  public:
    // Appends bytes that arrived at `at`.
    void Feed(std::span<const std::uint8_t> bytes, std::chrono::steady_clock::time_point at);
    // The next valid request, or nothing until more bytes arrive.
    std::optional<ScannedRequest> Next();
    // Bytes held back, waiting for the rest of a possible request.
    [[nodiscard]] std::size_t Held() const { return m_bytes.size(); }
    void Clear();

  private:
    void dropFront();

    std::deque<std::uint8_t> m_bytes;
    std::deque<std::chrono::steady_clock::time_point> m_arrivals;
};

}  // namespace tessarin::sim
