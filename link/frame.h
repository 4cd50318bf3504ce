// The frame envelope shared by requests and responses, and the receive side: gathering the bytes read
// from the port into RcvBuffer, extracting one frame at a time, testing its checksum and handing it on.
//
// Envelope: FFh start mark, command code, total length L, L-5 data bytes, CCh end mark at L-2 and at L-1
// the XOR of bytes 1..L-2 (the start mark is not included).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "data/device_data.h"
#include "link/comm_port.h"

namespace tessarin {

inline constexpr std::uint8_t kStartMark = 0xFF;
inline constexpr std::uint8_t kEndMark = 0xCC;

// Positions in RcvBuffer are signed 16-bit numbers, so it never holds more than this many bytes.
inline constexpr std::size_t kRcvBufferLimit = 32768;

// XOR of buffer positions 1 through n; 0 when n < 1. Positions past the end of the buffer are not read.
std::uint8_t CalcXor(std::span<const std::uint8_t> buffer, int n);

// Builds a request of total length `length` in place in the send buffer: FFh, code, length, the data bytes
// (00h where `data` runs out), CCh at length-2 and the checksum at length-1. Positions from `length` on are
// left as they are. `length` is kept within 5..22.
void BuildRequest(std::array<std::uint8_t, kSendFrameSize>& sendFrame, std::uint8_t code, std::uint8_t length,
                  std::span<const std::uint8_t> data = {});

// bytes := everything waiting in the port's input queue, or empty when nothing is waiting.
void ReadPort(CommPort& port, std::vector<std::uint8_t>& bytes);

// Appends `bytes` to `buffer` and tries to extract one frame. On return `bytes` holds the extracted frame
// (starting with the start mark) or is empty. Extracting empties the whole buffer; a start mark without its
// end mark where the length byte puts it is overwritten with 00h and searched past at the next call. With
// nothing new in `bytes` the buffer is not examined. The buffer never grows beyond kRcvBufferLimit: the held
// bytes are dropped when the new ones would not fit behind them.
void AssembleFrame(std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& buffer);

// True when the frame's last byte is the XOR of its bytes 1..n-2. Frames shorter than 2 bytes fail.
bool CheckFrame(std::span<const std::uint8_t> frame);

// Stores a checked frame: PollPending := 0, the frame into RcvFrame from position 0 (later positions keep
// older bytes), RcvLast := n-1; then A0h goes to DecodeNowValue and A1h-A3h to `onLogRecord`.
void DispatchFrame(DeviceData& data, std::span<const std::uint8_t> frame, const std::function<void()>& onLogRecord);

// One receive pass: let events run, read, assemble; ends at the first read that yields no frame (or at a
// frame failing its checksum), dispatching each valid frame and going on after it. True when at least one
// frame was extracted, valid or not. Either callback may be empty.
bool ReceiveFrames(DeviceData& data, CommPort& port, const std::function<void()>& letEventsRun,
                   const std::function<void()>& onLogRecord);

}  // namespace tessarin
