// What the simulated unit knows and does, without any I/O: its settings, its moving measurements and its
// three logs, and how it carries out each request. Everything is deterministic from the seed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessarin::sim {

// splitmix64: small, fast, and the same numbers on every machine (unlike the standard distributions).
class SimRandom {
  public:
    explicit SimRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next();
    // 0 to bound-1; 0 when bound is 0.
    std::uint32_t Below(std::uint32_t bound);
    // low to high, both included.
    int Between(int low, int high);
    // [0, 1).
    double Unit();

  private:
    std::uint64_t m_state;
};

struct UnitSettings {
    std::uint8_t condition = 0x2;  // detection condition code 1h, 2h, 4h or 8h
    std::uint8_t confirmCount = 3;
    std::uint8_t detectTime = 0;
    std::uint8_t v0Level = 1;
    std::uint8_t i0Level = 11;
    std::uint8_t phaseRange = 0;     // non-zero: -45..135 degrees
    std::uint8_t cyclicDisplay = 1;  // 0: on
    std::uint8_t logOverwrite = 0;   // 0: on
    std::uint8_t alarmCause1 = 0;
    std::uint8_t alarmCause2 = 1;
};

struct Measurements {
    std::uint16_t v0 = 0;    // 0.1 V
    std::uint16_t i0 = 0;    // 0.1 mA
    std::int16_t phase = 0;  // 0.1 degree
    std::uint8_t hz = 60;
};

struct UnitAnswer {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> data;
    bool isRecord = false;  // a log record (A1h to A3h)
    int record = 0;         // the record number asked for
};

inline constexpr std::size_t kCurrentValueBytes = 24;
inline constexpr std::size_t kLogRecordBytes = 16;
inline constexpr std::size_t kClockBytes = 6;

class UnitModel {
  public:
    explicit UnitModel(std::uint32_t seed);

    // Carries out one valid request frame; the answer the unit gives to it, if any. A poll moves the
    // measurements on by one step after they have been reported.
    std::optional<UnitAnswer> Handle(std::span<const std::uint8_t> request);

    // The 24 data bytes the next current-value answer carries.
    [[nodiscard]] std::vector<std::uint8_t> CurrentValuePayload() const;
    // The 16 data bytes of the answer to a record request (04h, 05h, 06h); empty for any other code.
    [[nodiscard]] std::vector<std::uint8_t> LogRecordPayload(std::uint8_t requestCode, int record) const;

    void SetFrozen(bool frozen) { m_frozen = frozen; }
    // Reports exactly these values from now on (and freezes them).
    void SetMeasurements(const Measurements& values);
    void SetOvgrFunction(bool present) { m_ovgrFunction = present; }
    // A unit that takes settings writes and initialise requests without changing anything.
    void SetIgnoreSettingsWrites(bool ignore) { m_ignoreSettingsWrites = ignore; }

    [[nodiscard]] const UnitSettings& Settings() const { return m_settings; }
    [[nodiscard]] const std::array<std::uint8_t, kClockBytes>& Clock() const { return m_clock; }

  private:
    using Record = std::array<std::uint8_t, kLogRecordBytes>;

    void advance();
    [[nodiscard]] Measurements reported() const;
    [[nodiscard]] const std::vector<Record>* logFor(std::uint8_t requestCode) const;
    void buildLogs(SimRandom& random);

    UnitSettings m_settings;
    std::array<std::uint8_t, kClockBytes> m_clock{};
    bool m_ovgrFunction = true;
    bool m_ignoreSettingsWrites = false;
    bool m_frozen = false;
    bool m_pinned = false;  // values set from outside; reported as they are
    Measurements m_pinnedValues;

    // The moving measurements.
    SimRandom m_random;
    std::uint64_t m_step = 0;
    double m_v0Offset = 0.0;
    double m_i0Offset = 0.0;
    double m_v0Walk = 0.0;
    double m_i0Walk = 0.0;
    double m_phase = 0.0;
    std::uint8_t m_baseHz = 60;
    std::uint8_t m_hz = 60;
    std::uint8_t m_progress = 0;

    std::vector<Record> m_faultLog;   // minor ground faults, 100 records
    std::vector<Record> m_ovgrLog;    // 10 records
    std::vector<Record> m_deviceLog;  // device state, 10 records
};

}  // namespace tessarin::sim
