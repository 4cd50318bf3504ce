// The unit's entry in the serial-port list that the program reads: a file VCP<i> in the list folder, line 1
// the port name ("COM20"), line 2 the tty device. Written whole or not at all, so a reader never sees half.
#pragma once

#include <string>

#include "sim/simulated_unit.h"  // SerialListFolder

namespace tessarin::sim {

class SerialListEntry {
  public:
    SerialListEntry() = default;
    ~SerialListEntry();
    SerialListEntry(const SerialListEntry&) = delete;
    SerialListEntry& operator=(const SerialListEntry&) = delete;
    SerialListEntry(SerialListEntry&&) = delete;
    SerialListEntry& operator=(SerialListEntry&&) = delete;

    // Creates the folder (mode 0700) when missing and lists the port: under `index`, replacing what stood
    // there, or under the first free index when `index` is negative. The port name is COM<comNumber>, or
    // COM<20 + index> when `comNumber` is negative. Replaces an entry this object made before. False with
    // `error` set when the folder is not private to this user or cannot be written.
    bool Register(int index, int comNumber, const std::string& devicePath, std::string& error);
    // Removes the entry, if it still is the one this object wrote.
    void Remove();

    [[nodiscard]] int Index() const { return m_index; }
    [[nodiscard]] const std::string& FilePath() const { return m_filePath; }
    [[nodiscard]] const std::string& PortName() const { return m_portName; }

  private:
    int m_index = -1;
    std::string m_filePath;
    std::string m_portName;
    std::string m_contents;
};

}  // namespace tessarin::sim
