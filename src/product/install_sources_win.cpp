#include "product/install_sources_win.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/fs.h"
#include "platform/os_version.h"
#include "platform/folder_table.h"
#include "platform/win/module_path_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/process_registry_win.h"
#include "platform/win/sized_string_win.h"

namespace qor {
namespace {

// A 64-bit process, or a 32-bit one under WOW64 (IsWow64Process is absent before XP SP2).
bool SystemIs64Bit() noexcept {
    if constexpr (sizeof(void*) == 8) return true;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = LookupExport<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

class WinInstallationSources final : public InstallationSources {
public:
    explicit WinInstallationSources(bool beforeStart) : beforeStart_(beforeStart) {}

    RegistryReader& Registry() override { return ProcessRegistry(); }
    bool Is64BitSystem() override {
        return beforeStart_ ? SystemIs64Bit() : GetOsVersionRecord().Is64BitSystem();
    }
    ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out) override {
        return qor::GetSpecialFolder(id, out);
    }
    bool IsDirectory(const std::wstring& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::wstring OwnExecutableFolder() override { return FolderOf(ModuleFileName(nullptr)); }

    // As the system records them, never from the environment.
    std::vector<std::wstring> ProgramFilesFolders() override {
        std::vector<std::wstring> folders;
        for (const int id : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) {
                std::wstring full = FullPath(path);
                if (!full.empty()) folders.push_back(std::move(full));
            }
        }
        return folders;
    }
    bool OnlyAdministratorsMayChange(const std::wstring& folder) override {
        fs::File held;
        return fs::OpenFolderNoFollow(folder, held) == rc::Ok && fs::IsAdministratorsFolder(held);
    }
    std::wstring FullPath(const std::wstring& path) override {
        std::wstring full;
        if (path.empty()) return full;
        const ResultCode code = QuerySizedString(
            [&path](wchar_t* buffer, DWORD size) {
                return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
            },
            full);
        return Succeeded(code) ? full : std::wstring();
    }

private:
    bool beforeStart_;
};

}  // namespace

ProductInstallation& ProcessInstallation() {
    static WinInstallationSources sources(false);
    static ProductInstallation installation(sources);
    return installation;
}

ProductInstallation& StartupInstallation() {
    static WinInstallationSources sources(true);
    static ProductInstallation installation(sources);
    return installation;
}

}  // namespace qor
