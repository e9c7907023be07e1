#pragma once
#include "platform/folder_table.h"

namespace qor {

// The special folders' sources on Windows.
class WinFolderSources final : public FolderSources {
public:
    explicit WinFolderSources(RegistryReader& registry) : registry_(registry) {}

    RegistryReader& Registry() override { return registry_; }
    bool Is64BitSystem() override;
    [[nodiscard]] ResultCode ReadEnvironmentPath(const std::wstring& name,
                                                 std::wstring& out) override;
    std::wstring ExpandEnvironment(const std::wstring& text) override;
    std::wstring LoadedSystemLibraryPath() override;
    std::wstring CurrentUserSid() override;
    std::wstring DeviceToDrive(const std::wstring& device) override;

private:
    RegistryReader& registry_;
};

}  // namespace qor
