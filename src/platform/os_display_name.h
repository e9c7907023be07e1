#pragma once
// The operating system's display name: product, edition and bitness where known, then
// ", major.minor.build CSD Build build".
#include <optional>
#include <string>

#include "common/result.h"
#include "platform/os_info_source.h"
#include "platform/os_version.h"

namespace qor {

// The system refused to name the product of a 6.0 system.
inline constexpr ResultCode kOsProductUnknown = SuiteError(0x20);

[[nodiscard]] ResultCode BuildOsDisplayName(OsInfoSource& source, std::wstring& out) noexcept;

// Pieces of the above, shared with the record's fill.
ProcessorClass ProcessorClassFromArchitecture(std::optional<std::uint16_t> architecture) noexcept;
[[nodiscard]] ResultCode QueryProcessorClass(OsInfoSource& source, ProcessorClass& out) noexcept;
[[nodiscard]] ResultCode NameOsVersion(const OsVersionData& version, ProcessorClass processor,
                                       OsInfoSource& source, std::wstring& out) noexcept;

}  // namespace qor
