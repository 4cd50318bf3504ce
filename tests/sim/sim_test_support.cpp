#include "sim/sim_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessarin::sim::testing {

using SteadyClock = std::chrono::steady_clock;

ScopedRuntimeFolder::ScopedRuntimeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessarin-sim-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
    if (const char* previous = std::getenv("XDG_RUNTIME_DIR"); previous != nullptr) {
        m_previous = previous;
    }
    ::setenv("XDG_RUNTIME_DIR", m_path.c_str(), 1);
}

ScopedRuntimeFolder::~ScopedRuntimeFolder() {
    if (m_previous) {
        ::setenv("XDG_RUNTIME_DIR", m_previous->c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

LinePeer::LinePeer(const std::string& devicePath) {
    m_fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

LinePeer::~LinePeer() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void LinePeer::Write(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> LinePeer::ReadExactly(std::size_t count, std::chrono::milliseconds timeout, int* reads) {
    std::vector<std::uint8_t> bytes;
    const auto deadline = SteadyClock::now() + timeout;
    if (reads != nullptr) {
        *reads = 0;
    }
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        std::vector<std::uint8_t> chunk(std::min<std::size_t>(count - bytes.size(), 4096));
        const ssize_t n = ::read(m_fd, chunk.data(), chunk.size());
        if (n > 0) {
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
            if (reads != nullptr) {
                ++*reads;
            }
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return bytes;
}

std::vector<std::uint8_t> LinePeer::ReadFor(std::chrono::milliseconds window) {
    return ReadExactly(static_cast<std::size_t>(-1) / 2, window);
}

long LinePeer::ReadOnce(std::chrono::milliseconds timeout, int& error) {
    pollfd pfd{m_fd, POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(timeout.count()));
    std::uint8_t byte = 0;
    errno = 0;
    const ssize_t n = ::read(m_fd, &byte, 1);
    error = errno;
    return n;
}

std::vector<std::uint8_t> Request(std::uint8_t code, std::uint8_t d0, std::vector<std::uint8_t> trailing) {
    std::vector<std::uint8_t> frame{0xFF, code, 0x14, d0};
    frame.resize(18, 0x00);
    frame.push_back(0xCC);
    frame.push_back(0);
    frame.back() = XorOf(frame);
    frame.insert(frame.end(), trailing.begin(), trailing.end());
    return frame;
}

std::uint8_t XorOf(const std::vector<std::uint8_t>& frame) {
    std::uint8_t x = 0;
    for (std::size_t i = 1; i + 1 < frame.size(); ++i) {
        x = static_cast<std::uint8_t>(x ^ frame[i]);
    }
    return x;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace tessarin::sim::testing
