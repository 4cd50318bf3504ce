// The one way the program puts a file on disk: written beside its target under a temporary name and renamed
// into place only when complete, so that a failed write leaves an existing file as it was and never leaves
// a partial file under the target's name.
#pragma once

#include <filesystem>
#include <string_view>

namespace tessarin {

enum class SafeWriteStatus {
    Ok,
    CannotCreate,  // no file could be created in the target's folder
    WriteFailed,   // writing or putting the file in place failed
};

// Writes `bytes` to `target`. A target that is a symbolic link is written through: the file the link points
// to is replaced and the link stays. An existing file keeps its permission bits.
SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tessarin
