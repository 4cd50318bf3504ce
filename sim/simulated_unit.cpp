#include "sim/simulated_unit.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "sim/pseudo_terminal.h"
#include "sim/serial_list_entry.h"
#include "sim/unit_frames.h"
#include "sim/unit_model.h"

namespace tessarin::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

// 9600 baud, 8 data bits, odd parity, 1 stop bit: 11 bits per byte.
constexpr std::chrono::nanoseconds kByteTime{11LL * 1'000'000'000LL / 9600};
// The program writes its whole 22-byte send buffer for every request.
constexpr long kRequestBytesOnWire = 22;
constexpr std::size_t kHistoryLimit = 10000;
constexpr std::uint8_t kCurrentValuesCode = 0xA0;
constexpr std::chrono::milliseconds kDuplicateGap{20};  // between the end of an answer and its repetition

struct Chunk {
    SteadyClock::time_point at;
    std::vector<std::uint8_t> bytes;
};

struct DueRequest {
    SteadyClock::time_point at;
    ScannedRequest request;
};

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // nobody reads the line and its buffer is full: the bytes are lost, as on a cable
        }
        done += static_cast<std::size_t>(n);
    }
}

void traceRequest(const ScannedRequest& request) {
    const double ms = std::chrono::duration<double, std::milli>(request.firstByteAt.time_since_epoch()).count();
    std::string hex;
    for (const std::uint8_t b : request.frame) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        hex += ' ';
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    std::fprintf(stderr, "tessarin-sim: %.1f ms%s\n", ms, hex.c_str());
}

