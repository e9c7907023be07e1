#pragma once
// The file system as the program uses it. One Win32 implementation (the exact calls, access
// and share modes) and one POSIX implementation, so the writers run on Linux too. Paths are
// Windows-style text; on POSIX a backslash is read as a separator.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/dir_enum.h"

namespace qor::fs {

namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;
inline constexpr std::uint32_t ReparsePoint = 0x400;
}  // namespace attr

// Times in 100-ns units since 1601-01-01 UTC.
struct FileInfo {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::int64_t creationTime = 0;
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
};

// Owner of one open file; closed on destruction. Failed calls leave outputs untouched.
class File {
public:
    File() noexcept = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool IsOpen() const noexcept;
    // Reads up to `size` bytes; `read` 0 at the end of the file.
    [[nodiscard]] ResultCode Read(void* buffer, std::uint32_t size, std::uint32_t& read) noexcept;
    // All of `data` or a failure; `written` tells how much went out.
    [[nodiscard]] ResultCode Write(const void* data, std::uint32_t size,
                                   std::uint32_t& written) noexcept;
    [[nodiscard]] ResultCode SeekFromStart(std::uint64_t offset) noexcept;
    [[nodiscard]] ResultCode Info(FileInfo& out) noexcept;
    [[nodiscard]] ResultCode Flush() noexcept;
    // Creation, last-access and last-write times of `times` (the other fields are ignored).
    [[nodiscard]] ResultCode SetTimes(const FileInfo& times) noexcept;
    void Close() noexcept;

