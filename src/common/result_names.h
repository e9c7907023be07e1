#pragma once
// The suite's own result codes by name, and the Windows error a code was made from.
#include <cstdint>
#include <optional>

#include "common/result.h"

namespace qor {

struct CodeName {
    const wchar_t* name;     // "PathNotFound"
    const wchar_t* meaning;  // "path not found, or the path is not a directory"
};

// A code of the suite's own facility (any severity) by its low 16 bits; null when unnamed.
const CodeName* FindSuiteCodeName(ResultCode code) noexcept;

// The Windows error number of a code of the Windows facility (7); nothing for other codes.
std::optional<std::uint32_t> Win32ErrorOf(ResultCode code) noexcept;

}  // namespace qor