timespec toTimespec(std::chrono::nanoseconds d) {
    const auto ns = std::max<std::int64_t>(d.count(), 0);
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

struct SimulatedUnit::Impl {
    explicit Impl(const SimOptions& o) : options(o), model(o.seed), faultRandom(o.seed ^ 0x5EED'FA17ULL) {}

    bool plug(int wantedIndex);  // with `lifecycle` held
    void unplug();               // with `lifecycle` held
    void run(int master, int wake);
    std::deque<std::vector<std::uint8_t>> takeUnsolicited();
    std::vector<Chunk> act(const ScannedRequest& request, SteadyClock::time_point reactAt,
                           SteadyClock::time_point& lineFreeAt);

    const SimOptions options;

    std::mutex lifecycle;  // Start, Stop, Plug, Unplug; the members below up to `mutex` belong to it
    PseudoTerminal pty;
    SerialListEntry entry;
    std::thread worker;
    int wakeFd = -1;
    std::atomic<bool> stopping{false};
    bool running = false;
    std::string previousPath;

    mutable std::mutex mutex;  // everything below
    mutable std::condition_variable requestTaken;
    UnitModel model;
    SimRandom faultRandom;
    bool silent = false;
    std::map<int, int> dropRecords;  // record -> requests still to leave unanswered
    double dropShare = 0.0;
    double corruptShare = 0.0;
    int splitPieces = 1;
    int noiseBytes = 0;
    std::chrono::milliseconds answerDelay{0};
    std::deque<std::vector<std::uint8_t>> unsolicited;  // frames to write unasked, taken by the loop
    std::map<int, int> renumber;                        // record asked for -> number sent
    std::set<int> duplicates;                           // records whose answers go out twice
    std::deque<ReceivedRequest> history;
    std::size_t requestCount = 0;
    std::vector<std::uint8_t> lastCurrentValues;
    int index = -1;
    std::string portName;
    std::string devicePath;
    std::string entryPath;
    std::string lastError;
};

bool SimulatedUnit::Impl::plug(int wantedIndex) {
    unplug();
    std::string error;
    if (!pty.Open(previousPath, error) || !entry.Register(wantedIndex, options.comNumber, pty.SlavePath(), error)) {
        pty.Close();
        const std::lock_guard lock(mutex);
        lastError = error;
        return false;
    }
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        entry.Remove();
        pty.Close();
        const std::lock_guard lock(mutex);
        lastError = "eventfd failed";
        return false;
    }
    previousPath = pty.SlavePath();
    {
        const std::lock_guard lock(mutex);
        index = entry.Index();
        portName = entry.PortName();
        devicePath = pty.SlavePath();
        entryPath = entry.FilePath();
        lastError.clear();
    }
    stopping = false;
    worker = std::thread([this, master = pty.MasterFd(), wake = wakeFd] { run(master, wake); });
    return true;
}

void SimulatedUnit::Impl::unplug() {
    if (worker.joinable()) {
        stopping = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
        worker.join();
    }
    if (wakeFd >= 0) {
        ::close(wakeFd);
        wakeFd = -1;
    }
    entry.Remove();
    pty.Close();
    const std::lock_guard lock(mutex);
    index = -1;
    devicePath.clear();
    entryPath.clear();
}

// The answering loop: takes requests from the line, acts on each when its last byte would have arrived,
// and writes the answers when their bytes would have gone out. Nothing here sleeps except in ppoll, which
// the wake descriptor interrupts, so Stop never waits for a pending answer.
void SimulatedUnit::Impl::run(int master, int wake) {
    RequestScanner scanner;
    std::deque<DueRequest> due;
    std::deque<Chunk> out;
    SteadyClock::time_point lineInFreeAt{};
    SteadyClock::time_point lineOutFreeAt{};
    SteadyClock::time_point masterQuietUntil{};
    std::vector<std::uint8_t> buffer(4096);
    while (!stopping) {
        const auto now = SteadyClock::now();
        while (!due.empty() && due.front().at <= now) {
            for (auto& chunk : act(due.front().request, due.front().at, lineOutFreeAt)) {
                out.push_back(std::move(chunk));
            }
            due.pop_front();
        }
        while (!out.empty() && out.front().at <= SteadyClock::now()) {
            writeAll(master, out.front().bytes);
            out.pop_front();
        }

        std::optional<SteadyClock::time_point> next;
        if (!due.empty()) {
            next = due.front().at;
        }
        if (!out.empty()) {
            next = next ? std::min(*next, out.front().at) : out.front().at;
        }
        const bool masterQuiet = now < masterQuietUntil;
        if (masterQuiet) {
            next = next ? std::min(*next, masterQuietUntil) : masterQuietUntil;
        }
        timespec timeout{};
        if (next) {
            timeout = toTimespec(*next - SteadyClock::now());
        }
        std::array<pollfd, 2> fds{pollfd{wake, POLLIN, 0}, pollfd{masterQuiet ? -1 : master, POLLIN, 0}};
        if (::ppoll(fds.data(), fds.size(), next ? &timeout : nullptr, nullptr) < 0) {
            continue;  // EINTR: look at the time again
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wake, &count, sizeof count);
            for (auto& frame : takeUnsolicited()) {
                lineOutFreeAt = std::max(lineOutFreeAt, SteadyClock::now());
                if (options.pacing) {
                    lineOutFreeAt += static_cast<long>(frame.size()) * kByteTime;
                }
                out.push_back({lineOutFreeAt, std::move(frame)});
            }
            continue;
        }
        if ((fds[1].revents & POLLIN) == 0) {
            if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                masterQuietUntil = SteadyClock::now() + std::chrono::milliseconds(20);  // no busy loop on a dead line
            }
            continue;
        }
        for (;;) {
            const ssize_t n = ::read(master, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            scanner.Feed(std::span(buffer.data(), static_cast<std::size_t>(n)), SteadyClock::now());
        }
        while (auto request = scanner.Next()) {
            if (options.trace) {
                traceRequest(*request);
            }
            SteadyClock::time_point reactAt = request->firstByteAt;
            if (options.pacing) {
                // The line delivers one request after the other, 22 bytes each.
                reactAt = std::max(reactAt, lineInFreeAt) + kRequestBytesOnWire * kByteTime;
                lineInFreeAt = reactAt;
            }
            due.push_back({reactAt, std::move(*request)});
        }
    }
}

