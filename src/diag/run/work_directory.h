#pragma once
// The run's work directory under the temporary folder, and the package name inside it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/time_fields.h"
#include "platform/fs.h"

namespace qor {

namespace rc {
inline constexpr ResultCode EmptyFullPath = SuiteError(0x20);
}

// TMP, else TEMP, else USERPROFILE, made absolute.
[[nodiscard]] ResultCode GetTempFolder(std::wstring& out);
// Where work directories go, in this order: the Windows folder's Temp, which only
// administrators can change, then the temporary folder (when the first cannot be used).
[[nodiscard]] ResultCode WorkDirectoryBases(std::vector<std::wstring>& out);

// "qorfwdiag%u" and "qorfwdiag_%02u_%02u_%02u_%02u_%02u.tmp" (UTC, no seconds).
std::wstring WorkDirectoryName(std::uint32_t number);
std::wstring PackageName(const TimeFields& utc);

// The number in a work directory's name: the next random value plus the millisecond.
std::uint32_t DrawWorkNumber() noexcept;
[[nodiscard]] ResultCode NamePackage(const std::wstring& workDirectory, std::wstring& packagePath);

inline constexpr int kMaxNameDraws = 1000;
using NameDraw = std::function<std::uint32_t()>;
// A new directory that only the system and the administrators may change, made in one call
// that fails when the name exists, under the first base that takes one; `held` keeps it from
// being deleted or renamed. A name in use is drawn again (kMaxNameDraws per base); any other
// failure moves on to the next base. With none left, the last failure.
[[nodiscard]] ResultCode CreateWorkDirectory(const std::vector<std::wstring>& bases,
                                             const NameDraw& draw, std::wstring& workDirectory,
                                             fs::File& held);
// Everything in it, then (with `held` closed) the directory; links are never entered.
[[nodiscard]] ResultCode RemoveWorkDirectory(const std::wstring& workDirectory,
                                             fs::File& held) noexcept;

}  // namespace qor
