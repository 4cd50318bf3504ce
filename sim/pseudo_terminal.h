// The unit's end of the cable: a pseudo-terminal whose slave device the program opens as its serial port.
#pragma once

#include <string>

namespace tessarin::sim {

class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    PseudoTerminal(PseudoTerminal&&) = delete;
    PseudoTerminal& operator=(PseudoTerminal&&) = delete;

    // Opens a new pty with both ends raw, the master non-blocking. Keeps a slave descriptor of its own, so
    // that the program closing and re-opening the port never hangs the line up. When `avoidPath` is given
    // the new slave gets another path (a re-plugged adapter seldom gets its old name back). False with
    // `error` set when anything failed; nothing is left open then.
    bool Open(const std::string& avoidPath, std::string& error);
    // Closes both ends: the program's reads then end with an error or end of file.
    void Close();

    [[nodiscard]] bool IsOpen() const { return m_master >= 0; }
    [[nodiscard]] int MasterFd() const { return m_master; }
    [[nodiscard]] const std::string& SlavePath() const { return m_slavePath; }

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

}  // namespace tessarin::sim
