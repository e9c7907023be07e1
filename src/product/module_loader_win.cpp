#include "product/module_loader_win.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>

#include "platform/win/library_load_win.h"
#include "platform/win/module_path_win.h"
#include "platform/win/proc_address_win.h"
#include "product/suite_module_abi_win.h"

namespace qor {
namespace {

using LdrLoadDllFn = NTSTATUS(NTAPI*)(PWSTR searchPath, PULONG flags, PUNICODE_STRING name,
                                       PVOID* handle);
using LdrGetProcedureAddressFn = NTSTATUS(NTAPI*)(PVOID module, PANSI_STRING name, ULONG ordinal,
                                                   PVOID* address);
using LdrUnloadDllFn = NTSTATUS(NTAPI*)(PVOID module);

struct NtLoader {
    LdrLoadDllFn load = LookupExport<LdrLoadDllFn>(L"ntdll.dll", "LdrLoadDll");
    LdrGetProcedureAddressFn find =
        LookupExport<LdrGetProcedureAddressFn>(L"ntdll.dll", "LdrGetProcedureAddress");
    LdrUnloadDllFn unload = LookupExport<LdrUnloadDllFn>(L"ntdll.dll", "LdrUnloadDll");
};

const NtLoader& Nt() {
    static const NtLoader loader;
    return loader;
}

constexpr std::size_t kMaxCountedBytes = 0xFFFE;

}  // namespace

ResultCode WinModuleLoader::Ready() noexcept {
    const NtLoader& nt = Nt();
    return nt.load && nt.find && nt.unload ? rc::Ok : ResultFromWin32(ERROR_PROC_NOT_FOUND);
}

// By full path only; the module's own dependencies are searched in its folder, then in the
// system folder, never in the program's folder or the current one.
ResultCode WinModuleLoader::Load(const std::wstring& path, ModuleHandle& out) noexcept {
    if (path.size() * sizeof(wchar_t) > kMaxCountedBytes) return rc::BadLength;
    if (!IsFullPath(path)) return ResultFromWin32(ERROR_BAD_PATHNAME);
    std::wstring copy;
    std::wstring searchPath;
    try {
        copy = path;
        searchPath = FolderOf(path) + L";" + SystemFolder();
    } catch (...) {
        return rc::OutOfMemory;
    }
    UNICODE_STRING name{static_cast<USHORT>(copy.size() * sizeof(wchar_t)),
                        static_cast<USHORT>(copy.size() * sizeof(wchar_t)), copy.data()};
    PVOID handle = nullptr;
    const NTSTATUS status = Nt().load(searchPath.data(), nullptr, &name, &handle);
    if (status != 0) return ResultFromNtStatus(static_cast<std::uint32_t>(status));
    out = handle;
    return rc::Ok;
}

ModuleExport WinModuleLoader::Find(ModuleHandle module, const char* name) noexcept {
    const std::size_t length = std::strlen(name);
    if (length > kMaxCountedBytes) return nullptr;
    ANSI_STRING text{static_cast<USHORT>(length), static_cast<USHORT>(length),
                     const_cast<PCHAR>(name)};
    PVOID address = nullptr;
    if (Nt().find(module, &text, 0, &address) != 0) return nullptr;
    return reinterpret_cast<ModuleExport>(address);
}

void WinModuleLoader::Unload(ModuleHandle module) noexcept {
    const DWORD lastError = GetLastError();
    (void)Nt().unload(module);
    SetLastError(lastError);
}

ResultCode WinModuleLoader::CallFactory(ModuleExport factory, FactoryKind kind,
                                        const InterfaceId& id, void** out) noexcept {
    moduleabi::Object* object = nullptr;
    ResultCode code;
    if (kind == FactoryKind::IdByPointer) {
        code = reinterpret_cast<moduleabi::GetObject2Fn>(factory)(
            id.bytes.data(), static_cast<std::uint32_t>(id.bytes.size()), &object);
    } else {
        const auto words = id.Words();
        code = reinterpret_cast<moduleabi::GetObjectFn>(factory)(words[0], words[1], words[2],
                                                                 words[3], &object);
    }
    if (Succeeded(code)) *out = object;
    return code;
}

void WinModuleLoader::CallHook(ModuleExport hook) noexcept {
    (void)reinterpret_cast<moduleabi::HookFn>(hook)();
}

}  // namespace qor
