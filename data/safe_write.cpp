#include "data/safe_write.h"

#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessarin {
namespace {

constexpr int kTempNameAttempts = 100;

bool moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
#endif
}

// The file a write to `target` must replace: through any symbolic links, so that renaming over it keeps the
// link and changes what it points to. A path that cannot be resolved is taken as it is.
std::filesystem::path writtenFile(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) {
        return target;
    }
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    return error ? target : resolved;
}

}  // namespace

SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, std::string_view bytes) {
    const std::filesystem::path file = writtenFile(target);

    // A fresh name beside the file, so the rename stays within one file system.
    std::filesystem::path temporary;
    std::ofstream out;
    for (int attempt = 0; attempt < kTempNameAttempts && !out.is_open(); ++attempt) {
        std::filesystem::path candidate = file;
        candidate += ".part" + std::to_string(attempt);
        std::error_code error;
        if (std::filesystem::exists(candidate, error) || error) {
            continue;
        }
        out.open(candidate, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            return SafeWriteStatus::CannotCreate;
        }
        temporary = candidate;
    }
    if (!out.is_open()) {
        return SafeWriteStatus::CannotCreate;
    }

    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    const bool written = out.good();
    out.close();
    // The replaced file's permission bits carry over: a file the user made private stays private.
    std::error_code error;
    std::error_code absent;
    const std::filesystem::file_status existing = std::filesystem::status(file, absent);
    if (!absent && std::filesystem::is_regular_file(existing)) {
        std::filesystem::permissions(temporary, existing.permissions(), error);
    }
    if (!written || out.fail() || error || !moveIntoPlace(temporary, file)) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return SafeWriteStatus::WriteFailed;
    }
    return SafeWriteStatus::Ok;
}

}  // namespace tessarin
