#pragma once
// Collectors that fill the work directory with the output of the system's programs.
#include <string>

#include "diag/run/command_launcher.h"

namespace qor {

// Registry exports, left to run while the run goes on; `native` only renames the file.
[[nodiscard]] ResultCode DumpRegistryLsp(const CaptureTarget& target) noexcept;
[[nodiscard]] ResultCode DumpRegistryUninstall(const CaptureTarget& target, bool native) noexcept;
[[nodiscard]] ResultCode DumpRegistryVendor(const CaptureTarget& target, bool native) noexcept;
[[nodiscard]] ResultCode DumpRegistryProduct(const CaptureTarget& target, bool native) noexcept;
[[nodiscard]] ResultCode DumpRegistryControlSet(const CaptureTarget& target) noexcept;

// Captured listings, complete on return; a step of several captures runs them all and
// answers the first failure.
[[nodiscard]] ResultCode DumpInstalledDrivers(const CaptureTarget& target) noexcept;
[[nodiscard]] ResultCode DumpIpConfiguration(const CaptureTarget& target) noexcept;
[[nodiscard]] ResultCode DumpRouteTable(const CaptureTarget& target) noexcept;
[[nodiscard]] ResultCode DumpArpTable(const CaptureTarget& target) noexcept;

// The filtering platform exports, one after the other, only on Vista and later.
[[nodiscard]] ResultCode DumpFilteringPlatform(const CaptureTarget& target,
                                               bool vistaOrLater) noexcept;

}  // namespace qor
