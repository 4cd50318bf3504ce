#include "data/recording_writer.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/csv_export.h"
#include "data/file_access.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessarin {

namespace {

// Opened by its own name type: wide on Windows, where a path's characters need not fit the ANSI code page.
// Elsewhere through a descriptor: without following a link that appeared since the target was looked at,
// without waiting for a pipe's reader, and emptied only once it is known to be a regular file.
std::FILE* openForWriting(const std::filesystem::path& file, SafeWriteStatus& cause) {
#ifdef _WIN32
    std::FILE* opened = _wfopen(file.c_str(), L"wb");
    if (opened == nullptr) {
        cause = SafeWriteStatus::CannotCreate;
    }
    return opened;
#else
    const int descriptor =
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        cause = StatusOfSystemError(errno);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        cause = SafeWriteStatus::NotRegularFile;
    } else if (::ftruncate(descriptor, 0) != 0 || ::fcntl(descriptor, F_SETFL, 0) != 0) {
        cause = StatusOfSystemError(errno);
    } else if (std::FILE* opened = ::fdopen(descriptor, "wb"); opened != nullptr) {
        return opened;
    } else {
        cause = SafeWriteStatus::CannotCreate;
    }
    ::close(descriptor);
    return nullptr;
#endif
}

}  // namespace

void RecordingWriter::Closer::operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }

RecordingStatus RecordingWriter::Start(const std::filesystem::path& target, std::string_view headerUtf8) {
    Stop();
    const WriteTarget where = ResolveWriteTarget(target);
    m_cause = where.Status;
    if (m_cause == SafeWriteStatus::Ok) {
        m_file.reset(openForWriting(where.File, m_cause));
    }
    if (!m_file) {
        return RecordingStatus::CannotCreate;
    }
    m_target = target;
    return Write(headerUtf8);
}

RecordingStatus RecordingWriter::Write(std::string_view lineUtf8) {
    if (!m_file) {
        return RecordingStatus::NotOpen;
    }
    const std::optional<std::string> encoded = EncodeCp932(lineUtf8);
    if (!encoded) {
        Stop();
        return RecordingStatus::EncodingFailed;
    }
    const std::string bytes = *encoded + "\r\n";
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), m_file.get()) == bytes.size();
    // The flush is what puts the line beyond the program's reach; a full disk often shows only here.
    if (!written || std::fflush(m_file.get()) != 0) {
        Stop();
        return RecordingStatus::WriteFailed;
    }
    return RecordingStatus::Ok;
}

void RecordingWriter::Stop() { m_file.reset(); }

std::string RecordingLine(std::string_view timeText, const std::vector<std::string>& texts) {
    std::string line(timeText);
    for (const std::string& text : texts) {
        line += ',';
        line += text;
    }
    return line;
}

}  // namespace tessarin
