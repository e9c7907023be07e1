#pragma once
// The load order of the TDI drivers in the "PNP_TDI" group that the suite needs.
#include <cstdint>
#include <span>

#include "common/result.h"
#include "maintenance/driver_registry.h"
#include "platform/os_version.h"

namespace qor {

// One driver of a table; the rows stand in the wanted load order.
struct DriverOrderRow {
    const wchar_t* service;
    bool fixedTag;      // `tag` is the driver's own tag when the service has none
    std::uint32_t tag;
    bool anchor;        // stays where it is; the others are ordered around it
};

inline constexpr const wchar_t* kTdiGroup = L"PNP_TDI";
inline constexpr std::uint32_t kFirstNewTag = 90;

// Invalid data: a processor class without a table, or a tag list with no room for a new tag.
inline constexpr ResultCode kDriverOrderInvalidData = SuiteError(0x45);

// The table for the processor class and version; kDriverOrderInvalidData for a class
// with none.
[[nodiscard]] ResultCode SelectDriverOrderTable(const OsVersionRecord& os,
                                                std::span<const DriverOrderRow>& out) noexcept;

// Gives every installed driver of the table a tag in the group's list and puts the tags in
// the table's order. `changed` tells whether anything was written, also on failure.
[[nodiscard]] ResultCode OrderTdiDrivers(DriverRegistry& registry, const OsVersionRecord& os,
                                         bool& changed) noexcept;

}  // namespace qor
