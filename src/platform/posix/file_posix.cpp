// fs::File and the file opens over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/fs.h"
#include "platform/posix/native_path_posix.h"

namespace qor::fs {
namespace {

constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

std::int64_t FileTime(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 10000000 + time.tv_nsec / 100 +
           kUnixEpochAsFileTime;
}

std::uint32_t Attributes(const struct stat& st) {
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= attr::Directory;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= attr::ReadOnly;
    return attributes == 0 ? attr::Normal : attributes;
}

// Never a directory; nothing but regular files for reading, so a pipe cannot block the caller.
ResultCode Open(const std::wstring& path, int flags, File& out) noexcept {
    const int fd = open(NativePath(path).c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return ResultFromErrno(errno);
    File file(fd);
    struct stat st;
    if (fstat(fd, &st) != 0) return ResultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return ResultFromErrno(EISDIR);
    if (!S_ISREG(st.st_mode) && (flags & O_ACCMODE) != O_WRONLY) return ResultFromErrno(EACCES);
    if (fcntl(fd, F_SETFL, 0) != 0) return ResultFromErrno(errno);
    out = std::move(file);
    return rc::Ok;
}

}  // namespace

ResultCode File::Read(void* buffer, std::uint32_t size, std::uint32_t& read) noexcept {
    ssize_t done;
    do {
        done = ::read(static_cast<int>(handle_), buffer, size);
    } while (done < 0 && errno == EINTR);
    if (done < 0) return ResultFromErrno(errno);
    read = static_cast<std::uint32_t>(done);
    return rc::Ok;
}

ResultCode File::Write(const void* data, std::uint32_t size, std::uint32_t& written) noexcept {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t total = 0;
    ResultCode result = rc::Ok;
    while (total < size) {
        const ssize_t done = ::write(static_cast<int>(handle_), bytes + total, size - total);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            result = ResultFromErrno(done < 0 ? errno : EIO);
            break;
        }
        total += static_cast<std::uint32_t>(done);
    }
    written = total;
    return result;
}

ResultCode File::SeekFromStart(std::uint64_t offset) noexcept {
    if (lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return ResultFromErrno(errno);
    }
    return rc::Ok;
}

ResultCode File::Info(FileInfo& out) noexcept {
    struct stat st;
    if (fstat(static_cast<int>(handle_), &st) != 0) return ResultFromErrno(errno);
    out.attributes = Attributes(st);
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.creationTime = FileTime(st.st_ctim);  // closest to a creation time that stat gives
    out.lastAccessTime = FileTime(st.st_atim);
    out.lastWriteTime = FileTime(st.st_mtim);
    return rc::Ok;
}

ResultCode File::Flush() noexcept {
    if (fsync(static_cast<int>(handle_)) != 0) return ResultFromErrno(errno);
    return rc::Ok;
}

ResultCode File::SetTimes(const FileInfo& times) noexcept {
    const auto toSpec = [](std::int64_t time) {
        const std::int64_t since1970 = time - kUnixEpochAsFileTime;
        return timespec{static_cast<time_t>(since1970 / 10000000),
                        static_cast<long>(since1970 % 10000000 * 100)};
    };
    const timespec stamps[2] = {toSpec(times.lastAccessTime), toSpec(times.lastWriteTime)};
    return futimens(static_cast<int>(handle_), stamps) == 0 ? rc::Ok : ResultFromErrno(errno);
}

void File::Close() noexcept {
    if (handle_ == kNone) return;
    const int savedErrno = errno;
    ::close(static_cast<int>(std::exchange(handle_, kNone)));
    errno = savedErrno;
}

ResultCode CreateExclusive(const std::wstring& path, File& out) noexcept {
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC, out);
}

ResultCode OpenForReading(const std::wstring& path, File& out) noexcept {
    return Open(path, O_RDONLY, out);
}

ResultCode OpenNativeForReading(const std::wstring& path, File& out) noexcept {
    return OpenForReading(path, out);
}

// A symbolic link fails the open itself; a directory or a file with more than one name is
// refused after it.
ResultCode OpenUnlinkedForReading(const std::wstring& path, File& out) noexcept {
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? rc::LinkRefused : ResultFromErrno(errno);
    File file(fd);
    struct stat st;
    if (fstat(fd, &st) != 0) return ResultFromErrno(errno);
    if (S_ISDIR(st.st_mode) || st.st_nlink > 1) return rc::LinkRefused;
    if (!S_ISREG(st.st_mode)) return ResultFromErrno(EACCES);
    if (fcntl(fd, F_SETFL, 0) != 0) return ResultFromErrno(errno);
    out = std::move(file);
    return rc::Ok;
}

ResultCode OpenOrCreate(const std::wstring& path, File& out) noexcept {
    return Open(path, O_RDWR | O_CREAT, out);
}

ResultCode CreateNew(const std::wstring& path, File& out) noexcept {
    return Open(path, O_WRONLY | O_CREAT | O_EXCL, out);
}

// A symbolic link is reported as a reparse point, as Windows reports its links.
ResultCode QueryAttributes(const std::wstring& path, std::uint32_t& attributes) noexcept {
    const std::string native = NativePath(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0) return ResultFromErrno(errno);
    if (!S_ISLNK(st.st_mode)) {
        attributes = Attributes(st);
        return rc::Ok;
    }
    struct stat target;
    const bool toDirectory = stat(native.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    attributes = attr::ReparsePoint | (toDirectory ? attr::Directory : 0);
    return rc::Ok;
}

}  // namespace qor::fs
