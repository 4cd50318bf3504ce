// classComm on the tty device of the port: termios for the line, ioctls for the modem lines and queue
// counts. The descriptor is non-blocking, so nothing here ever waits on the line or on a vanished device.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "link/class_comm.h"
#include "link/serial_port_list.h"
#include "link/termios_settings.h"

namespace tessarin {

namespace {

// The descriptor of an open port, or -1 so that calls on a port that is not open fail with EBADF
// instead of reaching a descriptor that no longer is ours.
int descriptor(bool open, std::intptr_t handle) { return open ? static_cast<int>(handle) : -1; }

OpenFailure openFailureOf(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailure::NotFound;
        case EACCES:
        case EPERM:
            return OpenFailure::PermissionDenied;
        case EBUSY:  // held exclusively by another program
            return OpenFailure::Busy;
        default:
            return OpenFailure::Other;
    }
}

}  // namespace

bool classComm::sysOpen(std::int32_t portNumber) {
    const std::string portName = "COM" + std::to_string(portNumber);
    const std::string device = SerialPortList(m_sysfsTtyRoot)
                                   .DevicePathFor(portName)
                                   .value_or("/dev/ttyS" + std::to_string(static_cast<std::int64_t>(portNumber) - 1));

    m_devicePath = device;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_openFailure = openFailureOf(errno);
        m_handle = kInvalidCommHandle;
        return false;
    }
    // Only a terminal is a port: an entry naming some other file must not be written to. TIOCEXCL keeps
    // other programs out but not root; the lock also refuses a second open by anyone who asks for it.
    const bool terminal = ::isatty(fd) != 0;
    if (!terminal || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_openFailure = terminal ? OpenFailure::Busy : OpenFailure::Other;
        ::close(fd);
        m_handle = kInvalidCommHandle;
        return false;
    }
    m_openFailure = OpenFailure::None;
    m_exclusiveSet = ::ioctl(fd, TIOCEXCL) == 0;
    m_handle = fd;
    m_open = true;
    return true;
}

int classComm::ReadableDescriptor() const { return descriptor(m_open, m_handle); }

bool classComm::sysClose() {
    const int fd = descriptor(m_open, m_handle);
    if (fd < 0) {
        return false;
    }
    // A pseudo-terminal keeps the exclusive mark while its master lives: clear it, or the port could not
    // be opened again by anyone but root.
    if (m_exclusiveSet) {
        ::ioctl(fd, TIOCNXCL);
        m_exclusiveSet = false;
    }
    m_open = false;
    // The descriptor is gone after close() even when it reports an error (Linux): never close it twice.
    return ::close(fd) == 0;
}

// Results are not looked at: an open port is usable either way. A record the line cannot have leaves the
// attributes as they were, as a refused device-control block would.
void classComm::sysApplyDcb() const {
    const int fd = descriptor(m_open, m_handle);
    if (const auto attributes = TermiosFromDcb(m_dcb, m_timeouts)) {
        ::tcsetattr(fd, TCSANOW, &*attributes);
    }
    // DTR and RTS as the flag word says; the kernel has no DTR handshake, so that mode leaves DTR on, and
    // under RTS handshake the kernel drives RTS itself from the start we give it here. On a
    // pseudo-terminal these fail (no modem lines), which is fine.
    int raise = 0;
    int lower = 0;
    (DtrControl(m_dcb.Flags) == kLineControlOff ? lower : raise) |= TIOCM_DTR;
    (RtsControl(m_dcb.Flags) == kLineControlOff ? lower : raise) |= TIOCM_RTS;
    if (raise != 0) {
        ::ioctl(fd, TIOCMBIS, &raise);
    }
    if (lower != 0) {
        ::ioctl(fd, TIOCMBIC, &lower);
    }
}

// The tty driver's queues have a fixed size.
void classComm::sysSetupQueues() const {}

// Reads take what is waiting and return at once (VMIN 0, VTIME 0, non-blocking descriptor), so the
// time-out record has nothing to configure.
void classComm::sysApplyTimeouts() const {}

bool classComm::sysStatus() {
    const int fd = descriptor(m_open, m_handle);
    int in = 0;
    int out = 0;
    if (::ioctl(fd, FIONREAD, &in) != 0 || ::ioctl(fd, TIOCOUTQ, &out) != 0 || in < 0 || out < 0) {
        // Counts left from an earlier query would make a reader invent bytes.
        m_status = {};
        return false;
    }
    m_status.Errors = 0;
    m_status.InQueue = static_cast<std::uint32_t>(in);
    m_status.OutQueue = static_cast<std::uint32_t>(out);
    return true;
}

bool classComm::sysRead(std::uint8_t* data, std::size_t size, std::size_t& delivered) const {
    delivered = 0;
    const int fd = descriptor(m_open, m_handle);
    ssize_t n = 0;
    do {
        n = ::read(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    delivered = static_cast<std::size_t>(n);
    return true;
}

bool classComm::sysWrite(const std::uint8_t* data, std::size_t size, std::size_t& written) const {
    written = 0;
    const int fd = descriptor(m_open, m_handle);
    ssize_t n = 0;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    written = static_cast<std::size_t>(n);
    return true;
}

bool classComm::sysPurge(bool output) const {
    return ::tcflush(descriptor(m_open, m_handle), output ? TCOFLUSH : TCIFLUSH) == 0;
}

bool classComm::sysSetLine(ModemLine line, bool on) const {
    int bits = line == ModemLine::Rts ? TIOCM_RTS : TIOCM_DTR;
    return ::ioctl(descriptor(m_open, m_handle), on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool classComm::sysBreak(bool on) const { return ::ioctl(descriptor(m_open, m_handle), on ? TIOCSBRK : TIOCCBRK) == 0; }

bool classComm::sysModemStatus(std::uint32_t& status) const {
    int bits = 0;
    if (::ioctl(descriptor(m_open, m_handle), TIOCMGET, &bits) != 0) {
        return false;
    }
    status = ModemStatusFromLineBits(bits);
    return true;
}

// The system's code page is UTF-8 here: text goes out as it is.
std::string classComm::ansiFromText(std::string_view text) { return std::string(text); }

// A byte is taken as the Latin-1 character of that code, so that the text stays valid UTF-8.
void classComm::appendAnsiChar(std::string& text, std::uint8_t byte) {
    if (byte < 0x80) {
        text.push_back(static_cast<char>(byte));
    } else {
        text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

}  // namespace tessarin

#endif
