#pragma once
// The process-wide table of well-known folders, numbered 0 to 21.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "common/result.h"
#include "platform/registry.h"
#include "platform/system_env.h"

namespace qor {

namespace folder {
inline constexpr std::uint32_t Profile = 0;
inline constexpr std::uint32_t Desktop = 1;
inline constexpr std::uint32_t AppData = 2;
inline constexpr std::uint32_t LoadedSystemLibrary = 3;
inline constexpr std::uint32_t System32Bit = 4;
inline constexpr std::uint32_t NativeSystem = 5;
inline constexpr std::uint32_t Windows = 6;
inline constexpr std::uint32_t ProgramFiles = 7;
inline constexpr std::uint32_t ProgramFiles32 = 8;
inline constexpr std::uint32_t ProgramFilesNative = 9;
inline constexpr std::uint32_t CommonFiles = 10;
inline constexpr std::uint32_t CommonFiles32 = 11;
inline constexpr std::uint32_t CommonFilesNative = 12;
inline constexpr std::uint32_t CommonStartup = 13;
inline constexpr std::uint32_t Startup = 14;
inline constexpr std::uint32_t Personal = 15;
inline constexpr std::uint32_t CommonDocuments = 16;
inline constexpr std::uint32_t SystemDrive = 18;
inline constexpr std::uint32_t SystemPartition = 19;
inline constexpr std::uint32_t CommonAppData = 20;
inline constexpr std::uint32_t LocalAppData = 21;
inline constexpr std::uint32_t Count = 22;
}  // namespace folder

// Where the folders come from: the registry, the environment and a few system facts.
class FolderSources {
public:
    virtual ~FolderSources() = default;
    virtual RegistryReader& Registry() = 0;
    virtual bool Is64BitSystem() = 0;
    // rc::EnvironmentVariableNotSet when the variable does not exist.
    [[nodiscard]] virtual ResultCode ReadEnvironmentPath(const std::wstring& name,
                                                         std::wstring& out) = 0;
    virtual std::wstring ExpandEnvironment(const std::wstring& text) = 0;
    // Full path of the system library the process loaded; empty when unknown.
    virtual std::wstring LoadedSystemLibraryPath() = 0;
    // The current user's security identifier as text; empty when unknown.
    virtual std::wstring CurrentUserSid() = 0;
    // A device name ("\Device\HarddiskVolume1") as a drive ("C:"); empty when none maps.
    virtual std::wstring DeviceToDrive(const std::wstring& device) = 0;
};

class SpecialFolderTable {
public:
    static constexpr std::size_t kMaxChars = 259;  // a path this long or longer is not kept

    // Fills every entry from `sources`, which must outlive the table. Never fails.
    void Init(FolderSources& sources);
    // rc::ArgumentMissing for an id above 21, rc::PathNotFound for an empty entry.
    [[nodiscard]] ResultCode Get(std::uint32_t id, std::wstring& out);
    void FillShellFolders(bool lockHeld);

private:
    class SpinGuard;

    void Store(std::uint32_t id, std::wstring path);
    void FillSystemDirectories();
    void FillMachineValues();
    void FillMachineValue(std::uint32_t id, const wchar_t* value, const wchar_t* variable,
                          RegistryView view);
    void FillDrives();
    std::wstring ProfileDirectory();
    [[nodiscard]] ResultCode ReadShellFolder(const wchar_t* valueName, std::wstring& out,
                                             const std::wstring& profileDirectory,
                                             bool machineWide);

    std::array<std::wstring, folder::Count> entries_;
    FolderSources* sources_ = nullptr;
    std::atomic_flag lock_;
};

// The process-wide table, filled by the platform start.
SpecialFolderTable& ProcessSpecialFolders();

[[nodiscard]] ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out);

}  // namespace qor
