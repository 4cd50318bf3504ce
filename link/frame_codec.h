// The frame envelope shared by requests and responses: the checksum, building a request in the send buffer,
// the checksum test, and an assembler that gathers the bytes read into whole response frames. It knows
// neither the port nor the device data.
//
// Envelope: FFh start mark, command code, total length L, L-5 data bytes, CCh end mark at L-2 and at L-1
// the XOR of bytes 1..L-2 (the start mark is not included).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "data/protocol_codes.h"

namespace tessarin {

inline constexpr std::uint8_t kStartMark = 0xFF;
inline constexpr std::uint8_t kEndMark = 0xCC;

// Positions in the assembly buffer are signed 16-bit numbers, so it never holds more than this many bytes.
inline constexpr std::size_t kRcvBufferLimit = 32768;

// XOR of buffer positions 1 through n; 0 when n < 1. Positions past the end of the buffer are not read.
std::uint8_t CalcXor(std::span<const std::uint8_t> buffer, int n);

// Builds a request of total length `length` in place in the send buffer: FFh, code, length, the data bytes
// (00h where `data` runs out), CCh at length-2 and the checksum at length-1. Positions from `length` on are
// left as they are. `length` is kept within 5..22.
void BuildRequest(std::array<std::uint8_t, kSendFrameSize>& sendFrame, std::uint8_t code, std::uint8_t length,
                  std::span<const std::uint8_t> data = {});

// True when the frame's last byte is the XOR of its bytes 1..n-2. Frames shorter than 2 bytes fail.
bool CheckFrame(std::span<const std::uint8_t> frame);

// What the assembler passed over, for the link's counters.
struct AssemblyCounters {
    std::uint64_t spoiledStartMarks = 0;  // start marks without their end mark where the length put it
    std::uint64_t discardedBytes = 0;     // bytes thrown away around an extracted frame or at the size limit
};

class FrameAssembler {
  public:
    // Appends `bytes` and extracts at most one frame (starting with the start mark). Extracting empties the
    // whole buffer; a start mark without its end mark where the length byte puts it is overwritten with 00h
    // and searched past at the next call. With nothing new the buffer is not examined, so a candidate that is
    // already complete waits for more bytes. The buffer never grows beyond kRcvBufferLimit: the held bytes
    // are dropped when the new ones would not fit behind them.
    std::optional<std::vector<std::uint8_t>> Push(std::span<const std::uint8_t> bytes);
    // Empties the buffer (a partly received answer must not join a re-sent request's).
    void Reset() { m_buffer.clear(); }
    // The bytes held, oldest first.
    [[nodiscard]] std::span<const std::uint8_t> Held() const { return m_buffer; }
    [[nodiscard]] const AssemblyCounters& Counters() const { return m_counters; }

  private:
    void appendWithinLimit(std::span<const std::uint8_t> bytes);

    std::vector<std::uint8_t> m_buffer;
    AssemblyCounters m_counters;
};

}  // namespace tessarin
