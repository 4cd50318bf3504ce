#include "data/safe_file_write.h"

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

}  // namespace

SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, std::string_view bytes) {
    // A fresh name beside the target, so the rename stays within one file system.
    std::filesystem::path temporary;
    std::ofstream out;
    for (int attempt = 0; attempt < kTempNameAttempts && !out.is_open(); ++attempt) {
        std::filesystem::path candidate = target;
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
    if (!written || out.fail() || !moveIntoPlace(temporary, target)) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return SafeWriteStatus::WriteFailed;
    }
    return SafeWriteStatus::Ok;
}

}  // namespace tessarin
