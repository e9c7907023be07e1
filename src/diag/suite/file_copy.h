#pragma once
// Copies of the files of one directory that match a mask; nothing recursive.
#include <string>

#include "common/result.h"

namespace qor {

// Every file of `source` matching `mask` into `target` (one level, created when missing),
// replacing same-named files. The first failing copy ends the loop.
// rc::Ok when at least one file was copied, rc::NoMoreEntries when none was,
// rc::ArgumentMissing for an empty path or a source that is no directory.
[[nodiscard]] ResultCode CopyMatchingFiles(const std::wstring& source, const std::wstring& target,
                                           const std::wstring& mask = L"*.*") noexcept;

// As CopyMatchingFiles, from the folder `below` inside `root` in a place a user's programs
// may write: every level below `root` is opened without following a link (a link at any
// level gives rc::LinkRefused and nothing is copied), a file that is a link or has a second
// name is skipped, and each file is read from the handle that was checked.
[[nodiscard]] ResultCode CopyMatchingFilesBelow(const std::wstring& root,
                                                const std::wstring& below,
                                                const std::wstring& target,
                                                const std::wstring& mask) noexcept;

// The directory, created when missing (one level).
[[nodiscard]] ResultCode EnsureDirectory(const std::wstring& path) noexcept;

// A folder's full path as one folder name: separators and colons become underscores.
std::wstring MangledFolderName(const std::wstring& path);

}  // namespace qor
