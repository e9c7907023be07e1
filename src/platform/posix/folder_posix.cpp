// Files made and removed by name inside a held folder: openat and unlinkat never follow a link
// at the name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "platform/posix/native_path_posix.h"

namespace qor::fs {
namespace {

int Fd(const File& file) { return static_cast<int>(file.Native()); }

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A failed no-follow open of a folder: a link there is rc::LinkRefused (Linux answers ELOOP or,
// with O_DIRECTORY, ENOTDIR).
ResultCode FolderOpenFailure(int at, const std::string& name) {
    const int error = errno;
    struct stat info {};
    if (fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        return rc::LinkRefused;
    }
    return ResultFromErrno(error);
}

}  // namespace

ResultCode OpenFolderNoFollow(const std::wstring& path, File& held) noexcept {
    const std::string native = WithoutTrailingSeparators(NativePath(path));
    const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return FolderOpenFailure(AT_FDCWD, native);
    held = File(fd);
    return rc::Ok;
}

// Here the administrators are root: owned by root and writable by nobody else.
bool IsAdministratorsFolder(File& folder) noexcept {
    struct stat info {};
    if (fstat(Fd(folder), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == 0 && (info.st_mode & 022) == 0;
}

ResultCode CreateNewIn(File& folder, const std::wstring& name, File& out) noexcept {
    const int fd = openat(Fd(folder), NativePath(name).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return ResultFromErrno(errno);
    out = File(fd);
    return rc::Ok;
}

ResultCode RemoveFileIn(File& folder, const std::wstring& name) noexcept {
    const std::string native = NativePath(name);
    struct stat info {};
    if (fstatat(Fd(folder), native.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return ResultFromErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) return rc::LinkRefused;
    return unlinkat(Fd(folder), native.c_str(), 0) == 0 ? rc::Ok : ResultFromErrno(errno);
}

ResultCode OpenFolder(const std::wstring& root, File& held) noexcept {
    const int fd = open(NativePath(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ResultFromErrno(errno);
    held = File(fd);
    return rc::Ok;
}

ResultCode OpenSubfolderIn(File& folder, const std::wstring& name, File& held) noexcept {
    const std::string native = NativePath(name);
    const int fd = openat(Fd(folder), native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return FolderOpenFailure(Fd(folder), native);
    held = File(fd);
    return rc::Ok;
}

ResultCode OpenFileIn(File& folder, const std::wstring& name, File& out) noexcept {
    File file(openat(Fd(folder), NativePath(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.IsOpen()) return errno == ELOOP ? rc::LinkRefused : ResultFromErrno(errno);
    struct stat info {};
    if (fstat(Fd(file), &info) != 0) return ResultFromErrno(errno);
    if (!S_ISREG(info.st_mode) || info.st_nlink > 1) return rc::LinkRefused;
    out = std::move(file);
    return rc::Ok;
}

}  // namespace qor::fs
