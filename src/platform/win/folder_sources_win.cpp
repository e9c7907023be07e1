#include "platform/win/folder_sources_win.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

#include "platform/os_version.h"
#include "platform/system_env.h"
#include "platform/win/module_path_win.h"

namespace qor {
namespace {

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

bool WinFolderSources::Is64BitSystem() { return GetOsVersionRecord().Is64BitSystem(); }

ResultCode WinFolderSources::ReadEnvironmentPath(const std::wstring& name, std::wstring& out) {
    return qor::ReadEnvironmentPath(name, out);
}

std::wstring WinFolderSources::ExpandEnvironment(const std::wstring& text) {
    std::wstring expanded(text.size() + 64, L'\0');
    for (;;) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(),
                                                       static_cast<DWORD>(expanded.size()));
        if (needed == 0) return text;
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);
            return expanded;
        }
        expanded.resize(needed);
    }
}

// kernel32 comes from the 32-bit system directory in a 32-bit process on a 64-bit system.
std::wstring WinFolderSources::LoadedSystemLibraryPath() {
    return ModuleFileName(GetModuleHandleW(L"kernel32.dll"));
}

std::wstring WinFolderSources::CurrentUserSid() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    auto buffer = std::make_unique<BYTE[]>(size);
    if (!GetTokenInformation(rawToken, TokenUser, buffer.get(), size, &size)) return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        return {};
    }
    const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(text);
    return owned.get();
}

std::wstring WinFolderSources::DeviceToDrive(const std::wstring& device) {
    wchar_t drive[] = L"A:";
    wchar_t target[MAX_PATH];
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        drive[0] = letter;
        if (QueryDosDeviceW(drive, target, MAX_PATH) != 0 &&
            lstrcmpiW(target, device.c_str()) == 0) {
            return drive;
        }
    }
    return {};
}

}  // namespace qor
