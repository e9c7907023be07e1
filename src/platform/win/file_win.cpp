// fs::File and the file opens over CreateFileW.
#include <windows.h>

#include <utility>

#include "platform/fs.h"
#include "platform/win/no_follow_win.h"

namespace qor::fs {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::int64_t FromFileTime(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

ResultCode Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags, File& out) noexcept {
    const HANDLE handle =
        CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ResultFromWin32(GetLastError());
    out = File(reinterpret_cast<std::intptr_t>(handle));
    return rc::Ok;
}

FILETIME ToFileTime(std::int64_t time) {
    const auto value = static_cast<std::uint64_t>(time);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

}  // namespace

ResultCode File::Read(void* buffer, std::uint32_t size, std::uint32_t& read) noexcept {
    DWORD done = 0;
    if (!ReadFile(AsHandle(handle_), buffer, size, &done, nullptr)) {
        return ResultFromWin32(GetLastError());
    }
    read = done;
    return rc::Ok;
}

ResultCode File::Write(const void* data, std::uint32_t size, std::uint32_t& written) noexcept {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t total = 0;
    ResultCode result = rc::Ok;
    while (total < size) {
        DWORD done = 0;
        if (!WriteFile(AsHandle(handle_), bytes + total, size - total, &done, nullptr)) {
            result = ResultFromWin32(GetLastError());
            break;
        }
        if (done == 0) {
            result = ResultFromWin32(ERROR_WRITE_FAULT);
            break;
        }
        total += done;
    }
    written = total;
    return result;
}

ResultCode File::SeekFromStart(std::uint64_t offset) noexcept {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN)) {
        return ResultFromWin32(GetLastError());
    }
    return rc::Ok;
}

ResultCode File::Info(FileInfo& out) noexcept {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(AsHandle(handle_), &info)) {
        return ResultFromWin32(GetLastError());
    }
    out.attributes = info.dwFileAttributes;
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    out.creationTime = FromFileTime(info.ftCreationTime);
    out.lastAccessTime = FromFileTime(info.ftLastAccessTime);
    out.lastWriteTime = FromFileTime(info.ftLastWriteTime);
    return rc::Ok;
}

ResultCode File::Flush() noexcept {
    if (!FlushFileBuffers(AsHandle(handle_))) return ResultFromWin32(GetLastError());
    return rc::Ok;
}

ResultCode File::SetTimes(const FileInfo& times) noexcept {
    const FILETIME creation = ToFileTime(times.creationTime);
    const FILETIME access = ToFileTime(times.lastAccessTime);
    const FILETIME write = ToFileTime(times.lastWriteTime);
    if (!SetFileTime(AsHandle(handle_), &creation, &access, &write)) {
        return ResultFromWin32(GetLastError());
    }
    return rc::Ok;
}

void File::Close() noexcept {
    if (handle_ == kNone) return;
    const DWORD lastError = GetLastError();
    CloseHandle(AsHandle(std::exchange(handle_, kNone)));
    SetLastError(lastError);
}

ResultCode CreateExclusive(const std::wstring& path, File& out) noexcept {
    return Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, out);
}

ResultCode OpenForReading(const std::wstring& path, File& out) noexcept {
    return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, out);
}

ResultCode OpenOrCreate(const std::wstring& path, File& out) noexcept {
    return Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, 0, out);
}

ResultCode CreateNew(const std::wstring& path, File& out) noexcept {
    return Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, out);
}

ResultCode OpenUnlinkedForReading(const std::wstring& path, File& out) noexcept {
    FileHandle handle;
    if (const ResultCode code = OpenFileNoFollow(path, handle); Failed(code)) return code;
    out = File(reinterpret_cast<std::intptr_t>(handle.Release()));
    return rc::Ok;
}

ResultCode QueryAttributes(const std::wstring& path, std::uint32_t& attributes) noexcept {
    const DWORD found = GetFileAttributesW(path.c_str());
    if (found == INVALID_FILE_ATTRIBUTES) return ResultFromWin32(GetLastError());
    attributes = found;
    return rc::Ok;
}

}  // namespace qor::fs
