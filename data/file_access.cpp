#include "data/file_access.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

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

// As the kernel's own limit on links in one path: a longer chain is a loop.
constexpr int kMaxLinkHops = 40;
constexpr unsigned kPermissionBits = 0777;

#ifndef _WIN32

// A link the user owns is his own doing. Anybody else's is followed only where nobody but the user can
// create links: another user's link in a shared folder is how that user would aim the user's save at a file
// of the user's choosing.
bool linkMayBeFollowed(const struct stat& link, const fs::path& folder) {
    if (link.st_uid == ::geteuid()) {
        return true;
    }
    struct stat where {};
    if (::stat(folder.c_str(), &where) != 0) {
        return false;
    }
    const bool shared = (where.st_mode & (S_IWGRP | S_IWOTH)) != 0 || where.st_uid != ::geteuid();
    return !shared;
}

// Read-only for this user: no write bit at all (root can write anything else), or none that applies to him.
bool readOnlyFile(const fs::path& file, const struct stat& status) {
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

#endif

}  // namespace

WriteTarget ResolveWriteTarget(const fs::path& target) {
    WriteTarget result;
    result.File = target;
#ifdef _WIN32
    std::error_code error;
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::weakly_canonical(target, error);
        if (!error) {
            result.File = resolved;
        }
    }
    const fs::file_status status = fs::status(result.File, error);
    if (status.type() == fs::file_type::not_found) {
        return result;
    }
    if (status.type() != fs::file_type::regular) {
        result.Status = error ? SafeWriteStatus::CannotCreate : SafeWriteStatus::NotRegularFile;
        return result;
    }
    const DWORD attributes = GetFileAttributesW(result.File.c_str());
    result.Exists = true;
    result.ReadOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    result.Permissions = static_cast<unsigned>(status.permissions()) & kPermissionBits;
    return result;
#else
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(result.File.c_str(), &status) != 0) {
            // A name not there yet is a new file; any other trouble shows when the folder is written.
            if (errno != ENOENT) {
                result.Status = StatusOfSystemError(errno);
            }
            return result;
        }
        if (!S_ISLNK(status.st_mode)) {
            if (!S_ISREG(status.st_mode)) {
                result.Status = SafeWriteStatus::NotRegularFile;
                return result;
            }
            result.Exists = true;
            result.ReadOnly = readOnlyFile(result.File, status);
            result.Permissions = status.st_mode & kPermissionBits;
            return result;
        }
        const fs::path folder = FolderOf(result.File);
        if (!linkMayBeFollowed(status, folder)) {
            result.Status = SafeWriteStatus::UnsafeLink;
            return result;
        }
        std::error_code error;
        const fs::path pointsTo = fs::read_symlink(result.File, error);
        if (error) {
            result.Status = StatusOfSystemError(error.value());
            return result;
        }
        result.File = (pointsTo.is_absolute() ? pointsTo : folder / pointsTo).lexically_normal();
    }
    result.Status = SafeWriteStatus::CannotCreate;
    return result;
#endif
}

fs::path FolderOf(const fs::path& file) { return file.parent_path().empty() ? fs::path(".") : file.parent_path(); }

SafeWriteStatus StatusOfSystemError(int error) {
#ifdef _WIN32
    switch (static_cast<DWORD>(error)) {
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return SafeWriteStatus::PermissionDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return SafeWriteStatus::DiskFull;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
            return SafeWriteStatus::CannotCreate;
        default:
            return SafeWriteStatus::WriteFailed;
    }
#else
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return SafeWriteStatus::PermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return SafeWriteStatus::DiskFull;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return SafeWriteStatus::CannotCreate;
        case EISDIR:
        case ENXIO:
        case ENODEV:
            return SafeWriteStatus::NotRegularFile;
        default:
            return SafeWriteStatus::WriteFailed;
    }
#endif
}

FileRead ReadRegularFile(const fs::path& path, std::size_t limit) {
    FileRead result;
#ifdef _WIN32
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() != fs::file_type::regular) {
        result.Status = status.type() == fs::file_type::not_found || error ? FileReadStatus::CannotOpen
                                                                           : FileReadStatus::NotRegularFile;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    result.Bytes.resize(limit);
    in.read(result.Bytes.data(), static_cast<std::streamsize>(limit));
    if (in.bad() || !in.is_open()) {
        result.Status = FileReadStatus::CannotOpen;
        result.Bytes.clear();
        return result;
    }
    result.Bytes.resize(static_cast<std::size_t>(in.gcount()));
    return result;
#else
    // Looked at before opening: even a non-blocking open of a device can act on it.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        result.Status = FileReadStatus::CannotOpen;
        return result;
    }
    const int descriptor =
        S_ISREG(status.st_mode) ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    // And once more through the descriptor, in case the name was changed in between.
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.Status =
            S_ISREG(status.st_mode) && descriptor < 0 ? FileReadStatus::CannotOpen : FileReadStatus::NotRegularFile;
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return result;
    }
    result.Bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t count = ::read(descriptor, result.Bytes.data() + got, limit - got);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            result.Status = FileReadStatus::CannotOpen;
            got = 0;
            break;
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    ::close(descriptor);
    result.Bytes.resize(got);
    return result;
#endif
}

}  // namespace tessarin
