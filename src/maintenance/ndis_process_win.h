#pragma once
#include "maintenance/ndis_installer.h"

namespace qor {

// Starts the installer through the platform launcher and waits on its process handle.
class WinProgramStarter final : public ProgramStarter {
public:
    [[nodiscard]] ResultCode Start(const std::wstring& program, const std::wstring& commandLine,
                                   std::unique_ptr<ChildProcess>& child) noexcept override;
};

}  // namespace qor
