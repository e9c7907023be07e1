#pragma once
// Where the suite is installed: its directories from the machine's registry values.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "platform/registry.h"

namespace qor {

namespace product_dir {
inline constexpr std::uint32_t Program = 0;
inline constexpr std::uint32_t AllUsersData = 1;
inline constexpr std::uint32_t AdminCommon = 2;
inline constexpr std::uint32_t AdminAllUsers = 3;
inline constexpr std::uint32_t AdminServerInstall = 4;
inline constexpr std::uint32_t UserRoaming = 5;
inline constexpr std::uint32_t UserLocal = 6;
inline constexpr std::uint32_t ScannerData = 7;
inline constexpr std::uint32_t SiblingCommon = 8;
inline constexpr std::uint32_t SiblingAllUsers = 9;
}  // namespace product_dir

// What the lookup needs from the system.
class InstallationSources {
public:
    virtual ~InstallationSources() = default;
    virtual RegistryReader& Registry() = 0;
    virtual bool Is64BitSystem() = 0;
    [[nodiscard]] virtual ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out) = 0;
    virtual bool IsDirectory(const std::wstring& path) = 0;
    // The folder of the running program.
    virtual std::wstring OwnExecutableFolder() = 0;
    // The system's program-files folders.
    virtual std::vector<std::wstring> ProgramFilesFolders() = 0;
    // `path` made full ("." and ".." resolved); empty when it cannot be.
    virtual std::wstring FullPath(const std::wstring& path) = 0;
    // True when `folder` is a real folder (no link) that only SYSTEM, the administrators and
    // TrustedInstaller may change.
    virtual bool OnlyAdministratorsMayChange(const std::wstring& folder) = 0;
};

class ProductInstallation {
public:
    explicit ProductInstallation(InstallationSources& sources) : sources_(sources) {}

    // On failure `out` is empty and the code of the failing read is returned.
    [[nodiscard]] ResultCode LookupProductDirectory(std::uint32_t kind, std::wstring& out,
                                                    std::optional<std::wstring_view> subPath,
                                                    std::wstring_view generation);
    // A string value of a key under HKEY_LOCAL_MACHINE, in the view of the suite's installer.
    [[nodiscard]] ResultCode ReadMachineString(const std::wstring& keyPath,
                                               const std::wstring& valueName, std::wstring& out);
    // The suite's log folder, or ".\" when there is none.
    void GetLogDirectory(std::wstring& out);
    // The program's own folder, made full, when code may be taken from it (see
    // trusted_folder.h); otherwise empty.
    std::wstring TrustedOwnFolder();

    InstallationSources& Sources() { return sources_; }

private:
    [[nodiscard]] ResultCode LookupBase(std::uint32_t kind, std::wstring& out,
                                        std::wstring_view generation);
    RegistryView InstallerView();

    InstallationSources& sources_;
    std::optional<RegistryView> view_;
};

}  // namespace qor
