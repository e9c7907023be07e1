#pragma once
#include "product/suite_modules.h"

namespace qor {

// The system loader of ntdll, and calls through the suite modules' exports.
class WinModuleLoader final : public ModuleLoader {
public:
    [[nodiscard]] ResultCode Ready() noexcept override;
    [[nodiscard]] ResultCode Load(const std::wstring& path, ModuleHandle& out) noexcept override;
    ModuleExport Find(ModuleHandle module, const char* name) noexcept override;
    void Unload(ModuleHandle module) noexcept override;
    [[nodiscard]] ResultCode CallFactory(ModuleExport factory, FactoryKind kind,
                                         const InterfaceId& id, void** out) noexcept override;
    void CallHook(ModuleExport hook) noexcept override;
};

}  // namespace qor
