#include "diag/suite/file_copy.h"

#include <cstdint>
#include <new>
#include <vector>

#include "common/path_join.h"
#include "platform/dir_enum.h"
#include "platform/fs.h"

namespace qor {

ResultCode EnsureDirectory(const std::wstring& path) noexcept {
    if (fs::IsDirectory(path)) return rc::Ok;
    return fs::MakeDirectory(path);
}

namespace {

constexpr std::uint32_t kCopyChunk = 16384;

ResultCode CopyContents(fs::File& from, fs::File& to) noexcept {
    std::uint8_t buffer[kCopyChunk];
    for (;;) {
        std::uint32_t read = 0, written = 0;
        if (const ResultCode code = from.Read(buffer, kCopyChunk, read); Failed(code)) return code;
        if (read == 0) return rc::Ok;
        if (const ResultCode code = to.Write(buffer, read, written); Failed(code)) return code;
    }
}

}  // namespace

namespace {

// A checked file of the held folder as a new `target` with the source's times.
ResultCode CopyFileFrom(fs::File& folder, const std::wstring& name,
                        const std::wstring& target) noexcept {
    fs::File from, to;
    fs::FileInfo info;
    ResultCode result = fs::OpenFileIn(folder, name, from);
    if (Succeeded(result)) result = from.Info(info);
    if (Succeeded(result)) result = fs::CreateExclusive(target, to);
    if (Succeeded(result)) result = CopyContents(from, to);
    if (Succeeded(result)) result = to.SetTimes(info);
    return result;
}

}  // namespace

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

ResultCode CopyMatchingFilesBelow(const std::wstring& root, const std::wstring& below,
                                  const std::wstring& target, const std::wstring& mask) noexcept {
    if (root.empty() || target.empty()) return rc::ArgumentMissing;
    fs::File folder;
    ResultCode result = fs::OpenFolderBelow(root, below, folder);
    if (result == rc::LinkRefused) return result;
    if (Failed(result)) return rc::ArgumentMissing;
    result = EnsureDirectory(target);
    if (Failed(result)) return result;
    unsigned copied = 0;
    try {
        std::vector<std::wstring> names;
        result = fs::ListFilesIn(folder, mask, names);
        if (Failed(result)) return result;
        for (const std::wstring& name : names) {
            const ResultCode code = CopyFileFrom(folder, name, JoinPath(target, name));
            if (code == rc::LinkRefused) continue;
            if (Failed(code)) break;
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
