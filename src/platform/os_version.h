#pragma once
// The process-wide record of the operating system, filled once at start-up.
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qor {

class OsInfoSource;

enum class ProcessorClass : std::uint32_t { X86 = 1, Amd64 = 2, Ia64 = 3 };

struct OsVersionRecord {
    bool filled = false;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t fourthVersionWord = 0;
    ProcessorClass processorClass = ProcessorClass::X86;
    std::uint32_t suiteMask = 0;
    std::uint8_t productType = 0;  // 1 = workstation
    std::uint8_t servicePackMajor = 0;
    std::uint8_t servicePackMinor = 0;
    std::wstring displayName;  // at most kMaxDisplayName characters
    std::uint32_t numberOfProcessors = 0;
    std::uint32_t pageSize = 0;
    std::uint32_t allocationGranularity = 0;

    static constexpr std::size_t kMaxDisplayName = 255;

    // Each predicate is false while the record is not filled.
    bool IsWindowsXp() const noexcept;
    bool IsXpOrLater() const noexcept;
    bool IsServer2003Family() const noexcept;
    bool IsVistaOrLater() const noexcept;
    bool IsWindows8OrLater() const noexcept;
    bool Is64BitSystem() const noexcept;
};

const OsVersionRecord& GetOsVersionRecord() noexcept;

// Fills `record` from `source` unless it is already filled (then 0). On failure the record
// is left unfilled and the code returned.
[[nodiscard]] ResultCode FillOsVersionRecord(OsInfoSource& source,
                                            OsVersionRecord& record) noexcept;

// The same for the process-wide record.
[[nodiscard]] ResultCode FillOsVersionRecord(OsInfoSource& source) noexcept;

}  // namespace qor