// Acts on one request: the unit's own reaction, then the faults ordered, then the timing of the answer.
std::vector<Chunk> SimulatedUnit::Impl::act(const ScannedRequest& request, SteadyClock::time_point reactAt,
                                            SteadyClock::time_point& lineFreeAt) {
    std::vector<std::uint8_t> wire;
    std::vector<std::chrono::milliseconds> gaps;
    std::size_t pieces = 1;
    int copies = 1;
    std::chrono::milliseconds delay{0};
    {
        const std::lock_guard lock(mutex);
        delay = answerDelay;
        history.push_back({request.firstByteAt, request.frame});
        if (history.size() > kHistoryLimit) {
            history.pop_front();
        }
        ++requestCount;

        auto answer = model.Handle(request.frame);
        bool send = answer.has_value() && !silent;
        if (send && answer->isRecord) {
            const auto drop = dropRecords.find(answer->record);
            if (drop != dropRecords.end()) {
                send = false;
                if (--drop->second <= 0) {
                    dropRecords.erase(drop);
                }
            } else if (dropShare > 0.0 && faultRandom.Unit() < dropShare) {
                send = false;
            }
            const auto number = renumber.find(answer->record);
            if (send && number != renumber.end()) {
                answer->data.at(0) = static_cast<std::uint8_t>(number->second);
            }
            copies = duplicates.contains(answer->record) ? 2 : 1;
        }
        if (send) {
            if (answer->code == kCurrentValuesCode) {
                lastCurrentValues = answer->data;
            }
            auto frame = BuildFrame(answer->code, answer->data);
            if (corruptShare > 0.0 && faultRandom.Unit() < corruptShare) {
                frame.back() ^= static_cast<std::uint8_t>(1 + faultRandom.Below(255));
            }
            for (int i = 0; i < noiseBytes; ++i) {
                wire.push_back(static_cast<std::uint8_t>(faultRandom.Below(255)));  // never FFh
            }
            wire.insert(wire.end(), frame.begin(), frame.end());
            pieces = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(splitPieces, 1)), 1, wire.size());
            for (std::size_t i = 1; i < pieces; ++i) {
                gaps.emplace_back(faultRandom.Between(2, 5));
            }
        }
    }
    requestTaken.notify_all();
    if (wire.empty()) {
        return {};
    }

    // One line out: an answer starts when the unit has the request and the previous answer has gone out.
    std::vector<Chunk> chunks;
    const SteadyClock::time_point start = std::max(reactAt + delay, lineFreeAt);
    SteadyClock::time_point at = start;
    for (int copy = 0; copy < copies; ++copy) {
        // A duplicated answer goes out again a little later, apart from the first: a unit that repeats
        // itself, whose second answer reaches a program that has already asked for the next record.
        if (copy > 0) {
            at += kDuplicateGap;
        }
        std::size_t offset = 0;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::size_t size = wire.size() / pieces + (i < wire.size() % pieces ? 1 : 0);
            if (i > 0) {
                at += gaps[i - 1];
            }
            if (options.pacing) {
                at += static_cast<long>(size) * kByteTime;
            }
            const auto first = wire.begin() + static_cast<std::ptrdiff_t>(offset);
            chunks.push_back({at, std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(size))});
            offset += size;
        }
    }
    lineFreeAt = at;
    return chunks;
}

std::deque<std::vector<std::uint8_t>> SimulatedUnit::Impl::takeUnsolicited() {
    const std::lock_guard lock(mutex);
    return std::exchange(unsolicited, {});
}

SimulatedUnit::SimulatedUnit(SimOptions options) : m_impl(std::make_unique<Impl>(options)) {}

SimulatedUnit::~SimulatedUnit() { Stop(); }

bool SimulatedUnit::Start() {
    const std::lock_guard lock(m_impl->lifecycle);
    if (m_impl->running) {
        return true;
    }
    m_impl->running = m_impl->plug(m_impl->options.index);
    return m_impl->running;
}

void SimulatedUnit::Stop() {
    const std::lock_guard lock(m_impl->lifecycle);
    m_impl->unplug();
    m_impl->running = false;
}

void SimulatedUnit::Unplug() {
    const std::lock_guard lock(m_impl->lifecycle);
    m_impl->unplug();
}

bool SimulatedUnit::Plug(int index) {
    const std::lock_guard lock(m_impl->lifecycle);
    m_impl->running = m_impl->plug(index);
    return m_impl->running;
}

