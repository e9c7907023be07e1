#pragma once
// The run's work directory under the temporary folder, and the package name inside it.
#include <cstdint>
#include <string>

#include "common/result.h"
#include "common/time_fields.h"

namespace qor {

namespace rc {
inline constexpr ResultCode EmptyFullPath = SuiteError(0x20);
}

// TMP, else TEMP, else USERPROFILE, made absolute.
[[nodiscard]] ResultCode GetTempFolder(std::wstring& out);

// "qorfwdiag%u" and "qorfwdiag_%02u_%02u_%02u_%02u_%02u.tmp" (UTC, no seconds).
std::wstring WorkDirectoryName(std::uint32_t number);
std::wstring PackageName(const TimeFields& utc);

[[nodiscard]] ResultCode NameWorkDirectory(std::wstring& workDirectory);
[[nodiscard]] ResultCode NamePackage(const std::wstring& workDirectory, std::wstring& packagePath);
[[nodiscard]] ResultCode CreateWorkDirectory(const std::wstring& workDirectory) noexcept;
[[nodiscard]] ResultCode RemoveWorkDirectory(const std::wstring& workDirectory) noexcept;

}  // namespace qor