    // Platform handle: a HANDLE on Windows, a descriptor on POSIX.
    explicit File(std::intptr_t handle) noexcept : handle_(handle) {}
    std::intptr_t Native() const noexcept { return handle_; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

// Write only, no sharing, an existing file replaced.
[[nodiscard]] ResultCode CreateExclusive(const std::wstring& path, File& out) noexcept;
// Read only, others may read too, the file must exist.
[[nodiscard]] ResultCode OpenForReading(const std::wstring& path, File& out) noexcept;
// As OpenForReading, through the native open: others may only read, so a file that another
// process has open for writing gives a sharing failure.
[[nodiscard]] ResultCode OpenNativeForReading(const std::wstring& path, File& out) noexcept;
// Read and write, no sharing, created when missing and not truncated.
[[nodiscard]] ResultCode OpenOrCreate(const std::wstring& path, File& out) noexcept;
// Write only, no sharing; an existing object is a failure.
[[nodiscard]] ResultCode CreateNew(const std::wstring& path, File& out) noexcept;
// As OpenForReading, but only a plain file: a link (reparse point, or a file with more than
// one name) or a directory gives rc::LinkRefused, and nothing is opened.
[[nodiscard]] ResultCode OpenUnlinkedForReading(const std::wstring& path, File& out) noexcept;

// A directory that is no link, held for making files in it by name: nobody can delete or
// rename it while `held` is open. A link gives rc::LinkRefused.
[[nodiscard]] ResultCode OpenFolderNoFollow(const std::wstring& path, File& held) noexcept;
// True when the held folder is owned by the administrators (or the system) and nobody else
// may change what is in it.
bool IsAdministratorsFolder(File& folder) noexcept;
// A new file `name` in the held folder, for writing: an existing object of that name, a link
// too, gives rc::AlreadyExists.
[[nodiscard]] ResultCode CreateNewIn(File& folder, const std::wstring& name, File& out) noexcept;
// The plain file `name` in the held folder, removed; a link or a directory there gives
// rc::LinkRefused and is left alone, as is what it points to.
[[nodiscard]] ResultCode RemoveFileIn(File& folder, const std::wstring& name) noexcept;
// `from` copied to a new file `name` in the held folder (see CreateNewIn).
[[nodiscard]] ResultCode CopyFileNewIn(const std::wstring& from, File& folder,
                                       const std::wstring& name) noexcept;

// The folder `below` ("a\\b", or empty for `root` itself) inside `root`, opened level by
// level: `root` as its path names it, each level below it only when it is a real folder, so
// that a link at any level gives rc::LinkRefused.
[[nodiscard]] ResultCode OpenFolderBelow(const std::wstring& root, const std::wstring& below,
                                         File& held) noexcept;
// `root` as its path names it, for OpenFolderBelow.
[[nodiscard]] ResultCode OpenFolder(const std::wstring& root, File& held) noexcept;
// The real folder `name` of the held folder; a link gives rc::LinkRefused.
[[nodiscard]] ResultCode OpenSubfolderIn(File& folder, const std::wstring& name,
                                         File& held) noexcept;
// The names of the plain files of the held folder that match `mask` (no folders, no links),
// in the file system's order.
[[nodiscard]] ResultCode ListFilesIn(File& folder, const std::wstring& mask,
                                     std::vector<std::wstring>& names) noexcept;
// The plain file `name` of the held folder, for reading: a link, a file with a second name or
// a folder gives rc::LinkRefused.
[[nodiscard]] ResultCode OpenFileIn(File& folder, const std::wstring& name, File& out) noexcept;

// Attributes of a file or directory: rc::FileNotFound or rc::PathNotFound when missing.
[[nodiscard]] ResultCode QueryAttributes(const std::wstring& path,
                                         std::uint32_t& attributes) noexcept;
bool IsDirectory(const std::wstring& path) noexcept;
// One level; an existing object or a missing parent is a failure.
[[nodiscard]] ResultCode MakeDirectory(const std::wstring& path) noexcept;
// As MakeDirectory, for the process alone: full control for the system and the
// administrators, read and execute for the user, nothing inherited from the parent. `held`
// keeps it open, so that nobody can delete or rename it until `held` is closed.
[[nodiscard]] ResultCode MakePrivateDirectory(const std::wstring& path, File& held) noexcept;
// The directory, everything in it, then itself; links are removed, never followed or entered.
[[nodiscard]] ResultCode RemoveTree(const std::wstring& path) noexcept;
// As RemoveTree for a directory that `held` keeps open: closed once the contents are gone.
[[nodiscard]] ResultCode RemoveTree(const std::wstring& path, File& held) noexcept;
// An existing destination is replaced.
[[nodiscard]] ResultCode CopyFileOver(const std::wstring& from, const std::wstring& to) noexcept;
// An existing destination is left alone: the file-exists code (80) in result form.
[[nodiscard]] ResultCode CopyFileNew(const std::wstring& from, const std::wstring& to) noexcept;
[[nodiscard]] ResultCode MoveFileOver(const std::wstring& from, const std::wstring& to) noexcept;
[[nodiscard]] ResultCode RemoveFile(const std::wstring& path) noexcept;
// `replacement` takes the place of `target`, which keeps its attributes and security; a
// missing `target` is simply created. On failure `target` is as it was and `replacement` is
// removed, unless neither file could be put at `target`: then `replacement` and a copy of the
// old file stay beside it, so nothing is lost.
[[nodiscard]] ResultCode ReplaceFileWith(const std::wstring& target,
                                         const std::wstring& replacement) noexcept;

// Writes new content for `path` without ever leaving it half written: `write` fills a new
// file in the same folder, which is flushed and then put in place of `path`. On any failure
// `path` keeps its old bytes and the new file is removed (see ReplaceFileWith).
using ContentWriter = std::function<ResultCode(File& file)>;
[[nodiscard]] ResultCode ReplaceContents(const std::wstring& path,
                                         const ContentWriter& write) noexcept;
[[nodiscard]] ResultCode CurrentDirectory(std::wstring& out) noexcept;
// `path` made absolute against the current directory.
[[nodiscard]] ResultCode FullPath(const std::wstring& path, std::wstring& out) noexcept;

}  // namespace qor::fs
