#pragma once
// The process environment and the system clock.
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qor {

namespace rc {
inline constexpr ResultCode EnvironmentVariableNotSet = static_cast<ResultCode>(0x6001006A);
}

// rc::EnvironmentVariableNotSet (an information code) when the variable does not exist.
[[nodiscard]] ResultCode ReadEnvironmentPath(const std::wstring& name, std::wstring& out);

// The Windows folder's "Temp", from the system, never the environment; rc::PathNotFound
// where there is none.
[[nodiscard]] ResultCode SystemTempFolder(std::wstring& out);

// Now, in 100-ns units since 1601-01-01 UTC.
std::int64_t CurrentSystemTime() noexcept;

}  // namespace qor
