// Writing a file so that a reader never sees half of it: every file the program writes goes through here.
#pragma once

#include <filesystem>
#include <string_view>

namespace tessarin {

enum class SafeWriteStatus {
    Ok,
    CannotCreate,  // no file could be created in the target's folder
    WriteFailed,   // writing or putting the file in place failed
};

// Writes `bytes` as the whole content of `target`. They go beside the target under a temporary name, which
// is renamed into place only when complete: a failed write leaves an existing file as it was and never
// leaves a partial file under the target name (nor the temporary one).
SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tessarin
