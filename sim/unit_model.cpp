#include "sim/unit_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tessarin::sim {

namespace {

constexpr std::uint8_t kPoll = 0x00;
constexpr std::uint8_t kClearFaultLog = 0x01;
constexpr std::uint8_t kClearOvgrLog = 0x02;
constexpr std::uint8_t kWriteSettings = 0x03;
constexpr std::uint8_t kReadFaultRecord = 0x04;
constexpr std::uint8_t kReadOvgrRecord = 0x05;
constexpr std::uint8_t kReadDeviceRecord = 0x06;
constexpr std::uint8_t kInitialise = 0x07;

constexpr std::uint8_t kCurrentValues = 0xA0;
constexpr std::uint8_t kEmptyYear = 0xFF;

constexpr std::size_t kFaultRecords = 100;
constexpr std::size_t kOvgrRecords = 10;
constexpr std::size_t kDeviceRecords = 10;

// Flags of a log record (d13).
constexpr std::uint8_t kV0Range2 = 0x08;
constexpr std::uint8_t kI0Range2 = 0x04;
constexpr std::uint8_t kOvgrFlag = 0x02;

// Limits at and above which the program shows a value as over range.
constexpr int kV0Limit1 = 1295;
constexpr int kV0Limit2 = 4572;
constexpr int kI0Limit1 = 1050;
constexpr int kI0Limit2 = 7200;

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysIn(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays.at(static_cast<std::size_t>(month - 1));
}

// Date and time of a log event.
struct Stamp {
    int year = 2012;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;

