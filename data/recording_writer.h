// The recording of current-value answers: a CSV file in code page 932 with CR LF, written as it goes. Unlike
// the other files it cannot be written whole and renamed, so each line is written and flushed as it comes:
// a killed program or a pulled cable loses at most the line being written.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/safe_write.h"

namespace tessarin {

enum class RecordingStatus {
    Ok,
    CannotCreate,    // the file could not be created
    WriteFailed,     // a line could not be written or flushed (full disk, removed medium)
    EncodingFailed,  // a line holds a character code page 932 lacks
    NotOpen,         // nothing is being recorded
};

class RecordingWriter {
  public:
    RecordingWriter() = default;

    // Creates (or empties) `target` and writes the header line. Anything recorded before is closed first.
    // The target keeps to the safe write's rules: another user's link in a shared folder is not followed,
    // and only a regular file is recorded into (a named pipe would block the window); Cause() says why not.
    RecordingStatus Start(const std::filesystem::path& target, std::string_view headerUtf8);
    // Writes one line (UTF-8, without line end) and flushes it. Any failure closes the file: what was
    // written before stays, and the recording is over.
    RecordingStatus Write(std::string_view lineUtf8);
    // Closes the file.
    void Stop();

    [[nodiscard]] bool Recording() const { return m_file != nullptr; }
    [[nodiscard]] const std::filesystem::path& Target() const { return m_target; }
    // Why the last Start gave CannotCreate (Ok otherwise).
    [[nodiscard]] SafeWriteStatus Cause() const { return m_cause; }

  private:
    struct Closer {
        void operator()(std::FILE* file) const;
    };
    std::unique_ptr<std::FILE, Closer> m_file;
    std::filesystem::path m_target;
    SafeWriteStatus m_cause = SafeWriteStatus::Ok;
};

// The line of one answer: the time ("2026/12/09 06:55:05.123"), then the texts, comma-separated.
std::string RecordingLine(std::string_view timeText, const std::vector<std::string>& texts);

}  // namespace tessarin
