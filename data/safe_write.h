// The one way the program puts a file on disk: written beside its target under a temporary name and renamed
// into place only when complete, so that a failed write leaves an existing file as it was and never leaves
// a partial file under the target's name.
#pragma once

#include <filesystem>
#include <string_view>

namespace tessarin {

enum class SafeWriteStatus {
    Ok,
    CannotCreate,      // no file could be created in the target's folder (missing, not a folder, name refused)
    WriteFailed,       // writing or putting the file in place failed for another reason
    PermissionDenied,  // the folder or the file does not let this user write
    DiskFull,          // no room left on the disk or in the user's quota
    NotRegularFile,    // the target is a folder, a device, a named pipe or a socket
    UnsafeLink,        // the target is another user's symbolic link in a folder others can write
    ReadOnly,          // the target is read-only and replacing it was not allowed
};

// Whether a read-only target may be replaced: only once the user has said so.
enum class ReadOnlyTarget { Refuse, Replace };

// Writes `bytes` to `target`. A target that is a symbolic link is written through: the file the link points
// to is replaced and the link stays. A link that another user owns, in a folder that others can write, is
// never followed (it is how someone else would have a save replace a file of the user's): UnsafeLink, and
// nothing is written. An existing file keeps its permission bits; the new content has them from its first
// byte on. The temporary file has an unpredictable short name, so that a name near the length limit saves too.
SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, std::string_view bytes,
                                ReadOnlyTarget readOnly = ReadOnlyTarget::Refuse);

// The cause of a failure as the user reads it (UTF-8), one sentence; empty for Ok.
std::string_view SafeWriteCauseText(SafeWriteStatus status);

}  // namespace tessarin
