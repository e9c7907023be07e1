#include "platform/win/no_follow_win.h"

#include "platform/dir_enum.h"

namespace qor::fs {
namespace {

ResultCode CheckPathNotLink(const std::wstring& path) noexcept {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ResultFromWin32(GetLastError());
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? rc::LinkRefused : rc::Ok;
}

ResultCode OpenNoFollow(const std::wstring& path, DWORD access, DWORD share,
                        BY_HANDLE_FILE_INFORMATION& info, FileHandle& out) noexcept {
    if (const ResultCode code = CheckPathNotLink(path); Failed(code)) return code;
    FileHandle handle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!handle) return ResultFromWin32(GetLastError());
    if (!GetFileInformationByHandle(handle.Get(), &info)) return ResultFromWin32(GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return rc::LinkRefused;
    out = std::move(handle);
    return rc::Ok;
}

}  // namespace

ResultCode OpenDirectoryNoFollow(const std::wstring& path, FileHandle& out) noexcept {
    BY_HANDLE_FILE_INFORMATION info;
    FileHandle handle;
    const ResultCode code = OpenNoFollow(path, FILE_LIST_DIRECTORY | READ_CONTROL | SYNCHRONIZE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, info, handle);
    if (Failed(code)) return code;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ResultFromWin32(ERROR_DIRECTORY);
    out = std::move(handle);
    return rc::Ok;
}

ResultCode OpenFileNoFollow(const std::wstring& path, FileHandle& out) noexcept {
    BY_HANDLE_FILE_INFORMATION info;
    FileHandle handle;
    const ResultCode code = OpenNoFollow(path, GENERIC_READ, FILE_SHARE_READ, info, handle);
    if (Failed(code)) return code;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || info.nNumberOfLinks > 1) {
        return rc::LinkRefused;
    }
    out = std::move(handle);
    return rc::Ok;
}

}  // namespace qor::fs
