#include "diag/suite/file_copy.h"

#include <cstdint>
#include <new>

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

ResultCode CopyUnlinkedFile(const std::wstring& source, const std::wstring& target) noexcept {
    fs::File from, to;
    fs::FileInfo info;
    ResultCode result = fs::OpenUnlinkedForReading(source, from);
    if (Succeeded(result)) result = from.Info(info);
    if (Succeeded(result)) result = fs::CreateExclusive(target, to);
    if (Succeeded(result)) result = CopyContents(from, to);
    if (Succeeded(result)) result = to.SetTimes(info);
    return result;
}

ResultCode CopyMatchingFiles(const std::wstring& source, const std::wstring& target,
                             const std::wstring& mask, SourceFolder from) noexcept {
    if (source.empty() || target.empty() || !fs::IsDirectory(source)) return rc::ArgumentMissing;
    ResultCode result = EnsureDirectory(target);
    if (Failed(result)) return result;
    const bool userWritable = from == SourceFolder::UserWritable;
    fs::DirectoryEnumerator files;
    result = files.Open(source, mask,
                        fs::kinds::Files | (userWritable ? fs::kinds::NotThroughLink : 0));
    if (Failed(result)) return result;
    unsigned copied = 0;
    try {
        fs::DirectoryEntry entry;
        while (files.Next(entry) == rc::Ok) {
            const std::wstring to = JoinPath(target, entry.name);
            const ResultCode code = userWritable ? CopyUnlinkedFile(entry.fullPath, to)
                                                 : fs::CopyFileOver(entry.fullPath, to);
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
