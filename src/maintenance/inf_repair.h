#pragma once
// Repairs the INF cache of Windows XP and Server 2003: the suite's NDIS driver removed, the
// cache files deleted, the driver installed again and the TDI drivers put in order.
#include <cstdint>
#include <string>

#include "common/console.h"
#include "common/result.h"
#include "maintenance/driver_registry.h"
#include "maintenance/ndis_installer.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "product/install_lookup.h"

namespace qor {

inline constexpr std::size_t kDevicePathExpandChars = 780;

// The system calls of the repair besides the registry and the installer.
class InfRepairSystem {
public:
    virtual ~InfRepairSystem() = default;
    // rc::FileNotFound or rc::PathNotFound when the path does not exist.
    [[nodiscard]] virtual ResultCode FileAttributes(const std::wstring& path,
                                                    std::uint32_t& attributes) = 0;
    [[nodiscard]] virtual ResultCode WindowsDirectory(std::wstring& out) = 0;
    // At most kDevicePathExpandChars characters with the terminator, else rc::BufferTooSmall.
    [[nodiscard]] virtual ResultCode ExpandEnvironment(const std::wstring& text,
                                                       std::wstring& out) = 0;
    // Opens the file for deletion (not following a reparse point when asked) and deletes it.
    [[nodiscard]] virtual ResultCode DeleteFile(const std::wstring& path,
                                                bool openReparsePoint) = 0;
    // The suite's self-protection lets this process change the suite's drivers until the
    // permission is handed back.
    [[nodiscard]] virtual ResultCode AcquireDriverChangePermission() = 0;
    virtual void ReleaseDriverChangePermission() = 0;
};

struct InfRepairDependencies {
    Console& console;
    const OsVersionRecord& os;
    ProductInstallation& installation;
    RegistryReader& reader;     // "DevicePath"
    DriverRegistry& registry;   // services and load order
    ProgramStarter& starter;    // the NDIS installer
    InfRepairSystem& system;
};

// The five driver installation files in `directory`: 0, rc::FileNotFound for the first one
// missing (or a directory), rc::DirectoryKindOutOfRange on a processor without a letter.
[[nodiscard]] ResultCode CheckDriverInstallationFiles(InfRepairSystem& system,
                                                      const OsVersionRecord& os,
                                                      const std::wstring& directory);

// `text` with every "%SystemRoot%" (any case) replaced by `windows`.
std::wstring WithSystemRoot(std::wstring text, const std::wstring& windows);

// Deletes "INFCACHE.1" in each directory of "DevicePath" ("%SystemRoot%" being the Windows
// folder the system gives), or in the Windows "inf" folder
// when it names none; missing files and directories are skipped.
[[nodiscard]] ResultCode RemoveInfCaches(InfRepairSystem& system, RegistryReader& reader);

// Prints each step and its outcome; answers the first failing step's code, or 0.
[[nodiscard]] ResultCode RepairInfCache(InfRepairDependencies& deps);

}  // namespace qor
