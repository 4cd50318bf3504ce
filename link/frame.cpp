#include "link/frame.h"

#include <algorithm>

#include "data/now_value_decoder.h"

namespace tessarin {

namespace {

constexpr std::uint8_t kCodeNowValue = 0xA0;
constexpr std::uint8_t kCodeLogFirst = 0xA1;
constexpr std::uint8_t kCodeLogLast = 0xA3;
constexpr std::uint8_t kSpoiledMark = 0x00;
constexpr std::uint8_t kMinRequestLength = 5;  // envelope without data bytes

// Appends the new bytes behind the held ones, restarting the buffer when they would need a position
// beyond the limit. Of new bytes that alone exceed it only the latest ones are kept.
void appendWithinLimit(std::vector<std::uint8_t>& buffer, const std::vector<std::uint8_t>& bytes) {
    if (buffer.size() + bytes.size() > kRcvBufferLimit) {
        buffer.clear();
    }
    const std::size_t keep = std::min(bytes.size(), kRcvBufferLimit);
    buffer.insert(buffer.end(), bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

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

void ReadPort(CommPort& port, std::vector<std::uint8_t>& bytes) {
    if (port.ReadBufferDataSize() > 0) {
        bytes = port.ReadBinary();
    }
}

void AssembleFrame(std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& buffer) {
    if (bytes.empty()) {
        return;
    }
    appendWithinLimit(buffer, bytes);
    bytes.clear();

    const auto mark = std::find(buffer.begin(), buffer.end(), kStartMark);
    if (mark == buffer.end()) {
        return;
    }
    const std::size_t s = static_cast<std::size_t>(mark - buffer.begin());
    const std::size_t last = buffer.size() - 1;
    if (last < s + 2) {
        return;  // the length byte has not arrived
    }
    const std::size_t length = buffer[s + 2];
    // A length of 0 or 1 would put the end mark before the start mark: no end mark where it belongs.
    if (length >= 2) {
        if (last <= s + length - 2) {
            return;  // the checksum byte has not arrived
        }
        if (buffer[s + length - 2] == kEndMark) {
            const auto begin = buffer.begin() + static_cast<std::ptrdiff_t>(s);
            bytes.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
            buffer.clear();
            return;
        }
    }
    buffer[s] = kSpoiledMark;
}

bool CheckFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() < 2) {
        return false;
    }
    const int n = static_cast<int>(frame.size());
    return CalcXor(frame, n - 2) == frame[frame.size() - 1];
}

void DispatchFrame(DeviceData& data, std::span<const std::uint8_t> frame, const std::function<void()>& onLogRecord) {
    if (frame.empty()) {
        return;
    }
    data.PollPending = 0;
    const std::size_t n = std::min(frame.size(), data.RcvFrame.size());
    std::copy_n(frame.begin(), n, data.RcvFrame.begin());
    data.RcvLast = static_cast<std::int16_t>(n - 1);

    const std::uint8_t code = n > 1 ? frame[1] : 0;
    if (code == kCodeNowValue) {
        DecodeNowValue(data);
    } else if (code >= kCodeLogFirst && code <= kCodeLogLast) {
        if (onLogRecord) {
            onLogRecord();
        }
    }
}

bool ReceiveFrames(DeviceData& data, CommPort& port, const std::function<void()>& letEventsRun,
                   const std::function<void()>& onLogRecord) {
    bool result = false;
    for (;;) {
        if (letEventsRun) {
            letEventsRun();
        }
        std::vector<std::uint8_t> bytes;
        ReadPort(port, bytes);
        AssembleFrame(bytes, data.RcvBuffer);
        if (bytes.empty()) {
            return result;
        }
        result = true;
        if (!CheckFrame(bytes)) {
            return result;
        }
        DispatchFrame(data, bytes, onLogRecord);
    }
}

}  // namespace tessarin
