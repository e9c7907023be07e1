// A library planted beside a program under another's name (an engine client, a suite module,
// a system library): it only records, in "planted-loads.txt" beside itself, that a process
// loaded it, with the name it was loaded under.
#include <windows.h>

#include "common/beside_module_win.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qortestbed::Self() = instance;
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        qortestbed::Record(L"planted-loads.txt",
                           length > 0 && length < MAX_PATH ? std::wstring(path, length) : L"?");
    }
    return TRUE;
}
