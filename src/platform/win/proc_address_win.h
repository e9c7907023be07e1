#pragma once
// Optional system functions: looked up by name, absent (null) when missing.
#include <windows.h>

namespace qor {

// An export of a module as a typed function pointer; null when the module or export is missing.
template <typename Fn>
Fn LookupExport(HMODULE module, const char* name) noexcept {
    if (!module) return nullptr;
    // Through the generic function pointer type, which any function pointer converts from.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The same for a module the process has already loaded.
template <typename Fn>
Fn LookupExport(const wchar_t* moduleName, const char* name) noexcept {
    return LookupExport<Fn>(GetModuleHandleW(moduleName), name);
}

}  // namespace qor
