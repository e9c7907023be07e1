// Stand-in for the suite's NDIS driver installer. Appends its switch to "qorndis-calls.txt"
// beside itself. QOR_TESTBED_NDIS_EXIT chooses its exit code (hexadecimal, default 0), and
// "/Install" creates the NDIS service key "Qorfwd" + letter unless QOR_TESTBED_NDIS_NO_SERVICE
// is set, as the real installer leaves the driver's service behind.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

namespace {

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L'\\') + 1) + name;
}

// The letter before ".exe" of this program's own name.
wchar_t OwnLetter() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 5 && length < MAX_PATH ? path[length - 5] : L'x';
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[64] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, 64);
    return length > 0 && length < 64 ? value : L"";
}

void CreateServiceKey() {
    const std::wstring key = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\Qorfwd") +
                             static_cast<wchar_t>(std::towlower(OwnLetter()));
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &created, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(created);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring option = argc > 1 ? argv[argc - 1] : L"";
    if (FILE* out = _wfopen(Beside(L"qorndis-calls.txt").c_str(), L"ab")) {
        std::fprintf(out, "%ls\n", option.c_str());
        std::fclose(out);
    }
    if (option == L"/Install" && Environment(L"QOR_TESTBED_NDIS_NO_SERVICE").empty()) {
        CreateServiceKey();
    }
    return static_cast<int>(std::wcstoul(Environment(L"QOR_TESTBED_NDIS_EXIT").c_str(), nullptr, 16));
}
