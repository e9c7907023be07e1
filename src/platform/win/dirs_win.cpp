// Directory and whole-file operations of the file system layer. Names avoid the
// Win32 macros (CopyFile, MoveFile, DeleteFile, CreateDirectory).
#include <windows.h>

#include "common/path_join.h"
#include "common/random.h"
#include "common/text_format.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"
#include "platform/replace_steps.h"
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

// The system's replace call and what the decision around it needs.
class SystemReplaceCalls final : public ReplaceCalls {
public:
    ResultCode Replace(const std::wstring& target, const std::wstring& replacement,
                       const std::wstring& backup) noexcept override {
        return Check(ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), 0,
                                  nullptr, nullptr));
    }
    ResultCode Move(const std::wstring& from, const std::wstring& to) noexcept override {
        return Check(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
    }
    bool Exists(const std::wstring& path) noexcept override {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void Remove(const std::wstring& path) noexcept override { DeleteFileW(path.c_str()); }
};

// A name beside `target` that nothing holds yet.
std::wstring FreeBackupName(const std::wstring& target) {
    std::wstring name;
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = target + FormatText(L".%08x.old", NextRandom());
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    return name;
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
    if (IsDirectory(target)) {
        DeleteFileW(replacement.c_str());
        return ResultFromWin32(ERROR_ACCESS_DENIED);
    }
    SystemReplaceCalls calls;
    return ReplaceThroughBackup(calls, target, replacement, FreeBackupName(target));
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
