#pragma once
#include <string>
#include <string_view>

#include "common/error_record.h"
#include "common/console.h"

namespace qor {

// Appends nothing to `out` on failure.
[[nodiscard]] ResultCode FormatError(std::wstring& out, std::wstring_view prefix,
                                     const QorException& record) noexcept;

// The error report of a failed result; never fails itself.
void PrintError(Console& console, const Result& result) noexcept;

void PrintErrorCode(Console& console, ResultCode code) noexcept;

}  // namespace qor
