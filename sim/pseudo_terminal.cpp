#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tessarin::sim {

namespace {

std::string describe(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

struct OnePty {
    int master = -1;
    int slave = -1;
    std::string path;

    void close() {
        if (slave >= 0) {
            ::close(slave);
        }
        if (master >= 0) {
            ::close(master);
        }
        master = slave = -1;
    }
};

bool openOne(OnePty& pty, std::string& error) {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0) {
        error = describe("posix_openpt");
        return false;
    }
    std::array<char, 128> name{};
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0 || ptsname_r(pty.master, name.data(), name.size()) != 0) {
        error = describe("preparing the pseudo-terminal");
        pty.close();
        return false;
    }
    pty.path = name.data();
    pty.slave = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0) {
        error = describe(pty.path.c_str());
        pty.close();
        return false;
    }
    const int flags = fcntl(pty.master, F_GETFL);
    if (flags < 0 || fcntl(pty.master, F_SETFL, flags | O_NONBLOCK) != 0 || !makeRaw(pty.slave) ||
        !makeRaw(pty.master)) {
        error = describe("setting the pseudo-terminal raw");
        pty.close();
        return false;
    }
    return true;
}

}  // namespace

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open(const std::string& avoidPath, std::string& error) {
    Close();
    // The kernel hands out the lowest free number, usually the one just given back; holding on to that
    // one while asking again yields another.
    std::vector<OnePty> rejected;
    OnePty pty;
    bool ok = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ok = openOne(pty, error);
        if (!ok || avoidPath.empty() || pty.path != avoidPath || attempt == 3) {
            break;
        }
        rejected.push_back(pty);
        pty = OnePty{};
    }
    for (auto& r : rejected) {
        r.close();
    }
    if (!ok) {
        return false;
    }
    m_master = pty.master;
    m_slave = pty.slave;
    m_slavePath = pty.path;
    return true;
}

void PseudoTerminal::Close() {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_slavePath.clear();
}

}  // namespace tessarin::sim
