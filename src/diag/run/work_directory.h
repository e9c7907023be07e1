#pragma once
// The run's work directory under the temporary folder, and the package name inside it.
#include <cstdint>
#include <string>

#include "common/result.h"
#include "common/time_fields.h"
#include "platform/fs.h"

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
// A new directory that only the system and the administrators may change, kept by `held`
// from being deleted or renamed.
[[nodiscard]] ResultCode CreateWorkDirectory(const std::wstring& workDirectory,
                                             fs::File& held) noexcept;
// Everything in it, then (with `held` closed) the directory; links are never entered.
[[nodiscard]] ResultCode RemoveWorkDirectory(const std::wstring& workDirectory,
                                             fs::File& held) noexcept;

}  // namespace qor
