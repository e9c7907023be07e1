#pragma once
#include "frontend/package_actions.h"

namespace qor {

class WinShell final : public Shell {
public:
    // "explorer.exe /select,<path>"; whether it starts is not looked at.
    [[nodiscard]] ResultCode ShowInExplorer(const std::wstring& path) override;
    // The system's notepad.exe by full path, the path quoted; the outcome is not looked at.
    void Open(const std::wstring& path) override;
};

}  // namespace qor
