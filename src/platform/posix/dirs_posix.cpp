// Directory and whole-file operations of the file system layer on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "platform/fs.h"
#include "platform/posix/native_path_posix.h"

namespace qor::fs {
namespace {

ResultCode LastError() noexcept { return ResultFromErrno(errno); }

ResultCode Check(int result) noexcept { return result == 0 ? rc::Ok : LastError(); }

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

ResultCode RemoveNative(const std::string& path) noexcept;

// Listed without going through a link: one swapped in after the lstat is refused.
ResultCode RemoveContents(const std::string& directory) noexcept {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? rc::LinkRefused : LastError();
    const std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        const ResultCode error = LastError();
        close(fd);
        return error;
    }
    ResultCode result = rc::Ok;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const ResultCode removed = RemoveNative(directory + "/" + name);
        if (Failed(removed) && result == rc::Ok) result = removed;
    }
    return result;
}

// A symbolic link is removed itself, never followed.
ResultCode RemoveNative(const std::string& path) noexcept {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return LastError();
    if (!S_ISDIR(info.st_mode)) return Check(unlink(path.c_str()));
    if (const ResultCode emptied = RemoveContents(path); Failed(emptied)) return emptied;
    return Check(rmdir(path.c_str()));
}

}  // namespace

bool IsDirectory(const std::wstring& path) noexcept {
    struct stat info {};
    return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

ResultCode MakeDirectory(const std::wstring& path) noexcept {
    return Check(mkdir(NativePath(path).c_str(), 0777));
}

ResultCode RemoveTree(const std::wstring& path) noexcept {
    const std::string native = NativePath(path);
    struct stat info {};
    if (lstat(native.c_str(), &info) != 0) return LastError();
    if (!S_ISDIR(info.st_mode)) return ResultFromErrno(ENOTDIR);
    return RemoveNative(native);
}

ResultCode RemoveTree(const std::wstring& path, File& held) noexcept {
    const std::string native = NativePath(path);
    if (const ResultCode emptied = RemoveContents(native); Failed(emptied)) return emptied;
    held.Close();
    return Check(rmdir(native.c_str()));
}

// Only the owner may change it; others may read and enter it.
ResultCode MakePrivateDirectory(const std::wstring& path, File& held) noexcept {
    const std::string native = NativePath(path);
    if (mkdir(native.c_str(), 0755) != 0) return LastError();
    const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? rc::LinkRefused : LastError();
    held = File(fd);
    return rc::Ok;
}

namespace {

// `targetFlags` add to O_WRONLY | O_CREAT: O_TRUNC to replace, O_EXCL to refuse an existing file.
ResultCode CopyContents(const std::wstring& from, const std::wstring& to, int targetFlags) noexcept {
    const FdCloser source{open(NativePath(from).c_str(), O_RDONLY)};
    if (source.fd < 0) return LastError();
    const FdCloser target{open(NativePath(to).c_str(), O_WRONLY | O_CREAT | targetFlags, 0666)};
    if (target.fd < 0) return errno == EEXIST ? ResultFromWin32(80) : LastError();
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(source.fd, buffer, sizeof buffer);
        if (got < 0) return LastError();
        if (got == 0) return rc::Ok;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(target.fd, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0) return LastError();
            done += put;
        }
    }
}

}  // namespace

ResultCode CopyFileOver(const std::wstring& from, const std::wstring& to) noexcept {
    return CopyContents(from, to, O_TRUNC);
}

ResultCode CopyFileNew(const std::wstring& from, const std::wstring& to) noexcept {
    return CopyContents(from, to, O_EXCL);
}

ResultCode MoveFileOver(const std::wstring& from, const std::wstring& to) noexcept {
    return Check(std::rename(NativePath(from).c_str(), NativePath(to).c_str()));
}

ResultCode RemoveFile(const std::wstring& path) noexcept {
    return Check(unlink(NativePath(path).c_str()));
}

// The target's owner and mode go to the replacement first, as a replaced file keeps them.
static ResultCode MoveInPlace(const std::wstring& target, const std::wstring& replacement) noexcept {
    const std::string to = NativePath(target);
    const std::string from = NativePath(replacement);
    struct stat info {};
    if (stat(to.c_str(), &info) == 0) {
        if (chmod(from.c_str(), info.st_mode & 07777) != 0) return LastError();
        if (chown(from.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM) {
            return LastError();
        }
    } else if (errno != ENOENT) {
        return LastError();
    }
    return Check(std::rename(from.c_str(), to.c_str()));
}

// A failed rename leaves the target as it was.
ResultCode ReplaceFileWith(const std::wstring& target, const std::wstring& replacement) noexcept {
    const ResultCode result = MoveInPlace(target, replacement);
    if (Failed(result)) (void)RemoveFile(replacement);
    return result;
}

ResultCode CurrentDirectory(std::wstring& out) noexcept {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) return LastError();
    out = FromNative(buffer);
    return rc::Ok;
}

ResultCode FullPath(const std::wstring& path, std::wstring& out) noexcept {
    if (path.empty()) return ResultFromErrno(EINVAL);
    if (path[0] == L'/' || path[0] == L'\\') {
        out = path;
        return rc::Ok;
    }
    std::wstring current;
    if (const ResultCode code = CurrentDirectory(current); Failed(code)) return code;
    out = current + L"/" + path;
    return rc::Ok;
}

}  // namespace qor::fs
