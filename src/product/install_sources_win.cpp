#include "product/install_sources_win.h"

#include <windows.h>

#include "platform/os_version.h"
#include "platform/folder_table.h"
#include "platform/win/module_path_win.h"
#include "platform/win/process_registry_win.h"

namespace qor {
namespace {

class WinInstallationSources final : public InstallationSources {
public:
    RegistryReader& Registry() override { return ProcessRegistry(); }
    bool Is64BitSystem() override { return GetOsVersionRecord().Is64BitSystem(); }
    ResultCode GetSpecialFolder(std::uint32_t id, std::wstring& out) override {
        return qor::GetSpecialFolder(id, out);
    }
    bool IsDirectory(const std::wstring& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::wstring OwnExecutableFolder() override { return FolderOf(ModuleFileName(nullptr)); }
};

}  // namespace

ProductInstallation& ProcessInstallation() {
    static WinInstallationSources sources;
    static ProductInstallation installation(sources);
    return installation;
}

}  // namespace qor
