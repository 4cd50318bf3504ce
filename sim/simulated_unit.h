// The simulated control unit: answers on a pseudo-terminal like a real unit, registered in the
// serial-port list so that the program finds it by itself. Tests run it in-process on its own thread;
// tessarin-sim wraps it for the command line. It shares no code with the program's link/ and data/.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessarin::sim {

struct ReceivedRequest {
    std::chrono::steady_clock::time_point when;
    std::vector<std::uint8_t> frame;  // one whole request frame as parsed (20 or 22 bytes)
};

struct SimOptions {
    int index = -1;          // serial-port list index; -1 takes the first free one
    int comNumber = -1;      // port name COM<n>; -1 derives one from the index
    bool pacing = true;      // behave like a 9600-baud 8O1 line (11 bits per byte)
    bool trace = false;      // print each request received (time and hex) to stderr
    std::uint32_t seed = 1;  // for the moving values and random faults
};

class SimulatedUnit {
public:
    explicit SimulatedUnit(SimOptions options = {});
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;
    SimulatedUnit(SimulatedUnit&&) = delete;
    SimulatedUnit& operator=(SimulatedUnit&&) = delete;

    // Opens a pty, registers it and starts answering on a thread. False when any of that failed.
    bool Start();
    // Stops answering, removes the list entry and closes the pty. Safe to call twice.
    void Stop();

    int Index() const;               // list index now registered, -1 when unplugged
    std::string PortName() const;    // "COM<n>"
    std::string DevicePath() const;  // pty slave path, "" when unplugged

    // Faults. All may be changed while running.
    void SetSilent(bool silent);                            // answer nothing at all
    void DropRecordAnswers(int record, int times);          // leave the next `times` requests for `record` unanswered
    void SetDropShare(double share);                        // leave this share of record requests unanswered
    void SetCorruptShare(double share);                     // corrupt the checksum of this share of answers
    void SetSplitWrites(int pieces);                        // write each answer in this many pieces (1: whole)
    void SetNoiseBytes(int count);                          // write this many noise bytes (no FFh) before answers
    void SetRecordNumberOverride(int requested, int sent);  // answer record `requested` numbered `sent`
    void Unplug();                                          // remove the entry and close the pty
    bool Plug(int index = -1);                              // new pty, registered under index (-1: first free)

    // Content of the unit.
    void SetOvgrFunction(bool present);
    void SetFrozenValues(bool frozen);                      // stop the measurements from moving
    std::vector<std::uint8_t> CurrentValuePayload() const;  // the 24 data bytes the next A0h would carry
    std::vector<std::uint8_t> LastCurrentValuePayload() const;  // data bytes of the last A0h sent ("" none yet)
    std::vector<std::uint8_t> LogRecordPayload(std::uint8_t requestCode, int record) const;  // 16 data bytes

    // Requests received so far (oldest first), and how many.
    std::vector<ReceivedRequest> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tessarin::sim
