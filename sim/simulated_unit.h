// The simulated control unit: answers on a pseudo-terminal like a real unit, registered in the
// serial-port list so that the program finds it by itself. Tests run it in-process on its own thread;
// tessarin-sim wraps it for the command line. It shares no code with the program's link/ and data/.
//
// Requests are taken from the byte stream wherever a whole, valid 20- or 22-byte request stands; anything
// else is passed over. Answers: 00h poll -> A0h current values; 04h/05h/06h record n -> A1h/A2h/A3h (a
// number the log does not have is answered with an empty slot under that number); 01h/02h clear a log,
// 03h writes the settings and the clock, 07h initialises the settings: no answer. Unknown codes: no answer.
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
    int comNumber = -1;      // port name COM<n>; -1 derives one from the index (20 + index)
    bool pacing = true;      // behave like a 9600-baud 8O1 line (11 bits per byte)
    bool trace = false;      // print each request received (time and hex) to stderr
    std::uint32_t seed = 1;  // for the moving values, the logs and random faults
};

// The serial-port list folder: $XDG_RUNTIME_DIR/tessarin/serialcomm, or /tmp/tessarin-<uid>/serialcomm
// when XDG_RUNTIME_DIR is unset or empty. Read from the environment at each call.
std::string SerialListFolder();

class SimulatedUnit {
  public:
    explicit SimulatedUnit(SimOptions options = {});
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;
    SimulatedUnit(SimulatedUnit&&) = delete;
    SimulatedUnit& operator=(SimulatedUnit&&) = delete;

    // Opens a pty, registers it and starts answering on a thread. False when any of that failed
    // (LastError says why). True at once when already running.
    bool Start();
    // Stops answering, removes the list entry and closes the pty. Safe to call twice.
    void Stop();

    [[nodiscard]] int Index() const;               // list index now registered, -1 when unplugged
    [[nodiscard]] std::string PortName() const;    // "COM<n>" (the last one registered while unplugged)
    [[nodiscard]] std::string DevicePath() const;  // pty slave path, "" when unplugged
    [[nodiscard]] std::string EntryPath() const;   // the list file VCP<i>, "" when unplugged
    [[nodiscard]] std::string LastError() const;   // why Start or Plug failed, "" when they did not

    // Faults. All may be changed while running; they apply to requests taken from then on.
    void SetSilent(bool silent);                            // answer nothing at all
    void DropRecordAnswers(int record, int times);          // leave the next `times` requests for `record` unanswered
    void SetDropShare(double share);                        // leave this share of record requests unanswered
    void SetCorruptShare(double share);                     // corrupt the checksum of this share of answers
    void SetSplitWrites(int pieces);                        // write each answer in this many pieces (1: whole)
    void SetNoiseBytes(int count);                          // write this many noise bytes (no FFh) before answers
    void SetRecordNumberOverride(int requested, int sent);  // answer record `requested` numbered `sent`
                                                            // (sent < 0 or == requested: no longer)
    void SetDuplicateAnswers(int record, bool twice);       // answer every request for `record` twice,
                                                            // the second time 20 ms after the first
    void SetAnswerDelay(std::chrono::milliseconds delay);   // start every answer this much later (a slow unit)
    void Unplug();                                          // remove the entry and close the pty
    bool Plug(int index = -1);                              // new pty, registered under index (-1: first free)

    // Content of the unit.
    void SetOvgrFunction(bool present);
    void SetIgnoreSettingsWrites(bool ignore);  // take settings writes and initialisations, change nothing
    void SetFrozenValues(bool frozen);          // stop the measurements from moving
    // Report exactly these values (V0 in 0.1 V, I0 in 0.1 mA, phase in signed 0.1 degree) from now on.
    void SetCurrentValues(std::uint16_t v0, std::uint16_t i0, std::int16_t phase, std::uint8_t hz);
    // The 24 data bytes the next A0h would carry.
    [[nodiscard]] std::vector<std::uint8_t> CurrentValuePayload() const;
    // The data bytes of the last A0h sent (empty: none yet).
    [[nodiscard]] std::vector<std::uint8_t> LastCurrentValuePayload() const;
    // 16 data bytes of the answer to record request `requestCode` (4, 5 or 6) for `record`, faults aside;
    // empty for any other code.
    [[nodiscard]] std::vector<std::uint8_t> LogRecordPayload(std::uint8_t requestCode, int record) const;
    // Writes one frame with this code and data bytes on the line, unasked, behind any answer going out.
    // Nothing happens while unplugged.
    void SendUnsolicited(std::uint8_t code, const std::vector<std::uint8_t>& data);

    // The six clock bytes of the last settings write (zeros before any).
    [[nodiscard]] std::vector<std::uint8_t> Clock() const;

    // Requests received so far (oldest first; the last 10000 are kept), and how many were taken since the
    // start or the last ClearRequests. A request counts once the unit has acted on it.
    [[nodiscard]] std::vector<ReceivedRequest> Requests() const;
    [[nodiscard]] std::size_t RequestCount() const;
    void ClearRequests();
    // Waits until RequestCount() reaches `count`; false when `timeout` passed first.
    [[nodiscard]] bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tessarin::sim
