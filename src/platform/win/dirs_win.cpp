// Directory and whole-file operations of the file system layer. Names avoid the
// Win32 macros (CopyFile, MoveFile, DeleteFile, CreateDirectory).
#include <windows.h>

#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "platform/win/sized_string_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor::fs {
namespace {

ResultCode LastError() noexcept { return ResultFromWin32(GetLastError()); }

ResultCode Check(BOOL succeeded) noexcept { return succeeded ? rc::Ok : LastError(); }

// A link is removed itself; a plain directory after its contents.
ResultCode RemoveEntry(const std::wstring& path, DWORD attributes) noexcept;

// The directory is listed without going through a link: one swapped in after it was listed
// is refused, not entered.
ResultCode RemoveContents(const std::wstring& directory) noexcept {
    DirectoryEnumerator listing;
    ResultCode result = listing.Open(directory, L"*",
                                     kinds::Directories | kinds::Files | kinds::ReparsePoints |
                                         kinds::NotThroughLink);
    if (Failed(result)) return result;
    ResultCode removal = rc::Ok;
    DirectoryEntry entry;
    while (Succeeded(result = listing.Next(entry))) {
        const ResultCode removed = RemoveEntry(entry.fullPath, entry.attributes);
        if (Failed(removed) && removal == rc::Ok) removal = removed;
    }
    if (result != rc::EndOfEntries) return result;
    return removal;
}

ResultCode RemoveEntry(const std::wstring& path, DWORD attributes) noexcept {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!directory) return Check(DeleteFileW(path.c_str()));
    // A junction or directory link is removed itself, without looking inside.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (const ResultCode emptied = RemoveContents(path); Failed(emptied)) return emptied;
    }
    return Check(RemoveDirectoryW(path.c_str()));
}

}  // namespace

bool IsDirectory(const std::wstring& path) noexcept {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ResultCode MakeDirectory(const std::wstring& path) noexcept {
    return Check(CreateDirectoryW(path.c_str(), nullptr));
}

ResultCode RemoveTree(const std::wstring& path) noexcept {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ResultFromWin32(ERROR_DIRECTORY);
    return RemoveEntry(path, attributes);
}

ResultCode RemoveTree(const std::wstring& path, File& held) noexcept {
    if (const ResultCode emptied = RemoveContents(path); Failed(emptied)) return emptied;
    held.Close();
    return Check(RemoveDirectoryW(path.c_str()));
}

ResultCode CopyFileOver(const std::wstring& from, const std::wstring& to) noexcept {
    return Check(CopyFileW(from.c_str(), to.c_str(), FALSE));
}

ResultCode CopyFileNew(const std::wstring& from, const std::wstring& to) noexcept {
    return Check(CopyFileW(from.c_str(), to.c_str(), TRUE));
}

ResultCode MoveFileOver(const std::wstring& from, const std::wstring& to) noexcept {
    return Check(MoveFileExW(from.c_str(), to.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
}

ResultCode RemoveFile(const std::wstring& path) noexcept { return Check(DeleteFileW(path.c_str())); }

ResultCode ReplaceFileWith(const std::wstring& target, const std::wstring& replacement) noexcept {
    // Wine's ReplaceFileW would put the file in place of a directory.
    if (IsDirectory(target)) return ResultFromWin32(ERROR_ACCESS_DENIED);
    if (ReplaceFileW(target.c_str(), replacement.c_str(), nullptr, 0, nullptr, nullptr)) {
        return rc::Ok;
    }
    const DWORD error = GetLastError();
    // Nothing to replace yet: the new file only takes the name.
    if (error == ERROR_FILE_NOT_FOUND && GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Check(MoveFileExW(replacement.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH));
    }
    return ResultFromWin32(error);
}

ResultCode CurrentDirectory(std::wstring& out) noexcept {
    return QuerySizedString([](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); }, out);
}

ResultCode FullPath(const std::wstring& path, std::wstring& out) noexcept {
    return QuerySizedString(
        [&path](wchar_t* b, DWORD n) { return GetFullPathNameW(path.c_str(), n, b, nullptr); },
        out);
}

}  // namespace qor::fs
