#include "data/safe_write.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "data/file_access.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessarin {
namespace {

namespace fs = std::filesystem;

constexpr int kTempNameAttempts = 100;
constexpr std::size_t kNameDigitsSize = 17;  // 16 hexadecimal digits and the terminator

// A short name that nobody can guess ahead of the save, so that nobody can put anything there first, and
// short enough to fit beside a target whose name is near the length limit.
std::string temporaryName() {
    std::random_device random;
    const std::uint64_t number = (std::uint64_t{random()} << 32U) ^ random();
    std::array<char, kNameDigitsSize> digits{};
    std::snprintf(digits.data(), digits.size(), "%016llx", static_cast<unsigned long long>(number));
    return std::string(".tessarin-") + digits.data() + ".tmp";
}

#ifdef _WIN32

SafeWriteStatus writeInPlace(const WriteTarget& where, std::string_view bytes) {
    fs::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kTempNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = FolderOf(where.File) / temporaryName();
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            const SafeWriteStatus status = StatusOfSystemError(static_cast<int>(GetLastError()));
            return status == SafeWriteStatus::WriteFailed ? SafeWriteStatus::CannotCreate : status;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return SafeWriteStatus::CannotCreate;
    }
    SafeWriteStatus status = SafeWriteStatus::Ok;
    std::size_t done = 0;
    while (status == SafeWriteStatus::Ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, MAXDWORD));
        DWORD written = 0;
        if (WriteFile(file, bytes.data() + done, chunk, &written, nullptr) == 0) {
            status = StatusOfSystemError(static_cast<int>(GetLastError()));
        }
        done += written;
    }
    if (status == SafeWriteStatus::Ok && FlushFileBuffers(file) == 0) {
        status = StatusOfSystemError(static_cast<int>(GetLastError()));
    }
    CloseHandle(file);
    // A read-only file refuses to be replaced; it is made writable for the move and read-only again after.
    const DWORD attributes = where.ReadOnly ? GetFileAttributesW(where.File.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(where.File.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (status == SafeWriteStatus::Ok &&
        MoveFileExW(temporary.c_str(), where.File.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        // A file held open by another program refuses the move with "access denied": not a question of rights.
        status = GetLastError() == ERROR_DISK_FULL ? SafeWriteStatus::DiskFull : SafeWriteStatus::WriteFailed;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(where.File.c_str(), attributes);
    }
    if (status != SafeWriteStatus::Ok) {
        DeleteFileW(temporary.c_str());
    }
    return status;
}

#else

class Descriptor {
  public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    [[nodiscard]] int Get() const { return m_descriptor; }

  private:
    int m_descriptor;
};

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Whether `name` is still the file behind `descriptor`: in a folder others can write, the temporary file
// could have been swapped for something else under the same name.
bool nameIsFile(const fs::path& name, int descriptor) {
    struct stat byName {};
    struct stat byDescriptor {};
    return ::lstat(name.c_str(), &byName) == 0 && ::fstat(descriptor, &byDescriptor) == 0 &&
           sameFile(byName, byDescriptor);
}

// The rename is on disk only once the folder is.
void syncFolder(const fs::path& folder) {
    const Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) {
        static_cast<void>(::fsync(directory.Get()));
    }
}

SafeWriteStatus writeInPlace(const WriteTarget& where, std::string_view bytes) {
    const fs::path folder = FolderOf(where.File);
    fs::path temporary;
    int descriptor = -1;
    // Private until it has its final permission bits: the content may be that of a private file.
    const mode_t creationMode = where.Exists ? S_IRUSR | S_IWUSR : 0666;
    for (int attempt = 0; attempt < kTempNameAttempts && descriptor < 0; ++attempt) {
        temporary = folder / temporaryName();
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, creationMode);
        if (descriptor < 0 && errno != EEXIST) {
            const SafeWriteStatus status = StatusOfSystemError(errno);
            return status == SafeWriteStatus::WriteFailed ? SafeWriteStatus::CannotCreate : status;
        }
    }
    if (descriptor < 0) {
        return SafeWriteStatus::CannotCreate;
    }
    const Descriptor file(descriptor);
    const bool written = (!where.Exists || ::fchmod(descriptor, static_cast<mode_t>(where.Permissions)) == 0) &&
                         writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    const bool swapped = written && !nameIsFile(temporary, descriptor);
    if (written && !swapped && ::rename(temporary.c_str(), where.File.c_str()) == 0) {
        syncFolder(folder);
        // Reported, not hidden: what now has the target's name is not what was written.
        return nameIsFile(where.File, descriptor) ? SafeWriteStatus::Ok : SafeWriteStatus::WriteFailed;
    }
    const SafeWriteStatus status = swapped ? SafeWriteStatus::WriteFailed : StatusOfSystemError(errno);
    ::unlink(temporary.c_str());
    return status;
}

#endif

}  // namespace

SafeWriteStatus WriteFileSafely(const fs::path& target, std::string_view bytes, ReadOnlyTarget readOnly) {
    const WriteTarget where = ResolveWriteTarget(target);
    if (where.Status != SafeWriteStatus::Ok) {
        return where.Status;
    }
    if (where.ReadOnly && readOnly == ReadOnlyTarget::Refuse) {
        return SafeWriteStatus::ReadOnly;
    }
    return writeInPlace(where, bytes);
}

std::string_view SafeWriteCauseText(SafeWriteStatus status) {
    switch (status) {
        case SafeWriteStatus::Ok:
            break;
        case SafeWriteStatus::CannotCreate:
            return "保存先のフォルダーにファイルを作成できません。";
        case SafeWriteStatus::WriteFailed:
            return "ファイルの書き込み中にエラーが起きました。";
        case SafeWriteStatus::PermissionDenied:
            return "保存先に書き込む権限がありません。";
        case SafeWriteStatus::DiskFull:
            return "ディスクの空き容量が足りません。";
        case SafeWriteStatus::NotRegularFile:
            return "通常のファイルではありません（フォルダー、デバイス、名前付きパイプなど）。";
        case SafeWriteStatus::UnsafeLink:
            return "他のユーザーが作成したシンボリックリンクです。安全のため書き込みません。";
        case SafeWriteStatus::ReadOnly:
            return "ファイルは読み取り専用です。";
    }
    return {};
}

}  // namespace tessarin
