#include <windows.h>

#include <string>

#include "platform/win/proc_address_win.h"
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

namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);
using CreateSymbolicLinkFn = BOOLEAN(WINAPI*)(const wchar_t*, const wchar_t*, DWORD);
constexpr DWORD kDirectoryLink = 1;  // SYMBOLIC_LINK_FLAG_DIRECTORY

std::string UnixName(UnixFileName convert, const std::wstring& path) {
    char* name = convert(path.c_str());
    if (name == nullptr) return {};
    std::string copy = name;
    HeapFree(GetProcessHeap(), 0, name);
    return copy;
}

// Wine starts a Unix program named by its path on drive Z:.
bool RunUnixLn(const std::string& target, const std::string& link) {
    std::wstring command = L"Z:\\bin\\ln -s \"" + std::wstring(target.begin(), target.end()) +
                           L"\" \"" + std::wstring(link.begin(), link.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

bool PlantDirectoryLink(const std::wstring& link, const std::wstring& target) {
    const auto convert = LookupExport<UnixFileName>(L"kernel32.dll", "wine_get_unix_file_name");
    if (convert != nullptr) {
        const std::string from = UnixName(convert, target), to = UnixName(convert, link);
        if (from.empty() || to.empty() || !RunUnixLn(from, to)) return false;
    } else {
        const auto create =
            LookupExport<CreateSymbolicLinkFn>(L"kernel32.dll", "CreateSymbolicLinkW");
        if (create == nullptr || !create(link.c_str(), target.c_str(), kDirectoryLink)) return false;
    }
    // Wine may answer the wait for a Unix child before that child has run.
    for (int tries = 0; tries < 50; ++tries) {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

bool PlantHardLink(const std::wstring& link, const std::wstring& existing) {
    return CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) != 0;
}

}  // namespace qor::test
