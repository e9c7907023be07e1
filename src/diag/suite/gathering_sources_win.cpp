#include "diag/suite/gathering_sources_win.h"

#include <windows.h>
#include <shlobj.h>

#include "diag/run/work_directory.h"
#include "product/install_sources_win.h"
#include "platform/folder_table.h"
#include "platform/fs.h"
#include "platform/os_version.h"
#include "platform/win/folder_sources_win.h"
#include "platform/win/process_registry_win.h"

namespace qor {
namespace {

constexpr std::size_t kShellPathChars = 523;

class WinGatheringSources final : public GatheringSources {
public:
    ResultCode AllUsersDirectory(std::wstring_view subPath, std::wstring_view generation,
                                 std::wstring& out) override {
        return ProcessInstallation().LookupProductDirectory(product_dir::AllUsersData, out,
                                                            subPath, generation);
    }
    RegistryReader& Registry() override { return ProcessRegistry(); }
    std::wstring ExpandEnvironment(const std::wstring& text) override {
        return WinFolderSources(ProcessRegistry()).ExpandEnvironment(text);
    }
    bool IsDirectory(const std::wstring& path) override { return fs::IsDirectory(path); }
    ResultCode TempFolder(std::wstring& out) override { return GetTempFolder(out); }
    ResultCode WindowsFolder(std::wstring& out) override {
        return GetSpecialFolder(folder::Windows, out);
    }
    bool IsVistaOrLater() override { return GetOsVersionRecord().IsVistaOrLater(); }
    ResultCode CommonAppDataFolder(std::wstring& out) override {
        wchar_t path[kShellPathChars] = {};
        if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_APPDATA, TRUE)) {
            return rc::PathNotFound;
        }
        out = path;
        return rc::Ok;
    }
};

}  // namespace

GatheringSources& ProcessGatheringSources() {
    static WinGatheringSources sources;
    return sources;
}

}  // namespace qor
