#pragma once
// Collectors that fill the work directory with the output of the system's programs.
#include <string>

#include "common/result.h"

namespace qor {

// The three ways of starting a program (the process helpers, or a double in tests).
class CommandLauncher {
public:
    virtual ~CommandLauncher() = default;
    [[nodiscard]] virtual ResultCode Detached(const std::wstring& commandLine) noexcept = 0;
    [[nodiscard]] virtual ResultCode AndWait(const std::wstring& commandLine) noexcept = 0;
    [[nodiscard]] virtual ResultCode Capture(const std::wstring& commandLine,
                                             const std::wstring& outputPath) noexcept = 0;
};

struct CaptureTarget {
    CommandLauncher& launcher;
    const std::wstring& workDirectory;
};

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

// The connection listing, appended to "netdump.txt" by the command interpreter.
[[nodiscard]] ResultCode DumpNetstat(const CaptureTarget& target) noexcept;
std::wstring NetstatCommandLine(const std::wstring& outputPath);

// The filtering platform exports, one after the other, only on Vista and later.
[[nodiscard]] ResultCode DumpFilteringPlatform(const CaptureTarget& target,
                                               bool vistaOrLater) noexcept;

}  // namespace qor