    void addMinutes(int minutes) {
        minute += minutes;
        hour += minute / 60;
        minute %= 60;
        day += hour / 24;
        hour %= 24;
        while (day > daysIn(year, month)) {
            day -= daysIn(year, month);
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
};

struct Event {
    int v0 = 0;
    int i0 = 0;
    int phase = 0;
    int hz = 60;
    Stamp when;
    bool zeroDate = false;  // the unit had no clock time for it: month, day, hour and minute are 0
    std::uint8_t flags = 0;
    std::uint8_t state = 0;
    std::uint8_t device = 0;
};

void putWord(std::span<std::uint8_t> bytes, std::size_t at, int value) {
    const auto word = static_cast<std::uint16_t>(value);
    bytes[at] = static_cast<std::uint8_t>(word >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

std::array<std::uint8_t, kLogRecordBytes> recordBytes(int number, const Event& e) {
    std::array<std::uint8_t, kLogRecordBytes> r{};
    r[0] = static_cast<std::uint8_t>(number);
    putWord(r, 1, e.v0);
    putWord(r, 3, e.i0);
    putWord(r, 5, e.phase);
    r[7] = static_cast<std::uint8_t>(e.hz);
    r[8] = static_cast<std::uint8_t>(e.when.year - 2000);
    if (!e.zeroDate) {
        r[9] = static_cast<std::uint8_t>(e.when.month);
        r[10] = static_cast<std::uint8_t>(e.when.day);
        r[11] = static_cast<std::uint8_t>(e.when.hour);
        r[12] = static_cast<std::uint8_t>(e.when.minute);
    }
    r[13] = e.flags;
    r[14] = e.state;
    r[15] = e.device;
    return r;
}

// An empty slot reads like erased memory, numbered as asked.
std::array<std::uint8_t, kLogRecordBytes> emptySlot(int number) {
    std::array<std::uint8_t, kLogRecordBytes> r{};
    r.fill(0xFF);
    r[0] = static_cast<std::uint8_t>(number);
    r[8] = kEmptyYear;
    return r;
}

void emptyLog(std::vector<std::array<std::uint8_t, kLogRecordBytes>>& log) {
    for (std::size_t i = 0; i < log.size(); ++i) {
        log[i] = emptySlot(static_cast<int>(i + 1));
    }
}

}  // namespace

std::uint64_t SimRandom::Next() {
    m_state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint32_t SimRandom::Below(std::uint32_t bound) {
    return bound == 0 ? 0 : static_cast<std::uint32_t>(Next() % bound);
}

int SimRandom::Between(int low, int high) {
    if (high <= low) {
        return low;
    }
    return low + static_cast<int>(Below(static_cast<std::uint32_t>(high - low + 1)));
}

double SimRandom::Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

UnitModel::UnitModel(std::uint32_t seed) : m_random(seed) {
    // The logs draw from their own stream, so that they do not depend on how often the unit was polled.
    SimRandom logRandom(static_cast<std::uint64_t>(seed) ^ 0x6C6F6773ULL);
    m_v0Offset = m_random.Unit() * 2.0 * std::numbers::pi;
    m_i0Offset = m_random.Unit() * 2.0 * std::numbers::pi;
    m_phase = m_random.Between(-90, 180);
    m_baseHz = m_random.Below(4) == 0 ? 50 : 60;
    m_hz = m_baseHz;
    buildLogs(logRandom);
}

void UnitModel::buildLogs(SimRandom& random) {
    m_faultLog.assign(kFaultRecords, {});
    m_ovgrLog.assign(kOvgrRecords, {});
    m_deviceLog.assign(kDeviceRecords, {});
    emptyLog(m_faultLog);
    emptyLog(m_ovgrLog);
    emptyLog(m_deviceLog);

    // Minor ground faults. The special cases sit at fixed numbers, so that a person checking a screen
    // (or a test) knows where to look; the rest comes from the seed.
    Stamp when{2012, 3, 5, 14, 7};
    m_faultLog[0] = recordBytes(1, {456, 520, 635, 60, when, false, 0xF0, 5, 0});
    const int faultsFilled = random.Between(85, 95);
    for (int n = 2; n <= faultsFilled; ++n) {
        when.addMinutes(random.Between(60, 20 * 24 * 60));
        Event e;
        e.when = when;
        e.v0 = random.Between(300, 1200);
        e.i0 = random.Between(130, 1000);
        e.phase = random.Between(-600, 1200);
        e.hz = m_baseHz;
        e.flags = static_cast<std::uint8_t>(random.Below(16) << 4 | random.Below(2));
        e.state = std::array<std::uint8_t, 3>{5, 10, 0}.at(random.Below(3));
        switch (n) {
            case 2:  // detected, not yet confirmed, phase behind
                e.state = 10;
                e.phase = -random.Between(300, 900);
                break;
            case 3:
                e.zeroDate = true;
                break;
            case 4:
                e.v0 = kV0Limit1;
                e.flags &= static_cast<std::uint8_t>(~kV0Range2);
                break;
            case 5:
                e.v0 = kV0Limit2 + random.Between(0, 500);
                e.flags |= kV0Range2;
                break;
            case 6:
                e.i0 = kI0Limit1;
                e.flags &= static_cast<std::uint8_t>(~kI0Range2);
                break;
            case 7:
                e.i0 = kI0Limit2 + random.Between(0, 300);
                e.flags |= kI0Range2;
                break;
            case 8:  // the unit could not measure the phase
                e.phase = 2000 + random.Between(0, 9);
                break;
            case 9:  // range 2, within it
                e.v0 = random.Between(3000, 4000);
                e.flags |= kV0Range2;
                break;
            case 10:
                e.i0 = random.Between(4000, 6000);
                e.flags |= kI0Range2;
                break;
            case 11:  // too low a voltage to show a phase
                e.v0 = random.Between(0, 299);
                break;
            case 12:
                e.phase = -random.Between(1000, 1800);
                break;
            default:
                break;
        }
        m_faultLog[static_cast<std::size_t>(n - 1)] = recordBytes(n, e);
    }

    // OVGR operations: high V0, mostly on the second V0 range.
    when = Stamp{2013, 6, 1, 0, 0};
    when.addMinutes(random.Between(0, 90 * 24 * 60));
    const int ovgrFilled = random.Between(6, 7);
    for (int n = 1; n <= ovgrFilled; ++n) {
        when.addMinutes(random.Between(60, 30 * 24 * 60));
        Event e;
        e.when = when;
        e.v0 = random.Between(1500, 4000);
        e.i0 = random.Between(50, 800);
        e.phase = random.Between(-900, 1800);
        e.hz = m_baseHz;
        e.flags = static_cast<std::uint8_t>(random.Below(8) << 4 | kV0Range2 | kOvgrFlag | random.Below(2));
        switch (n) {
            case 2:
                e.v0 = kV0Limit2 + random.Between(0, 100);
                break;
            case 3:
                e.zeroDate = true;
                break;
            case 4:
                e.phase = -random.Between(100, 900);
                break;
            case 5:  // first V0 range, over it
                e.v0 = kV0Limit1 + random.Between(0, 50);
                e.flags &= static_cast<std::uint8_t>(~kV0Range2);
                break;
            default:
                break;
        }
        m_ovgrLog[static_cast<std::size_t>(n - 1)] = recordBytes(n, e);
    }

    // Device state events: measurements are not recorded with them.
    static constexpr std::array<std::uint8_t, 8> kDeviceEvents{0xC0, 0x20, 0x40, 0x10, 0x08, 0xA8, 0x80, 0x48};
    when = Stamp{2014, 1, 10, 8, 30};
    when.addMinutes(random.Between(0, 60 * 24 * 60));
    const int deviceFilled = random.Between(7, 8);
    for (int n = 1; n <= deviceFilled; ++n) {
        when.addMinutes(random.Between(10, 45 * 24 * 60));
        Event e;
        e.when = when;
        e.hz = m_baseHz;
        e.device = kDeviceEvents.at(static_cast<std::size_t>(n - 1));
        e.zeroDate = n == 7;  // a restart before the clock was set
        m_deviceLog[static_cast<std::size_t>(n - 1)] = recordBytes(n, e);
    }
}

std::optional<UnitAnswer> UnitModel::Handle(std::span<const std::uint8_t> request) {
    if (request.size() < 3) {
        return std::nullopt;
    }
    const std::uint8_t code = request[1];
    const std::size_t length = request.size();
    if (code == kWriteSettings) {
        if (length < 22 || m_ignoreSettingsWrites) {
            return std::nullopt;
        }
        const auto d = request.subspan(3, 17);
        m_settings.condition = static_cast<std::uint8_t>(d[0] >> 4);
        m_settings.confirmCount = static_cast<std::uint8_t>(d[0] & 0x0F);
        m_settings.detectTime = d[3];
        m_settings.v0Level = d[4];
        m_settings.i0Level = d[5];
        m_settings.phaseRange = d[6];
        m_settings.cyclicDisplay = d[7];
        m_settings.logOverwrite = d[8];
        std::copy_n(d.begin() + 9, kClockBytes, m_clock.begin());
        m_settings.alarmCause1 = d[15];
        m_settings.alarmCause2 = d[16];
        return std::nullopt;
    }
    if (length != 20) {
        return std::nullopt;
    }
    switch (code) {
        case kPoll: {
            UnitAnswer answer{kCurrentValues, CurrentValuePayload()};
            advance();
            return answer;
        }
        case kClearFaultLog:
            emptyLog(m_faultLog);
            return std::nullopt;
        case kClearOvgrLog:
            emptyLog(m_ovgrLog);
            return std::nullopt;
        case kInitialise:
            if (!m_ignoreSettingsWrites) {
                m_settings = UnitSettings{};
            }
            return std::nullopt;
        case kReadFaultRecord:
        case kReadOvgrRecord:
        case kReadDeviceRecord: {
            const int record = request[3];
            return UnitAnswer{static_cast<std::uint8_t>(0xA1 + (code - kReadFaultRecord)),
                              LogRecordPayload(code, record), true, record};
        }
        default:
            return std::nullopt;  // a request this unit does not know
    }
}

Measurements UnitModel::reported() const {
    if (m_pinned) {
        return m_pinnedValues;
    }
    const double v0 = 40.0 + 15.0 * std::sin(static_cast<double>(m_step) * 0.05 + m_v0Offset) + m_v0Walk;
    const double i0 = 22.0 + 12.0 * std::sin(static_cast<double>(m_step) * 0.037 + m_i0Offset) + m_i0Walk;
    Measurements m;
    m.v0 = static_cast<std::uint16_t>(std::lround(std::clamp(v0, 0.0, 6000.0) * 10.0));
    m.i0 = static_cast<std::uint16_t>(std::lround(std::clamp(i0, 0.0, 6000.0) * 10.0));
    m.phase = static_cast<std::int16_t>(std::lround(m_phase * 10.0));
    m.hz = m_hz;
    return m;
}

void UnitModel::advance() {
    if (m_frozen || m_pinned) {
        return;
    }
    ++m_step;
    m_v0Walk = std::clamp(m_v0Walk + (m_random.Unit() - 0.5), -5.0, 5.0);
    m_i0Walk = std::clamp(m_i0Walk + (m_random.Unit() - 0.5) * 0.8, -4.0, 4.0);
    m_phase += (m_random.Unit() - 0.5) * 12.0;
    if (m_phase < -90.0) {
        m_phase = -180.0 - m_phase;
    }
    if (m_phase > 180.0) {
        m_phase = 360.0 - m_phase;
    }
    m_hz = m_random.Below(25) == 0 ? static_cast<std::uint8_t>(m_baseHz + m_random.Between(-1, 1)) : m_baseHz;
    // A confirmation run counts while both values stay high, and starts again when they drop.
    const Measurements now = reported();
    if (now.v0 >= 500 && now.i0 >= 250) {
        m_progress = static_cast<std::uint8_t>(std::min<int>(m_progress + 1, m_settings.confirmCount & 0x0F));
    } else {
        m_progress = 0;
    }
}

void UnitModel::SetMeasurements(const Measurements& values) {
    m_pinned = true;
    m_pinnedValues = values;
    m_progress = 0;
}

std::vector<std::uint8_t> UnitModel::CurrentValuePayload() const {
    const Measurements m = reported();
    const bool ovgrDetecting = m_ovgrFunction && !m_pinned && m.v0 >= 550;
    std::vector<std::uint8_t> d(kCurrentValueBytes, 0);
    d[0] = static_cast<std::uint8_t>((ovgrDetecting ? 0x02 : 0x00) | (m_settings.phaseRange != 0 ? 0x01 : 0x00));
    d[1] = static_cast<std::uint8_t>(m_settings.condition << 4 | (m_settings.confirmCount & 0x0F));
    putWord(d, 2, m.v0);
    putWord(d, 4, m.i0);
    putWord(d, 6, m.phase);
    d[8] = m.hz;
    d[9] = m_settings.v0Level;
    d[10] = m_settings.i0Level;
    d[11] = m_settings.detectTime;
    d[12] = m_progress;
    d[13] = m_settings.cyclicDisplay;
    d[14] = m_settings.logOverwrite;
    d[15] = m_ovgrFunction ? 1 : 0;
    d[22] = m_settings.alarmCause1;
    d[23] = m_settings.alarmCause2;
    return d;
}

const std::vector<UnitModel::Record>* UnitModel::logFor(std::uint8_t requestCode) const {
    switch (requestCode) {
        case kReadFaultRecord:
            return &m_faultLog;
        case kReadOvgrRecord:
            return &m_ovgrLog;
        case kReadDeviceRecord:
            return &m_deviceLog;
        default:
            return nullptr;
    }
}

std::vector<std::uint8_t> UnitModel::LogRecordPayload(std::uint8_t requestCode, int record) const {
    const auto* log = logFor(requestCode);
    if (log == nullptr) {
        return {};
    }
    // A number the log does not have is answered with an empty slot under that number.
    const Record r = record >= 1 && static_cast<std::size_t>(record) <= log->size()
                         ? (*log)[static_cast<std::size_t>(record - 1)]
                         : emptySlot(record);
    return {r.begin(), r.end()};
}

}  // namespace tessarin::sim
