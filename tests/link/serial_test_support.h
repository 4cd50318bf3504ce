// Helpers for the tests of the serial port and the serial-port list. What they can do:
// - TempDir: a fresh folder under the system's temp folder, removed with everything in it at the end;
// - ScopedEnv: set or unset one environment variable for a scope, restoring the old value after;
// - SerialListFolder: a temporary XDG_RUNTIME_DIR with the list folder in it, VCP<i> files written or
//   removed with Write/Remove;
// - PtyPeer: the master side of a fresh pseudo-terminal (the slave is the "port"), non-blocking, with a
//   read that waits up to a generous deadline for the number of bytes expected, and Hangup() to close it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tessarin::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    TempDir(TempDir&&) = delete;
    TempDir& operator=(TempDir&&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ScopedEnv(ScopedEnv&&) = delete;
    ScopedEnv& operator=(ScopedEnv&&) = delete;

  private:
    std::string m_name;
    std::optional<std::string> m_old;
};

inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class SerialListFolder {
  public:
    SerialListFolder() : m_env("XDG_RUNTIME_DIR", m_runtime.Path().c_str()) {
        std::filesystem::create_directories(Folder());
    }

    [[nodiscard]] std::filesystem::path Folder() const { return m_runtime.Path() / "tessarin" / "serialcomm"; }
    [[nodiscard]] const std::filesystem::path& RuntimeDir() const { return m_runtime.Path(); }

    void Write(std::uint32_t index, const std::string& portName, const std::string& device) const {
        WriteRaw("VCP" + std::to_string(index), portName + "\n" + device + "\n");
    }
    void WriteRaw(const std::string& fileName, const std::string& contents) const {
        WriteTextFile(Folder() / fileName, contents);
    }
    void Remove(std::uint32_t index) const { std::filesystem::remove(Folder() / ("VCP" + std::to_string(index))); }

  private:
    TempDir m_runtime;
    ScopedEnv m_env;
};

class PtyPeer {
  public:
    PtyPeer() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            if (const char* name = ::ptsname(m_master)) {
                m_slavePath = name;
            }
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPeer() { Hangup(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;
    PtyPeer(PtyPeer&&) = delete;
    PtyPeer& operator=(PtyPeer&&) = delete;

    [[nodiscard]] bool Ok() const { return m_master >= 0 && !m_slavePath.empty(); }
    [[nodiscard]] const std::string& SlavePath() const { return m_slavePath; }

    [[nodiscard]] bool Send(const std::vector<std::uint8_t>& bytes) const {
        return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Up to `count` bytes, waiting at most `deadline` for them to arrive.
    [[nodiscard]] std::vector<std::uint8_t> Receive(
        std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(5)) const {
        std::vector<std::uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) {
                continue;
            }
            std::uint8_t buffer[256];
            const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
            }
        }
        return got;
    }

    void Hangup() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

  private:
    int m_master = -1;
    std::string m_slavePath;
};

// Polls `condition` until it holds or a generous deadline passes (data through a pseudo-terminal arrives
// a moment after it was written).
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        ::usleep(2000);
    }
    return true;
}

}  // namespace tessarin::test
