#include "common/path_join.h"

namespace qor {

std::wstring JoinPath(std::wstring_view directory, std::wstring_view name) {
    std::wstring joined(directory);
    if (!joined.empty() && joined.back() != L'\\' && joined.back() != L'/') joined += L'\\';
    joined += name;
    return joined;
}

bool IsAbsolutePath(std::wstring_view path) {
    if (path.empty()) return false;
    if (path[0] == L'\\' || path[0] == L'/') return true;
    return path.size() >= 2 && path[1] == L':';
}

std::wstring CombinePath(std::wstring_view first, std::wstring_view second) {
    if (second.empty()) return std::wstring(first);
    if (IsAbsolutePath(second)) return std::wstring(second);
    return JoinPath(first, second);
}

}  // namespace qor
