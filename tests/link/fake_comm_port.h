// The one serial port of the tests, for the link's tests and the window's. What it can do:
// - open only the port numbers listed with AddDevice (or any with OpenAnything), fail every open with
//   SetOpenFails, and count opens and closes;
// - remember the port number and line settings of the last Open;
// - record every Write as one entry of Writes() (also when the write fails); SetWriteFails makes writes
//   fail; OnWrite runs a callback after each write (a scripted unit answering a request);
// - serve scripted incoming chunks: each Deliver() is what one read returns; FailNextReads makes reads fail
//   without taking a chunk; nothing is read while the port is closed;
// - Vanish(): the device disappears, the open handle goes dead (reads and writes fail) and opens fail
//   until Reappear().
// Opening and ClearInput discard chunks not yet read, like the driver's purge.
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
    void FailNextReads(int count) { m_readsToFail = count; }
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
    std::size_t PendingChunks() const { return m_chunks.size(); }
    const std::vector<std::vector<std::uint8_t>>& Writes() const { return m_writes; }
    void ClearWrites() { m_writes.clear(); }
    // The port number and line of the last Open, whether it worked or not.
    std::int32_t PortNumber() const { return m_portNumber; }
    const LineSettings& Line() const { return m_line; }

    // --- CommPort ---
    bool Open(std::int32_t portNumber, const LineSettings& line) override {
        ++m_openCount;
        m_portNumber = portNumber;
        m_line = line;
        m_open = !m_openFails && !m_vanished && (m_openAnything || m_devices.contains(portNumber));
        m_chunks.clear();
        return m_open;
    }
    void Close() override {
        ++m_closeCount;
        m_open = false;
    }
    bool Write(std::span<const std::uint8_t> bytes) override {
        m_writes.emplace_back(bytes.begin(), bytes.end());
        const bool ok = Live() && !m_writeFails;
        if (m_onWrite) {
            m_onWrite(m_writes.back());
        }
        return ok;
    }
    PortRead Read() override {
        if (!Live() || m_readsToFail > 0) {
            m_readsToFail -= m_readsToFail > 0 ? 1 : 0;
            return {ReadStatus::Failed, {}};
        }
        if (m_chunks.empty()) {
            return {};
        }
        PortRead read{ReadStatus::Received, std::move(m_chunks.front())};
        m_chunks.pop_front();
        return read;
    }
    bool ClearInput() override {
        m_chunks.clear();
        return Live();
    }
    bool ClearOutput() override { return Live(); }
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
    int m_readsToFail = 0;
    std::deque<std::vector<std::uint8_t>> m_chunks;
    std::vector<std::vector<std::uint8_t>> m_writes;
    std::function<void(const std::vector<std::uint8_t>&)> m_onWrite;
    std::int32_t m_portNumber = 0;
    LineSettings m_line;
};

// A factory that hands the given port out once (later calls get nullptr); the test keeps a raw pointer.
inline std::function<std::unique_ptr<CommPort>()> HandOver(std::unique_ptr<FakeCommPort> port) {
    auto holder = std::make_shared<std::unique_ptr<FakeCommPort>>(std::move(port));
    return [holder]() -> std::unique_ptr<CommPort> { return std::move(*holder); };
}

}  // namespace tessarin::test
