// The system's serial-port list for tests. What it can do:
// - hold values name -> port name ("\Device\VCP0" -> "COM5"), changed at any time (per tick) with Set,
//   Remove and Clear;
// - answer only for HKLM "HARDWARE\DEVICEMAP\SERIALCOMM" (any other root or key reads as missing);
// - report a settable platform identifier (2, the NT family, by default);
// - count ReadRegText and QueryOsPlatform calls, and remember the value names asked for.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/port_listing.h"

namespace tessarin::test {

class FakePortListing : public PortListing {
  public:
    static std::string Vcp(int index) { return "\\Device\\VCP" + std::to_string(index); }

    void Set(const std::string& valueName, std::string portName) { m_values[valueName] = std::move(portName); }
    void SetVcp(int index, std::string portName) { Set(Vcp(index), std::move(portName)); }
    void Remove(const std::string& valueName) { m_values.erase(valueName); }
    void RemoveVcp(int index) { Remove(Vcp(index)); }
    void Clear() { m_values.clear(); }
    void SetOsPlatform(std::int16_t platform) { m_platform = platform; }

    int ReadCount() const { return m_readCount; }
    int PlatformQueries() const { return m_platformQueries; }
    const std::vector<std::string>& NamesAsked() const { return m_namesAsked; }
    void ResetCounts() {
        m_readCount = 0;
        m_platformQueries = 0;
        m_namesAsked.clear();
    }

    std::string ReadRegText(std::uint32_t root, const std::string& key, const std::string& valueName) override {
        ++m_readCount;
        m_namesAsked.push_back(valueName);
        if (root != kHkeyLocalMachine || key != kSerialCommKey) {
            return {};
        }
        const auto it = m_values.find(valueName);
        return it == m_values.end() ? std::string{} : it->second;
    }
    std::int16_t QueryOsPlatform() override {
        ++m_platformQueries;
        return m_platform;
    }

  private:
    std::map<std::string, std::string> m_values;
    std::int16_t m_platform = kPlatformNt;
    int m_readCount = 0;
    int m_platformQueries = 0;
    std::vector<std::string> m_namesAsked;
};

}  // namespace tessarin::test
