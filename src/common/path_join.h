#pragma once
#include <string>
#include <string_view>

namespace qor {

// `directory` and `name` with one "\" between them, unless the directory already ends in
// "\" or "/"; an empty directory gives the name alone.
std::wstring JoinPath(std::wstring_view directory, std::wstring_view name);

// As JoinPath, except that an empty or absolute second part stands alone and an empty
// second part gives the first.
std::wstring CombinePath(std::wstring_view first, std::wstring_view second);

// A full path: a drive and its root ("C:\..."), a UNC or device path ("\\..."), or a POSIX
// path ("/..."). "C:foo" and "\foo" depend on the current folder and drive: not full.
bool IsAbsolutePath(std::wstring_view path);

}  // namespace qor
