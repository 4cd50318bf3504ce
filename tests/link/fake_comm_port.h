// A serial port for tests of the logic above the port. What it can do:
// - open only the port numbers listed with AddDevice (or any with OpenAnything), fail every open with
//   SetOpenFails, and count opens and closes;
// - remember the line settings it was given (baud rate, data bits, parity, stop bits, handshaking, time-out);
// - record every WriteBinary as one entry of Writes() (also when the write fails); SetWriteFails makes writes
//   return 0; OnWrite runs a callback after each write (a scripted unit answering a request);
// - serve scripted incoming chunks: each Deliver() is what one read returns, ReadBufferDataSize tells the
//   size of the next chunk; nothing is read while the port is closed, and ReadBinary with nothing waiting
//   returns one 00h byte like the real port;
// - Vanish(): the device disappears, the open handle goes dead (reads empty, writes fail) and opens fail
//   until Reappear().
// Opening and ClearReadBuffer discard chunks not yet read, like the driver's purge.
// - offer a descriptor to wake on (SetDescriptor), reported only while open.
// HandOver() turns a fake the test keeps a pointer to into a one-shot port factory.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "link/comm_port.h"

namespace tessarin::test {

class FakeCommPort : public CommPort {
  public:
    // --- scripting ---
    void AddDevice(std::int32_t portNumber) { m_devices.insert(portNumber); }
    void RemoveDevice(std::int32_t portNumber) { m_devices.erase(portNumber); }
    void OpenAnything(bool on = true) { m_openAnything = on; }
    void SetOpenFails(bool fails) { m_openFails = fails; }
    void SetWriteFails(bool fails) { m_writeFails = fails; }
    void Vanish() {
        m_vanished = true;
        m_chunks.clear();
    }
    void Reappear() { m_vanished = false; }
    void Deliver(std::vector<std::uint8_t> chunk) {
        if (!chunk.empty()) {
            m_chunks.push_back(std::move(chunk));
        }
    }
    void OnWrite(std::function<void(const std::vector<std::uint8_t>&)> handler) { m_onWrite = std::move(handler); }
    void SetDescriptor(int descriptor) { m_descriptor = descriptor; }

    // --- inspection ---
    bool IsOpen() const { return m_open; }
    int OpenCount() const { return m_openCount; }
    int CloseCount() const { return m_closeCount; }
    int ReadCount() const { return m_readCount; }
    std::size_t PendingChunks() const { return m_chunks.size(); }
    const std::vector<std::vector<std::uint8_t>>& Writes() const { return m_writes; }
    void ClearWrites() { m_writes.clear(); }
    std::int32_t BaudRate() const { return m_baudRate; }
    std::uint8_t DataBits() const { return m_dataBits; }
    std::uint8_t Parity() const { return m_parity; }
    std::uint8_t StopBits() const { return m_stopBits; }
    std::int32_t Handshaking() const { return m_handshaking; }
    std::int16_t TimeOut() const { return m_timeOut; }

    // --- CommPort ---
    std::int32_t PortNumber() const override { return m_portNumber; }
    void SetPortNumber(std::int32_t value) override { m_portNumber = value; }
    void SetBaudRate(std::int32_t value) override { m_baudRate = value; }
    void SetDataBits(std::uint8_t value) override { m_dataBits = value; }
    void SetParity(std::uint8_t value) override { m_parity = value; }
    void SetStopBits(std::uint8_t value) override { m_stopBits = value; }
    void SetHandshaking(std::int32_t value) override { m_handshaking = value; }
    void SetTimeOut(std::int16_t value) override { m_timeOut = value; }

    std::int32_t OpenPort() override {
        ++m_openCount;
        if (m_portNumber <= 0) {
            m_portNumber = 1;
        }
        const bool exists = m_openAnything || m_devices.contains(m_portNumber);
        if (m_openFails || m_vanished || !exists) {
            m_portNumber = 0;
            return 0;
        }
        m_open = true;
        m_chunks.clear();
        return m_portNumber;
    }
    std::int32_t ClosePort() override {
        ++m_closeCount;
        const bool wasOpen = m_open;
        m_open = false;
        return wasOpen ? 1 : 0;
    }
    std::int32_t WriteBinary(std::span<const std::uint8_t> bytes) override {
        m_writes.emplace_back(bytes.begin(), bytes.end());
        const bool ok = Live() && !m_writeFails;
        if (m_onWrite) {
            m_onWrite(m_writes.back());
        }
        return ok ? -1 : 0;
    }
    std::int32_t ReadBufferDataSize() override {
        return Live() && !m_chunks.empty() ? static_cast<std::int32_t>(m_chunks.front().size()) : 0;
    }
    std::vector<std::uint8_t> ReadBinary() override {
        ++m_readCount;
        if (!Live() || m_chunks.empty()) {
            return {0x00};
        }
        std::vector<std::uint8_t> chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        return chunk;
    }
    std::int32_t ClearWriteBuffer() override { return Live() ? 1 : 0; }
    std::int32_t ClearReadBuffer() override {
        m_chunks.clear();
        return Live() ? 1 : 0;
    }
    int ReadableDescriptor() const override { return m_open ? m_descriptor : -1; }

  private:
    bool Live() const { return m_open && !m_vanished; }

    std::set<std::int32_t> m_devices;
    bool m_openAnything = false;
    bool m_openFails = false;
    bool m_writeFails = false;
    bool m_vanished = false;
    bool m_open = false;
    int m_descriptor = -1;
    int m_openCount = 0;
    int m_closeCount = 0;
    int m_readCount = 0;
    std::deque<std::vector<std::uint8_t>> m_chunks;
    std::vector<std::vector<std::uint8_t>> m_writes;
    std::function<void(const std::vector<std::uint8_t>&)> m_onWrite;

    std::int32_t m_portNumber = 0;
    std::int32_t m_baudRate = 9600;
    std::uint8_t m_dataBits = 8;
    std::uint8_t m_parity = 0;
    std::uint8_t m_stopBits = 0;
    std::int32_t m_handshaking = 0;
    std::int16_t m_timeOut = 1000;
};

// A factory that hands the given port out once (later calls get nullptr); the test keeps a raw pointer.
inline std::function<std::unique_ptr<CommPort>()> HandOver(std::unique_ptr<FakeCommPort> port) {
    auto holder = std::make_shared<std::unique_ptr<FakeCommPort>>(std::move(port));
    return [holder]() -> std::unique_ptr<CommPort> { return std::move(*holder); };
}

}  // namespace tessarin::test
