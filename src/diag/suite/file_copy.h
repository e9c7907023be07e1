#pragma once
// Copies of the files of one directory that match a mask; nothing recursive.
#include <string>

#include "common/result.h"

namespace qor {

// Who may write in a source folder. In a folder that a user's programs may write, a link
// (the folder itself, or a file that is a reparse point or has a second name) is skipped, and
// each file is copied from the handle that was checked.
enum class SourceFolder { Protected, UserWritable };

// Every file of `source` matching `mask` into `target` (one level, created when missing),
// replacing same-named files. The first failing copy ends the loop.
// rc::Ok when at least one file was copied, rc::NoMoreEntries when none was,
// rc::ArgumentMissing for an empty path or a source that is no directory.
[[nodiscard]] ResultCode CopyMatchingFiles(const std::wstring& source, const std::wstring& target,
                                           const std::wstring& mask = L"*.*",
                                           SourceFolder from = SourceFolder::Protected) noexcept;

// `source`, if it is a plain file with one name, as a new `target` (an existing file replaced)
// with the source's times; rc::LinkRefused for a link.
[[nodiscard]] ResultCode CopyUnlinkedFile(const std::wstring& source,
                                          const std::wstring& target) noexcept;

// The directory, created when missing (one level).
[[nodiscard]] ResultCode EnsureDirectory(const std::wstring& path) noexcept;

// A folder's full path as one folder name: separators and colons become underscores.
std::wstring MangledFolderName(const std::wstring& path);

}  // namespace qor
