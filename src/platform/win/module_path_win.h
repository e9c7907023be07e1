#pragma once
#include <windows.h>

#include <string>

namespace qor {

// Full path of a loaded module (null: the program itself); empty on failure.
std::wstring ModuleFileName(HMODULE module);

// The path without its last element; empty when it has no separator.
std::wstring FolderOf(const std::wstring& path);

}  // namespace qor
