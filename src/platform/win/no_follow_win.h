#pragma once
// Opens that stop at a link instead of following it. Windows opens the link itself; Wine
// follows a Unix symbolic link even then, but lists it with the reparse-point attribute, so
// the path's attributes are looked at first.
#include <string>

#include "common/result.h"
#include "platform/win/unique_handle_win.h"

namespace qor::fs {

// A directory that is no link, for listing; others may read and write in it but can neither
// delete nor rename it while `out` is open. A link gives rc::LinkRefused.
[[nodiscard]] ResultCode OpenDirectoryNoFollow(const std::wstring& path, FileHandle& out) noexcept;

// A plain file with one name, for reading; a link, a hard-linked file or a directory gives
// rc::LinkRefused.
[[nodiscard]] ResultCode OpenFileNoFollow(const std::wstring& path, FileHandle& out) noexcept;

}  // namespace qor::fs
