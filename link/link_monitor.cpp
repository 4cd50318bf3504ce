#include "link/link_monitor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "data/protocol_codes.h"

namespace tessarin {

LinkMonitor::LinkMonitor(std::size_t capacity, Clock clock)
    : m_clock(std::move(clock)), m_ring(std::max<std::size_t>(capacity, 1)) {
    if (!m_clock) {
        m_clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
}

void LinkMonitor::keep(std::span<const std::uint8_t> frame, bool sent, bool ok, std::int64_t now) {
    std::size_t slot = (m_first + m_size) % m_ring.size();
    if (m_size == m_ring.size()) {
        m_first = (m_first + 1) % m_ring.size();  // the oldest makes room
    } else {
        ++m_size;
    }
    MonitoredFrame& kept = m_ring[slot];
    kept.number = m_next++;
    kept.ms = now;
    kept.sent = sent;
    kept.ok = ok;
    kept.length = frame.size();
    std::copy_n(frame.begin(), std::min(frame.size(), kept.bytes.size()), kept.bytes.begin());
}

void LinkMonitor::FrameSent(std::span<const std::uint8_t> frame, bool ok, bool isPoll) {
    const std::int64_t now = m_clock();
    keep(frame, true, ok, now);
    if (isPoll) {
        m_pollSentMs = ok ? now : -1;
    }
}

void LinkMonitor::FrameReceived(std::span<const std::uint8_t> frame, bool ok, bool isPollAnswer) {
    const std::int64_t now = m_clock();
    keep(frame, false, ok, now);
    if (ok && isPollAnswer && m_pollSentMs >= 0) {
        const std::int64_t rtt = now - m_pollSentMs;
        m_roundTrip.lastMs = rtt;
        m_roundTrip.worstMs = std::max(m_roundTrip.worstMs, rtt);
        m_roundTrip.totalMs += rtt;
        ++m_roundTrip.count;
        m_pollSentMs = -1;
    }
}

std::string FrameMeaning(std::span<const std::uint8_t> frame) {
    if (frame.size() < 2) {
        return "不明";
    }
    const std::uint8_t code = frame[1];
    const char* meaning = "不明";
    bool numbered = false;
    switch (code) {
        case kReqPoll:
            meaning = "現在値要求";
            break;
        case kReqClearMinorFaultLog:
            meaning = "微地絡ログ消去";
            break;
        case kReqClearOvgrLog:
            meaning = "ＯＶＧＲログ消去";
            break;
        case kReqWriteSettings:
            meaning = "設定書込";
            break;
        case kReqMinorFaultRecord:
            meaning = "微地絡ログ要求";
            numbered = true;
            break;
        case kReqOvgrRecord:
            meaning = "ＯＶＧＲログ要求";
            numbered = true;
            break;
        case kReqDeviceStateRecord:
            meaning = "装置状態ログ要求";
            numbered = true;
            break;
        case kReqInitialise:
            meaning = "設定初期化";
            break;
        case kRespNowValue:
            meaning = "現在値";
            break;
        case kRespRecordFirst:
            meaning = "微地絡ログ";
            numbered = true;
            break;
        case kRespRecordFirst + 1:
            meaning = "ＯＶＧＲログ";
            numbered = true;
            break;
        case kRespRecordLast:
            meaning = "装置状態ログ";
            numbered = true;
            break;
        default:
            break;
    }
    char head[8];
    std::snprintf(head, sizeof head, "%02Xh ", code);
    std::string text = head;
    text += meaning;
    if (numbered && frame.size() > 3) {
        text += " No." + std::to_string(frame[3]);
    }
    return text;
}

void LinkMonitor::Clear() {
    m_first = 0;
    m_size = 0;
}

}  // namespace tessarin
