#include <windows.h>

#include "support/test_env.h"

namespace qor::test {

void SetEnvironment(const std::wstring& name, const std::wstring& value) {
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

void UnsetEnvironment(const std::wstring& name) { SetEnvironmentVariableW(name.c_str(), nullptr); }

std::wstring SystemTempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

}  // namespace qor::test
