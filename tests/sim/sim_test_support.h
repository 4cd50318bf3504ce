// Helpers for the simulated unit's tests.
//
// ScopedRuntimeFolder: points XDG_RUNTIME_DIR at a fresh temporary folder for the life of a test, so the
// serial-port list the unit writes is the test's own; removes it and restores the variable afterwards.
//
// LinePeer: the program's end of the line, a fake that can: open the unit's tty device raw and
// non-blocking, write bytes, read exactly n bytes within a time-out (counting the reads it took), read
// whatever comes within a given time, and report what one read returns (for a hung-up line).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarin::sim::testing {

class ScopedRuntimeFolder {
  public:
    ScopedRuntimeFolder();
    ~ScopedRuntimeFolder();
    ScopedRuntimeFolder(const ScopedRuntimeFolder&) = delete;
    ScopedRuntimeFolder& operator=(const ScopedRuntimeFolder&) = delete;
    ScopedRuntimeFolder(ScopedRuntimeFolder&&) = delete;
    ScopedRuntimeFolder& operator=(ScopedRuntimeFolder&&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] std::string ListFolder() const { return m_path + "/tessarin/serialcomm"; }

  private:
    std::string m_path;
    std::optional<std::string> m_previous;
};

class LinePeer {
  public:
    explicit LinePeer(const std::string& devicePath);
    ~LinePeer();
    LinePeer(const LinePeer&) = delete;
    LinePeer& operator=(const LinePeer&) = delete;
    LinePeer(LinePeer&&) = delete;
    LinePeer& operator=(LinePeer&&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    void Write(const std::vector<std::uint8_t>& bytes) const;
    // Up to `count` bytes; fewer when `timeout` passed first. `reads` counts the reads that yielded bytes.
    std::vector<std::uint8_t> ReadExactly(std::size_t count, std::chrono::milliseconds timeout, int* reads = nullptr);
    // Everything that arrives within `window`.
    std::vector<std::uint8_t> ReadFor(std::chrono::milliseconds window);
    // Waits up to `timeout` for the line to become readable or hang up, then reads once: the result of
    // read() (0 at end of file, -1 with errno in `error`).
    long ReadOnce(std::chrono::milliseconds timeout, int& error);

  private:
    int m_fd = -1;
};

// Literal request frames as the program writes them: the 20-byte frame and the two trailing bytes.
std::vector<std::uint8_t> Request(std::uint8_t code, std::uint8_t d0 = 0,
                                  std::vector<std::uint8_t> trailing = {0x00, 0x00});
// The XOR of bytes 1 through n-2, computed here on its own for frames the tests build.
std::uint8_t XorOf(const std::vector<std::uint8_t>& frame);

std::string ReadTextFile(const std::string& path);

}  // namespace tessarin::sim::testing
