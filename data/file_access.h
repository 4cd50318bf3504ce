// The rules for opening a file by the name the user chose: only regular files are read or written (a named
// pipe would block the window, a device is no document), and a symbolic link is followed only when the user
// could have made it himself or it is his own. The safe write and the recording open their targets through
// them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "data/safe_write.h"

namespace tessarin {

// Where a write to a chosen name goes.
struct WriteTarget {
    SafeWriteStatus Status = SafeWriteStatus::Ok;  // Ok, or why nothing may be written
    std::filesystem::path File;                    // the file to write: the target, or where its links lead
    bool Exists = false;                           // File is an existing regular file
    bool ReadOnly = false;                         // ... which is read-only for this user
    unsigned Permissions = 0;                      // ... with these permission bits (0777 mask)
};

// Follows `target` through its symbolic links, one by one. A link that another user owns, in a folder that
// is group- or world-writable or not the user's own, is not followed (UnsafeLink); an existing target that
// is not a regular file is refused (NotRegularFile). Never opens anything.
WriteTarget ResolveWriteTarget(const std::filesystem::path& target);

// The folder a file is in ("." for a bare name).
std::filesystem::path FolderOf(const std::filesystem::path& file);

// The status of a failed system call's error (errno; on Windows GetLastError()).
SafeWriteStatus StatusOfSystemError(int error);

enum class FileReadStatus {
    Ok,
    CannotOpen,      // missing, unreadable, or reading failed
    NotRegularFile,  // a folder, device, named pipe or socket: refused before anything is read
};

struct FileRead {
    FileReadStatus Status = FileReadStatus::Ok;
    std::string Bytes;  // at most the limit's count of bytes from the file's start
};

// Reads the first `limit` bytes (or all, when fewer) of the regular file at `path`, without ever waiting for
// a writer that a named pipe would need.
FileRead ReadRegularFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace tessarin
