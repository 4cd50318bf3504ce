#include "data/recording_writer.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/csv_export.h"

namespace tessarin {

namespace {

// Opened by its own name type: wide on Windows, where a path's characters need not fit the ANSI code page.
std::FILE* openForWriting(const std::filesystem::path& target) {
#ifdef _WIN32
    return _wfopen(target.c_str(), L"wb");
#else
    return std::fopen(target.c_str(), "wb");
#endif
}

}  // namespace

void RecordingWriter::Closer::operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }

RecordingStatus RecordingWriter::Start(const std::filesystem::path& target, std::string_view headerUtf8) {
    Stop();
    m_file.reset(openForWriting(target));
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
