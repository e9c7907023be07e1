#include "platform/win/library_load_win.h"

#include "common/path_join.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/sized_string_win.h"

namespace qor {
namespace {

// Defined from Windows 8 and with the Windows 7 update that added SetDefaultDllDirectories.
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// The search flags exist exactly where SetDefaultDllDirectories does.
SetDefaultDllDirectoriesFn DefaultDirectoriesCall() noexcept {
    static const auto call =
        LookupExport<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    return call;
}

}  // namespace

bool IsFullPath(const std::wstring& path) noexcept {
    if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) return true;
    return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

void RestrictLibrarySearch() noexcept {
    if (const auto setDefault = DefaultDirectoriesCall()) setDefault(kSearchSystem32);
}

const std::wstring& SystemFolder() noexcept {
    static const std::wstring folder = [] {
        std::wstring path;
        if (Failed(QuerySizedString(
                [](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); },
                path))) {
            path.clear();
        }
        while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
        return path;
    }();
    return folder;
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    if (SystemFolder().empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    try {
        return LoadLibraryAtPath(JoinPath(SystemFolder(), name));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

HMODULE LoadLibraryAtPath(const std::wstring& path) noexcept {
    if (!IsFullPath(path)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return nullptr;
    }
    const DWORD flags = DefaultDirectoriesCall() ? kSearchDllLoadDir | kSearchSystem32
                                                 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}

}  // namespace qor
