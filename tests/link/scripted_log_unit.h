// A control unit at the far end of a FakeCommPort that answers log record requests. What it can do:
// - answer each record request (04h-06h) with an A1h-A3h record response after a given delay in
//   milliseconds of the test's own clock, or stay silent for chosen sendings (`answers`);
// - send another record number than asked (`numberFor`), another log's answer code (`answerCodeFor`) and
//   any payload per log and record (`payload`, by default the worked example record under the asked number);
// - answer a request more than once (`copiesOf`), each further copy `copyGapMs` after the one before;
// - keep every request it saw (code, data byte 0, time), polls and clears included.
// Answers due by a time are handed to the port with DeliverDue(now).
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "link/fake_comm_port.h"
#include "link/response_frames.h"

namespace tessarin::test {

struct ScriptedLogUnit {
    using Bytes = std::vector<std::uint8_t>;
    struct Request {
        std::uint8_t code;
        int record;
        int at;
    };

    // Whether to answer the `sending`-th request (counted from 1) for `record`.
    std::function<bool(int record, int sending)> answers = [](int, int) { return true; };
    // The number the answer to `record` carries.
    std::function<int(int record)> numberFor = [](int record) { return record; };
    // Data bytes d1..d15 of record `record` of the log asked for with `code`.
    std::function<Bytes(std::uint8_t code, int record)> payload = [](std::uint8_t, int) { return WorkedExample(); };
    // The command code of the answer to the `sending`-th request with `code` for `record` (A1h-A3h for
    // 04h-06h by default).
    std::function<std::uint8_t(std::uint8_t code, int record, int sending)> answerCodeFor =
        [](std::uint8_t code, int, int) { return OwnAnswerCode(code); };
    // How many answers the `sending`-th request for `record` gets.
    std::function<int(int record, int sending)> copiesOf = [](int, int) { return 1; };
    int delayMs = 0;
    int copyGapMs = 0;

    std::vector<Request> requests;
    std::deque<std::pair<int, Bytes>> pending;  // (due time, frame)

    // d1..d15 of the worked example: V0 45.6 V, I0 0.052 A, 63°, 60 Hz, 2012-03-05 14:07, flags F0h, 確定.
    static Bytes WorkedExample() { return {0x01, 0xC8, 0x02, 0x08, 0x02, 0x7B, 60, 12, 3, 5, 14, 7, 0xF0, 5, 0x00}; }

    static std::uint8_t OwnAnswerCode(std::uint8_t code) { return static_cast<std::uint8_t>(0xA0 + code - 3); }

    // The tests' one answer builder, under the name the wire trace knows it by.
    static Bytes Frame(std::uint8_t code, const Bytes& data) { return ResponseFrame(code, data); }

    // Hooks the unit to the port's writes; `now` is the test's clock in milliseconds.
    void Attach(FakeCommPort& port, const int& now) {
        port.OnWrite([this, &now](const Bytes& frame) { OnRequest(frame, now); });
    }

    void OnRequest(const Bytes& frame, int now) {
        if (frame.size() < 4) {
            return;
        }
        const std::uint8_t code = frame[1];
        requests.push_back({code, frame[3], now});
        if (code < 4 || code > 6) {
            return;
        }
        const int record = frame[3];
        const int sending = SendingsOf(record);
        if (!answers(record, sending)) {
            return;
        }
        Bytes data{static_cast<std::uint8_t>(numberFor(record))};
        const Bytes rest = payload(code, record);
        data.insert(data.end(), rest.begin(), rest.end());
        const Bytes answer = ResponseFrame(answerCodeFor(code, record, sending), data);
        const int copies = copiesOf(record, sending);
        for (int copy = 0; copy < copies; ++copy) {
            Schedule(now + delayMs + copy * copyGapMs, answer);
        }
    }

    // Keeps `pending` in the order the answers are due, and answers due at the same time in the order given.
    void Schedule(int due, Bytes frame) {
        const auto later = std::find_if(pending.begin(), pending.end(), [due](const auto& p) { return p.first > due; });
        pending.emplace(later, due, std::move(frame));
    }

    void DeliverDue(FakeCommPort& port, int now) {
        while (!pending.empty() && pending.front().first <= now) {
            port.Deliver(std::move(pending.front().second));
            pending.pop_front();
        }
    }

    int SendingsOf(int record) const {
        int n = 0;
        for (const auto& r : requests) {
            n += r.code >= 4 && r.code <= 6 && r.record == record ? 1 : 0;
        }
        return n;
    }
    // Record numbers asked for, in order.
    std::vector<int> RecordRequests() const {
        std::vector<int> out;
        for (const auto& r : requests) {
            if (r.code >= 4 && r.code <= 6) {
                out.push_back(r.record);
            }
        }
        return out;
    }
};

}  // namespace tessarin::test
