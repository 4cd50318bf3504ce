#include "sim/serial_list_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessarin::sim {

namespace {

constexpr int kFirstComNumber = 20;
constexpr int kMaxIndex = 1000;

std::string describe(const std::string& what) { return what + ": " + std::strerror(errno); }

// A folder of our own: created 0700 when missing, made 0700 when its group or others may write to it (the
// program reads no list from such a folder); refused when it is a link or someone else's, since another
// user could otherwise read or plant entries.
bool ensurePrivateFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = describe(path);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = describe(path);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        error = path + ": not a folder of this user";
        return false;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        error = describe(path);
        return false;
    }
    return true;
}

bool writeWhole(const std::string& path, const std::string& contents, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = describe(path);
        return false;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = describe(path);
            ::close(fd);
            ::unlink(path.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        error = describe(path);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

std::string readSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return {};
    }
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || text.size() > 4096) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

std::string tempName(const std::string& folder, int index) {
    static std::atomic<unsigned> counter{0};
    // Starts with a dot and does not match VCP<i>, so a reader listing the folder passes over it.
    return folder + "/.VCP" + std::to_string(index) + ".tmp." + std::to_string(::getpid()) + "." +
           std::to_string(counter++);
}

}  // namespace

std::string SerialListFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/tessarin/serialcomm";
    }
    return "/tmp/tessarin-" + std::to_string(::getuid()) + "/serialcomm";
}

SerialListEntry::~SerialListEntry() { Remove(); }

bool SerialListEntry::Register(int index, int comNumber, const std::string& devicePath, std::string& error) {
    Remove();
    const std::string folder = SerialListFolder();
    const std::string parent = folder.substr(0, folder.rfind('/'));
    if (!ensurePrivateFolder(parent, error) || !ensurePrivateFolder(folder, error)) {
        return false;
    }
    const int first = index >= 0 ? index : 0;
    const int last = index >= 0 ? index : kMaxIndex - 1;
    for (int i = first; i <= last; ++i) {
        const std::string portName = "COM" + std::to_string(comNumber >= 0 ? comNumber : kFirstComNumber + i);
        std::string contents = portName;
        contents.append("\n").append(devicePath).append("\n");
        const std::string temp = tempName(folder, i);
        const std::string path = folder + "/VCP" + std::to_string(i);
        if (!writeWhole(temp, contents, error)) {
            return false;
        }
        bool listed = false;
        if (index >= 0) {
            // The index asked for is taken over, even from an entry left behind by a unit that was killed.
            listed = ::rename(temp.c_str(), path.c_str()) == 0;
            if (!listed) {
                error = describe(path);
            }
        } else {
            // link() claims the name only when it is free, so two units starting together never share one.
            listed = ::link(temp.c_str(), path.c_str()) == 0;
            const int linkError = errno;
            ::unlink(temp.c_str());
            if (!listed && linkError != EEXIST) {
                errno = linkError;
                error = describe(path);
                return false;
            }
        }
        if (listed) {
            m_index = i;
            m_filePath = path;
            m_portName = portName;
            m_contents = contents;
            return true;
        }
        if (index >= 0) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    error = folder + ": no free index";
    return false;
}

void SerialListEntry::Remove() {
    if (m_index < 0) {
        return;
    }
    // Another unit may have been told to take this index over since; its entry stays.
    if (readSmallFile(m_filePath) == m_contents) {
        ::unlink(m_filePath.c_str());
    }
    m_index = -1;
    m_filePath.clear();
    m_contents.clear();
}

}  // namespace tessarin::sim
