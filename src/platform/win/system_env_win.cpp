#include <windows.h>

#include "common/path_join.h"
#include "platform/system_env.h"

namespace qor {

ResultCode ReadEnvironmentPath(const std::wstring& name, std::wstring& out) {
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return rc::EnvironmentVariableNotSet;
        }
        if (length < value.size()) {
            value.resize(length);
            out = std::move(value);
            return rc::Ok;
        }
        value.resize(length);
    }
}

ResultCode SystemTempFolder(std::wstring& out) {
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (length == 0) return ResultFromWin32(GetLastError());
    if (length > MAX_PATH) return rc::PathNotFound;
    out = JoinPath(windows, L"Temp");
    return rc::Ok;
}

std::int64_t CurrentSystemTime() noexcept {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
}

}  // namespace qor
