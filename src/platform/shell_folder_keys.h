#pragma once
// Where the shell folders and user profiles live in the registry, and the profile variable
// that "User Shell Folders" values hold.
#include <cstddef>
#include <string>
#include <string_view>

namespace qor {

inline constexpr const wchar_t* kUserShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const wchar_t* kProfileListKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
inline constexpr std::wstring_view kProfileVariable = L"%USERPROFILE%";

// Position of the profile variable in `text` from `from` on, ignoring case; npos when absent.
std::size_t FindProfileVariable(const std::wstring& text, std::size_t from = 0);

}  // namespace qor
