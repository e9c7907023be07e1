#include "diag/suite/file_copy.h"

#include <new>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {

ResultCode EnsureDirectory(const std::wstring& path) noexcept {
    if (fs::IsDirectory(path)) return rc::Ok;
    return fs::MakeDirectory(path);
}

ResultCode CopyMatchingFiles(const std::wstring& source, const std::wstring& target,
                             const std::wstring& mask) noexcept {
    if (source.empty() || target.empty() || !fs::IsDirectory(source)) return rc::ArgumentMissing;
    ResultCode result = EnsureDirectory(target);
    if (Failed(result)) return result;
    fs::DirectoryEnumerator files;
    result = files.Open(source, mask, fs::kinds::Files);
    if (Failed(result)) return result;
    unsigned copied = 0;
    try {
        fs::DirectoryEntry entry;
        while (files.Next(entry) == rc::Ok) {
            if (Failed(fs::CopyFileOver(entry.fullPath, JoinPath(target, entry.name)))) break;
            ++copied;
        }
    } catch (const std::bad_alloc&) {
        return copied > 0 ? rc::Ok : rc::OutOfMemory;
    }
    return copied > 0 ? rc::Ok : rc::NoMoreEntries;
}

std::wstring MangledFolderName(const std::wstring& path) {
    std::wstring name = path;
    for (wchar_t& c : name) {
        if (c == L'\\' || c == L'/' || c == L':') c = L'_';
    }
    return name;
}

}  // namespace qor
