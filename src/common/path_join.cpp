#include "common/path_join.h"

namespace qor {

std::wstring JoinPath(std::wstring_view directory, std::wstring_view name) {
    std::wstring joined(directory);
    if (!joined.empty() && joined.back() != L'\\' && joined.back() != L'/') joined += L'\\';
    joined += name;
    return joined;
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool IsAbsolutePath(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
        return true;
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
    return !path.empty() && path[0] == L'/';
}

std::wstring CombinePath(std::wstring_view first, std::wstring_view second) {
    if (second.empty()) return std::wstring(first);
    if (IsAbsolutePath(second)) return std::wstring(second);
    return JoinPath(first, second);
}

}  // namespace qor
