#pragma once
// POSIX side of the file system: path text and error conversion.
#include <string>

#include "common/result.h"

namespace qor::fs {

// UTF-8 with every backslash turned into "/".
std::string NativePath(const std::wstring& path);
// UTF-8 (invalid bytes become U+FFFD) to wide text.
std::wstring FromNative(const std::string& text);
// errno as the result code of the matching Windows error.
[[nodiscard]] ResultCode ResultFromErrno(int error) noexcept;

}  // namespace qor::fs
