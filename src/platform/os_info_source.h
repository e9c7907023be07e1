#pragma once
// What the operating-system record and its display name need from the system.
#include <cstdint>
#include <optional>
#include <string>

#include "common/result.h"

namespace qor {

struct OsVersionData {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::wstring csdText;  // service pack text, empty without one
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;  // 1 = workstation
};

struct BasicSystemData {
    std::int8_t numberOfProcessors = 0;  // as the system reports it
    std::uint32_t pageSize = 0;
    std::uint32_t allocationGranularity = 0;
};

enum class ProductQuery { Unavailable, Refused, Answered };

class OsInfoSource {
public:
    virtual ~OsInfoSource() = default;

    [[nodiscard]] virtual ResultCode GetVersion(OsVersionData& out) noexcept = 0;
    // The native processor architecture number; empty when the system cannot tell.
    [[nodiscard]] virtual ResultCode GetNativeArchitecture(
        std::optional<std::uint16_t>& out) noexcept = 0;
    // The product type the system assigns to the given version and service pack.
    virtual ProductQuery GetProductType(std::uint32_t major, std::uint32_t minor,
                                        std::uint32_t spMajor, std::uint32_t spMinor,
                                        std::uint32_t& type) noexcept = 0;
    [[nodiscard]] virtual ResultCode GetBasicInformation(BasicSystemData& out) noexcept = 0;
};

}  // namespace qor
