#pragma once
// Whether the program may take code (modules, dump tools) from its own folder.
#include <span>
#include <string>
#include <string_view>

namespace qor {

// True when `path` is `root` or lies below it. Both are full paths; "\" and "/" separate,
// letters compare without case (ASCII only: other characters must match exactly), and whole
// components only ("C:\Program Files Evil" is not under "C:\Program Files").
bool IsSameOrUnderFolder(std::wstring_view path, std::wstring_view root);

// The program's folder is trusted when it is the suite's installation directory, or when it
// lies under one of the system's program-files folders and only administrators may change it
// (which its security descriptor tells). Every path is full; an empty or relative one matches
// nothing.
bool IsInstallationDirectory(std::wstring_view folder, std::wstring_view installDirectory);
bool IsUnderProgramFiles(std::wstring_view folder,
                         std::span<const std::wstring> programFilesFolders);

}  // namespace qor
