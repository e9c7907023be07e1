#pragma once
// Loading libraries by full path only: nothing in the program's folder, the current folder or
// along PATH can answer for a name.
#include <windows.h>

#include <string>

namespace qor {

// Once at start: where the system has SetDefaultDllDirectories, the default search of the
// process (libraries the system loads on the program's behalf) is the system folder alone.
void RestrictLibrarySearch() noexcept;

// "C:\x" and "\\server\share\x"; not "C:x", "\x" nor a bare name.
bool IsFullPath(const std::wstring& path) noexcept;

// The system folder, without a final separator; empty when the system does not answer.
const std::wstring& SystemFolder() noexcept;

// A system library ("iphlpapi.dll") from the system folder by full path; null on failure,
// with the last error set.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// The library at the full path `path`; its own dependencies come from its folder, then the
// system folder. Null with ERROR_BAD_PATHNAME when `path` is not a full path.
HMODULE LoadLibraryAtPath(const std::wstring& path) noexcept;

}  // namespace qor