int SimulatedUnit::Index() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->index;
}

std::string SimulatedUnit::PortName() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->portName;
}

std::string SimulatedUnit::DevicePath() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->devicePath;
}

std::string SimulatedUnit::EntryPath() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->entryPath;
}

std::string SimulatedUnit::LastError() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->lastError;
}

void SimulatedUnit::SetSilent(bool silent) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->silent = silent;
}

void SimulatedUnit::DropRecordAnswers(int record, int times) {
    const std::lock_guard lock(m_impl->mutex);
    if (times > 0) {
        m_impl->dropRecords[record] = times;
    } else {
        m_impl->dropRecords.erase(record);
    }
}

void SimulatedUnit::SetDropShare(double share) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->dropShare = std::clamp(share, 0.0, 1.0);
}

void SimulatedUnit::SetCorruptShare(double share) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->corruptShare = std::clamp(share, 0.0, 1.0);
}

void SimulatedUnit::SetSplitWrites(int pieces) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->splitPieces = std::max(pieces, 1);
}

void SimulatedUnit::SetNoiseBytes(int count) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->noiseBytes = std::clamp(count, 0, 4096);
}

void SimulatedUnit::SetRecordNumberOverride(int requested, int sent) {
    const std::lock_guard lock(m_impl->mutex);
    if (sent < 0 || sent == requested) {
        m_impl->renumber.erase(requested);
    } else {
        m_impl->renumber[requested] = sent;
    }
}

void SimulatedUnit::SetDuplicateAnswers(int record, bool twice) {
    const std::lock_guard lock(m_impl->mutex);
    if (twice) {
        m_impl->duplicates.insert(record);
    } else {
        m_impl->duplicates.erase(record);
    }
}

void SimulatedUnit::SetAnswerDelay(std::chrono::milliseconds delay) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->answerDelay = std::max(delay, std::chrono::milliseconds{0});
}

void SimulatedUnit::SendUnsolicited(std::uint8_t code, const std::vector<std::uint8_t>& data) {
    const std::lock_guard lifecycle(m_impl->lifecycle);
    if (m_impl->wakeFd < 0) {
        return;
    }
    {
        const std::lock_guard lock(m_impl->mutex);
        m_impl->unsolicited.push_back(BuildFrame(code, data));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_impl->wakeFd, &one, sizeof one);
}

void SimulatedUnit::SetOvgrFunction(bool present) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->model.SetOvgrFunction(present);
}

void SimulatedUnit::SetIgnoreSettingsWrites(bool ignore) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->model.SetIgnoreSettingsWrites(ignore);
}

void SimulatedUnit::SetFrozenValues(bool frozen) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->model.SetFrozen(frozen);
}

void SimulatedUnit::SetCurrentValues(std::uint16_t v0, std::uint16_t i0, std::int16_t phase, std::uint8_t hz) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->model.SetMeasurements({v0, i0, phase, hz});
}

std::vector<std::uint8_t> SimulatedUnit::CurrentValuePayload() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->model.CurrentValuePayload();
}

std::vector<std::uint8_t> SimulatedUnit::LastCurrentValuePayload() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->lastCurrentValues;
}

std::vector<std::uint8_t> SimulatedUnit::LogRecordPayload(std::uint8_t requestCode, int record) const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->model.LogRecordPayload(requestCode, record);
}

std::vector<std::uint8_t> SimulatedUnit::Clock() const {
    const std::lock_guard lock(m_impl->mutex);
    const auto& clock = m_impl->model.Clock();
    return {clock.begin(), clock.end()};
}

std::vector<ReceivedRequest> SimulatedUnit::Requests() const {
    const std::lock_guard lock(m_impl->mutex);
    return {m_impl->history.begin(), m_impl->history.end()};
}

std::size_t SimulatedUnit::RequestCount() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->requestCount;
}

void SimulatedUnit::ClearRequests() {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->history.clear();
    m_impl->requestCount = 0;
}

bool SimulatedUnit::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->requestTaken.wait_for(lock, timeout, [&] { return m_impl->requestCount >= count; });
}

}  // namespace tessarin::sim
